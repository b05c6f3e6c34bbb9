// taglib_scan: the tag scan of a well-known tag library over the same file list a run reads, for
// the series' comparison. Per file: TagLib::FileRef with readAudioProperties = false, and the
// title, artist, album, genre, year and track number taken from its tag; a WAV file through
// RIFF::WAV::File, whose FileRef tag holds only the ID3v2 tag, with its LIST/INFO tag read too.
// TagLib 1.13 opens no ADTS (.aac) file: those count as failures, as any file it cannot open.
// The list is one native path per line (floor --print gives it; its key=value line is skipped).
// The last line printed is "key=value ..." for scripts.

#include <taglib/fileref.h>
#include <taglib/infotag.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool EndsWithNoCase(const std::string& s, const char* ext) {
  const size_t n = std::strlen(ext);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = s[s.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != ext[i]) return false;
  }
  return true;
}

// What the scan keeps of a tag: its text lengths and numbers, so no read can be left out.
uint64_t Digest(const TagLib::Tag& tag) {
  return tag.title().size() + tag.artist().size() + tag.album().size() + tag.genre().size() +
         tag.year() + tag.track();
}

}  // namespace

int main(int argc, char** argv) {
  std::string listPath;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--list") == 0 && i + 1 < argc) {
      listPath = argv[++i];
    } else {
      std::fprintf(stderr, "usage: taglib_scan --list FILE\n");
      return 2;
    }
  }
  if (listPath.empty()) {
    std::fprintf(stderr, "usage: taglib_scan --list FILE\n");
    return 2;
  }
  std::vector<std::string> paths;
  {
    std::ifstream in(listPath);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line[0] == '/') paths.push_back(line);
    }
  }

  const auto start = std::chrono::steady_clock::now();
  uint64_t ok = 0, failed = 0, digest = 0;
  for (const std::string& path : paths) {
    if (EndsWithNoCase(path, ".wav")) {
      TagLib::RIFF::WAV::File file(path.c_str(), false);
      if (!file.isValid()) {
        ++failed;
        continue;
      }
      if (file.hasInfoTag()) digest += Digest(*file.InfoTag());
      if (file.hasID3v2Tag()) digest += Digest(*file.ID3v2Tag());
      ++ok;
      continue;
    }
    TagLib::FileRef file(path.c_str(), false);
    if (file.isNull() || file.tag() == nullptr) {
      ++failed;
      continue;
    }
    digest += Digest(*file.tag());
    ++ok;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("TagLib %d.%d.%d tag scan: %llu files read, %llu not opened (ADTS .aac among them)\n",
              TAGLIB_MAJOR_VERSION, TAGLIB_MINOR_VERSION, TAGLIB_PATCH_VERSION,
              static_cast<unsigned long long>(ok), static_cast<unsigned long long>(failed));
  std::printf("files=%zu ok=%llu failed=%llu seconds=%.3f digest=%llu\n", paths.size(),
              static_cast<unsigned long long>(ok), static_cast<unsigned long long>(failed), seconds,
              static_cast<unsigned long long>(digest));
  return 0;
}
