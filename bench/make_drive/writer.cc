#include "writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "formats.h"
#include "rng.h"

namespace deltrix::bench {
namespace {

constexpr uint64_t kContentSalt = 0xB1;

struct Item {
  bool decoy = false;
  uint32_t index = 0;
};

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

bool MarkAttributes(const std::string& path, uint32_t attributes, std::string* error) {
  if (attributes == 0) return true;
  char text[8];
  const int n = std::snprintf(text, sizeof text, "0x%x", attributes);
  if (setxattr(path.c_str(), "user.DOSATTRIB", text, static_cast<size_t>(n), 0) != 0) {
    *error = Failure("cannot set user.DOSATTRIB on", path);
    return false;
  }
  return true;
}

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = Failure("cannot create", path);
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = Failure("cannot write", path);
      close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0) {
    *error = Failure("cannot close", path);
    return false;
  }
  return true;
}

void BuildTrack(const Plan& plan, uint32_t index, const Noise& noise, std::vector<uint8_t>& out) {
  const Track& t = plan.tracks[index];
  const Album& al = plan.albums[t.album];
  const AlbumStyle& s = al.style;
  const uint64_t key = KeyOf(plan.options.seed, kContentSalt, index);
  const uint32_t audio = AudioBytesFor(plan, index);
  if (al.role == AlbumRole::OtherFormat) {
    AppendFiller(out, audio, noise, key);
    return;
  }
  const TagFields tags = TagsFor(plan, index);
  switch (al.kind) {
    case FileKind::Mp3:
    case FileKind::Aac: {
      Mp3Layout l;
      l.id3v2 = s.id3Version != 0;
      l.id3.version = s.id3Version;
      l.id3.latin1Numbers = s.latin1Numbers;
      l.id3.terminators = s.terminators;
      l.id3.mediaPlayerFrames = s.mediaPlayerFrames;
      l.id3.padding = s.padding;
      l.id3.coverBytes = s.coverBytes;
      l.id3.coverFirst = s.coverFirst;
      l.id3v1 = s.id3v1;
      l.audioBytes = audio;
      if (al.kind == FileKind::Mp3)
        AppendMp3(out, tags, l, noise, key);
      else
        AppendAdtsAac(out, tags, l, noise, key);
      return;
    }
    case FileKind::M4a:
    case FileKind::Mp4: {
      Mp4Layout l;
      l.mp4Brand = al.kind == FileKind::Mp4;
      l.moovLast = s.moovLast;
      l.numericGenre = s.numericGenre;
      l.freeBytes = s.freeBytes;
      l.coverBytes = s.coverBytes;
      l.coverInMiddle = s.coverFirst;
      l.audioBytes = audio;
      AppendMp4(out, tags, l, noise, key);
      return;
    }
    case FileKind::Wav: {
      WavLayout l;
      l.listFirst = s.listFirst;
      l.id3Chunk = s.id3Chunk;
      l.audioBytes = audio;
      AppendWav(out, tags, l, noise, key);
      return;
    }
  }
}

void BuildDecoy(const Plan& plan, uint32_t index, const Noise& noise, std::vector<uint8_t>& out) {
  const Decoy& d = plan.decoys[index];
  const uint64_t key = KeyOf(plan.options.seed, kContentSalt ^ 0xDEC0, index);
  switch (d.content) {
    case DecoyContent::Jpeg:
      AppendJpeg(out, d.size, noise, key);
      break;
    case DecoyContent::Filler:
      AppendFiller(out, d.size, noise, key);
      break;
    case DecoyContent::Mp3: {
      TagFields tags;
      tags.title = "Old Song";
      tags.artist = "Nobody";
      Mp3Layout l;
      l.id3.padding = 512;
      l.audioBytes = d.size;
      AppendMp3(out, tags, l, noise, key);
      break;
    }
    case DecoyContent::Folder:
      break;
  }
}

// Creates `rel` and its parents below `root`, remembering what exists.
bool MakeFolders(const std::string& root, const std::string& rel,
                 std::unordered_set<std::string>* made, uint64_t* count, std::string* error) {
  size_t at = 0;
  while (at <= rel.size()) {
    size_t slash = rel.find('/', at);
    if (slash == std::string::npos) slash = rel.size();
    const std::string prefix = rel.substr(0, slash);
    if (!prefix.empty() && made->insert(prefix).second) {
      const std::string path = root + "/" + prefix;
      if (mkdir(path.c_str(), 0755) == 0) {
        ++*count;
      } else if (errno != EEXIST) {
        *error = Failure("cannot make folder", path);
        return false;
      }
    }
    at = slash + 1;
  }
  return true;
}

std::string ParentOf(const std::string& rel) {
  const size_t slash = rel.rfind('/');
  return slash == std::string::npos ? std::string() : rel.substr(0, slash);
}

}  // namespace

bool SyncTree(const Plan& plan, const std::string& root, int64_t from, uint32_t to, int threads,
              SyncStats* stats, std::string* error) {
  std::vector<Item> items;
  for (uint32_t i = 0; i < plan.tracks.size(); ++i) {
    const Track& t = plan.tracks[i];
    const bool was = from >= 0 && t.PresentAt(static_cast<uint32_t>(from));
    const bool is = t.PresentAt(to);
    if (was && !is) {
      const std::string path = root + "/" + t.path;
      if (unlink(path.c_str()) != 0 && errno != ENOENT) {
        *error = Failure("cannot remove", path);
        return false;
      }
      ++stats->filesRemoved;
    } else if (is && !was) {
      items.push_back(Item{false, i});
    }
  }
  std::unordered_set<std::string> made;
  if (from < 0) {
    for (uint32_t i = 0; i < plan.decoys.size(); ++i) {
      const Decoy& d = plan.decoys[i];
      if (d.content == DecoyContent::Folder) {
        if (!MakeFolders(root, d.path, &made, &stats->foldersMade, error)) return false;
        if (!MarkAttributes(root + "/" + d.path, d.attributes, error)) return false;
      } else {
        items.push_back(Item{true, i});
      }
    }
  }
  for (const Item& item : items) {
    const std::string& rel =
        item.decoy ? plan.decoys[item.index].path : plan.tracks[item.index].path;
    if (!MakeFolders(root, ParentOf(rel), &made, &stats->foldersMade, error)) return false;
  }

  const Noise noise(KeyOf(plan.options.seed, kContentSalt, UINT64_MAX));
  if (threads < 1) threads = 1;
  std::vector<SyncStats> partial(static_cast<size_t>(threads));
  std::vector<std::string> errors(static_cast<size_t>(threads));
  std::atomic<bool> failed{false};
  const auto work = [&](size_t worker) {
    std::vector<uint8_t> buffer;
    buffer.reserve(1 << 20);
    SyncStats& mine = partial[worker];
    for (size_t k = worker; k < items.size() && !failed.load(std::memory_order_relaxed);
         k += static_cast<size_t>(threads)) {
      const Item& item = items[k];
      buffer.clear();
      std::string rel;
      uint32_t attributes = 0;
      bool decoyFile = true;
      if (item.decoy) {
        BuildDecoy(plan, item.index, noise, buffer);
        rel = plan.decoys[item.index].path;
        attributes = plan.decoys[item.index].attributes;
      } else {
        const Track& t = plan.tracks[item.index];
        BuildTrack(plan, item.index, noise, buffer);
        rel = t.path;
        attributes = t.attributes;
        decoyFile = !plan.Collected(t);
      }
      const std::string path = root + "/" + rel;
      if (!WriteWhole(path, buffer, &errors[worker]) ||
          !MarkAttributes(path, attributes, &errors[worker])) {
        failed.store(true);
        return;
      }
      ++mine.filesWritten;
      mine.bytesWritten += buffer.size();
      if (decoyFile) ++mine.decoyFiles;
    }
  };
  std::vector<std::thread> pool;
  for (int w = 1; w < threads; ++w) pool.emplace_back(work, static_cast<size_t>(w));
  work(0);
  for (std::thread& t : pool) t.join();
  for (size_t w = 0; w < partial.size(); ++w) {
    if (!errors[w].empty()) {
      *error = errors[w];
      return false;
    }
    stats->filesWritten += partial[w].filesWritten;
    stats->bytesWritten += partial[w].bytesWritten;
    stats->decoyFiles += partial[w].decoyFiles;
  }
  return true;
}

}  // namespace deltrix::bench
