// engine_bench: times the library engine on its own, as a create run drives it, with synthetic
// track records made one at a time (about 20% non-ASCII text, 2000 artists of four albums each, 80
// genres, in the order a depth-first drive scan finds them) on the real disk: a temp folder seen as
// drive E: through the small stdio file system below. Prints the engine's wall time, its peak
// resident memory, and the ratio to a floor measured in the same run: writing and reading back the
// library's bytes with plain stdio.
//
//   engine_bench [--tracks N ...] [--dir FOLDER] [--keep]
//
// The last line is "key=value" pairs for scripts.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "library/library_check.h"
#include "library/library_creator.h"
#include "library/library_reader.h"
#include "platform/platform.h"

namespace {

using deltrix::library::BuildOwner;
using deltrix::library::CLibraryCreator;
using deltrix::library::TrackSource;
using deltrix::tags::TrackRecord;

// Drive paths (E:\a\b) under a native folder, on C stdio: what the engine asks of a file system.
class StdioFile : public deltrix::platform::File {
 public:
  explicit StdioFile(FILE* f) : f_(f) {}
  ~StdioFile() override { Close(); }
  size_t Read(void* dst, size_t size) override { return f_ ? std::fread(dst, 1, size, f_) : 0; }
  size_t Write(const void* src, size_t size) override {
    return f_ ? std::fwrite(src, 1, size, f_) : 0;
  }
  bool Seek(int64_t offset, deltrix::platform::SeekFrom from) override {
    const int whence = from == deltrix::platform::SeekFrom::Start     ? SEEK_SET
                       : from == deltrix::platform::SeekFrom::Current ? SEEK_CUR
                                                                      : SEEK_END;
    return f_ && fseeko(f_, offset, whence) == 0;
  }
  int64_t Tell() override { return f_ ? ftello(f_) : -1; }
  bool Close() override {
    if (!f_) return false;
    const bool ok = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok;
  }

 private:
  FILE* f_;
};

class StdioFileSystem : public deltrix::platform::FileSystem {
 public:
  explicit StdioFileSystem(std::string base) : base_(std::move(base)) {}
  std::unique_ptr<deltrix::platform::File> Open(std::u16string_view path,
                                                const char* mode) override {
    FILE* f = std::fopen(Native(path).c_str(), mode);
    return f ? std::make_unique<StdioFile>(f) : nullptr;
  }
  std::unique_ptr<deltrix::platform::DirListing> List(std::u16string_view) override {
    return nullptr;
  }
  uint32_t Attributes(std::u16string_view path) override {
    struct stat st;
    if (stat(Native(path).c_str(), &st) != 0) return deltrix::platform::kNoAttributes;
    return S_ISDIR(st.st_mode) ? deltrix::platform::kAttrDirectory : 0;
  }
  int64_t ModifiedTime(std::u16string_view path) override {
    struct stat st;
    return stat(Native(path).c_str(), &st) == 0 ? st.st_mtime : deltrix::platform::kNoTime;
  }
  bool SetAttributes(std::u16string_view, uint32_t) override { return true; }
  bool MakeFolder(std::u16string_view path) override {
    return mkdir(Native(path).c_str(), 0755) == 0;
  }
  bool RemoveFile(std::u16string_view path) override { return unlink(Native(path).c_str()) == 0; }
  bool Move(std::u16string_view from, std::u16string_view to) override {
    return Attributes(to) == deltrix::platform::kNoAttributes &&
           std::rename(Native(from).c_str(), Native(to).c_str()) == 0;
  }
  bool Replace(std::u16string_view from, std::u16string_view to) override {
    return std::rename(Native(from).c_str(), Native(to).c_str()) == 0;
  }
  bool Copy(std::u16string_view, std::u16string_view) override { return false; }
  std::unique_ptr<deltrix::platform::File> OpenScratch() override {
    FILE* f = std::tmpfile();
    return f ? std::make_unique<StdioFile>(f) : nullptr;
  }

 private:
  std::string Native(std::u16string_view path) const {
    std::string rest = deltrix::ToUtf8(path.substr(std::min<size_t>(2, path.size())));
    for (char& c : rest) c = c == '\\' ? '/' : c;
    return base_ + rest;
  }
  std::string base_;
};

constexpr uint32_t kArtists = 2000;
constexpr uint32_t kAlbums = 8000;
constexpr uint32_t kGenres = 80;

uint64_t Mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  return x ^ (x >> 33);
}

const char16_t* const kLatin[] = {u"love",  u"night", u"river", u"blue",  u"gold",  u"fire",
                                  u"dream", u"heart", u"road",  u"light", u"storm", u"city",
                                  u"rain",  u"star",  u"wild",  u"song"};
const char16_t* const kOther[] = {u"\u00e9t\u00e9",
                                  u"ni\u00f1o",
                                  u"m\u00fcde",
                                  u"\u043d\u043e\u0447\u044c",
                                  u"\u0437\u0432\u0435\u0437\u0434\u0430",
                                  u"\u6771\u4eac",
                                  u"\u591c\u7a7a",
                                  u"\u3055\u304f\u3089",
                                  u"\uff21\uff22\uff23",
                                  u"\u00c5ngstr\u00f6m"};

// A name of 1 to `words` words; about one in five holds non-ASCII text.
std::u16string Name(uint64_t seed, int words, const char16_t* prefix) {
  std::u16string s = prefix;
  const bool other = Mix(seed) % 5 == 0;
  const int n = 1 + static_cast<int>(Mix(seed + 1) % static_cast<uint64_t>(words));
  for (int i = 0; i < n; ++i) {
    if (i > 0 || !s.empty()) s += u' ';
    const uint64_t r = Mix(seed * 31 + static_cast<uint64_t>(i));
    s += (other && i == 0) ? kOther[r % 10] : kLatin[r % 16];
  }
  if (s.size() > 40) s.resize(40);
  return s;
}

// Track i of n, in scan order: artist folders, their album folders, the album's files.
class SyntheticSource : public TrackSource {
 public:
  explicit SyntheticSource(uint32_t n) : n_(n) {}
  int ReadTrack(std::u16string_view, int, TrackRecord* r) override {
    const uint32_t i = next_++;
    const uint32_t album = static_cast<uint32_t>(uint64_t{i} * kAlbums / n_);
    const uint32_t artist = album / (kAlbums / kArtists);
    const uint32_t genre = static_cast<uint32_t>(Mix(artist + 7) % kGenres);
    const std::u16string genreName = Name(genre + 100000, 2, u"");
    const std::u16string artistName = Name(artist + 200000, 3, artist % 10 == 0 ? u"The" : u"");
    const std::u16string albumName = Name(album + 300000, 4, u"");
    const std::u16string title = Name(i + 400000, 5, u"");
    const int number = static_cast<int>(i % 12) + 1;
    char16_t num[4] = {static_cast<char16_t>(u'0' + number / 10),
                       static_cast<char16_t>(u'0' + number % 10), u' ', 0};
    const std::u16string path =
        u"\\Music\\" + artistName + u"\\" + albumName + u"\\" + num + title + u".mp3";
    r->fileSize = static_cast<int32_t>(3000000 + Mix(i) % 5000000);
    r->trackNumber = static_cast<int16_t>(Mix(i + 9) % 20 == 0 ? -1 : number);
    r->fileType = deltrix::tags::FileType::Mp3;
    deltrix::tags::StoreFieldText(genreName.data(), genreName.size(), r->genre,
                                  deltrix::tags::kGenreUnits);
    deltrix::tags::StoreFieldText(artistName.data(), artistName.size(), r->artist,
                                  deltrix::tags::kArtistUnits);
    deltrix::tags::StoreFieldText(albumName.data(), albumName.size(), r->album,
                                  deltrix::tags::kAlbumUnits);
    deltrix::tags::StoreFieldText(title.data(), title.size(), r->title, deltrix::tags::kTitleUnits);
    deltrix::tags::StoreFieldText(path.data(), path.size(), r->path, deltrix::tags::kPathUnits);
    return 1;
  }

 private:
  uint32_t n_;
  uint32_t next_ = 0;
};

class QuietOwner : public BuildOwner {
 public:
  int AskSkipFile() override { return 8; }
  void SetBatchInProgress(bool on) override { batches += on ? 1 : 0; }
  int batches = 0;
};

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Peak resident set in KiB since the last reset (VmHWM).
long PeakKib() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) kib = std::strtol(line + 6, nullptr, 10);
  }
  std::fclose(f);
  return kib;
}
long CurrentKib() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "VmRSS:", 6) == 0) kib = std::strtol(line + 6, nullptr, 10);
  }
  std::fclose(f);
  return kib;
}
void ResetPeak() {
  if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", f);
    std::fclose(f);
  }
}

// The floor: the library's bytes written with stdio, synced as the engine's are not, then read
// back.
double FloorSeconds(const std::filesystem::path& library, const std::filesystem::path& scratch) {
  std::vector<char> buffer(1 << 20);
  const auto start = std::chrono::steady_clock::now();
  for (const char* name : {"ZRTL.DB", "ZRBL.DB", "ZRDB.DB"}) {
    FILE* in = std::fopen((library / name).c_str(), "rb");
    FILE* out = std::fopen((scratch / name).c_str(), "wb");
    if (in == nullptr || out == nullptr) return -1;
    size_t n;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0)
      std::fwrite(buffer.data(), 1, n, out);
    std::fclose(in);
    std::fclose(out);
    FILE* back = std::fopen((scratch / name).c_str(), "rb");
    while (back != nullptr && std::fread(buffer.data(), 1, buffer.size(), back) > 0) {
    }
    if (back != nullptr) std::fclose(back);
  }
  return Seconds(start);
}

struct Result {
  uint32_t tracks = 0;
  int code = -1;
  double seconds = 0;
  double addSeconds = 0;
  long peakKib = 0;
  long engineKib = 0;
  int batches = 0;
  uintmax_t bytes = 0;
  double floor = 0;
  bool sound = false;
};

Result Run(uint32_t n, const std::filesystem::path& base, bool check) {
  Result r;
  r.tracks = n;
  const std::filesystem::path dir = base / ("tracks-" + std::to_string(n));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "scratch");
  StdioFileSystem files(dir.string());
  const std::u16string root = u"E:\\";
  SyntheticSource source(n);
  QuietOwner owner;
  ResetPeak();
  const long before = CurrentKib();
  const auto start = std::chrono::steady_clock::now();
  {
    CLibraryCreator creator(files, source);
    int code = creator.Open(root, owner);
    for (uint32_t i = 0; code == 0 && i < n; ++i) code = creator.AddFile(u"E:\\x.mp3", 3);
    r.addSeconds = Seconds(start);
    if (code == 0) code = creator.SortAndWriteBatch(true);
    if (code == 0) code = creator.Finish();
    creator.Close();
    r.code = code;
  }
  r.seconds = Seconds(start);
  r.peakKib = PeakKib();
  r.engineKib = r.peakKib - before;
  r.batches = owner.batches + 1;
  const std::filesystem::path library = dir / "KORVANE" / "LIBRARY";
  for (const char* name : {"ZRTL.DB", "ZRBL.DB", "ZRDB.DB"}) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(library / name, ec);
    if (!ec) r.bytes += size;
  }
  r.floor = FloorSeconds(library, dir / "scratch");
  if (check) r.sound = deltrix::library::CheckLibrary(files, root, nullptr);
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<uint32_t> sizes;
  std::string dirArg;
  bool keep = false;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--tracks" && i + 1 < argc) {
      sizes.push_back(static_cast<uint32_t>(std::strtoul(argv[++i], nullptr, 10)));
    } else if (a == "--dir" && i + 1 < argc) {
      dirArg = argv[++i];
    } else if (a == "--keep") {
      keep = true;
    } else if (a == "--check") {
      check = true;
    } else {
      std::fprintf(stderr,
                   "usage: engine_bench [--tracks N ...] [--dir FOLDER] [--keep] [--check]\n");
      return 2;
    }
  }
  if (sizes.empty()) sizes = {10000, 150000};
  for (uint32_t& n : sizes) n = std::min(std::max(n, 1u), deltrix::library::kMaxTracks);
  const std::filesystem::path base =
      dirArg.empty()
          ? std::filesystem::temp_directory_path() / ("engine_bench-" + std::to_string(getpid()))
          : std::filesystem::path(dirArg);
  std::string last;
  for (uint32_t n : sizes) {
    const Result r = Run(n, base, check);
    std::printf(
        "%6u tracks: code %d, %d batch(es), engine %.3f s (adding %.3f s), peak RSS %.1f MiB "
        "(engine %.1f MiB), library %.1f MiB, floor %.3f s, ratio %.1f%s\n",
        r.tracks, r.code, r.batches, r.seconds, r.addSeconds, static_cast<double>(r.peakKib) / 1024,
        static_cast<double>(r.engineKib) / 1024, static_cast<double>(r.bytes) / 1048576, r.floor,
        r.floor > 0 ? r.seconds / r.floor : 0.0,
        check ? (r.sound ? ", check passed" : ", CHECK FAILED") : "");
    char kv[256];
    std::snprintf(kv, sizeof kv,
                  " tracks%u_seconds=%.3f tracks%u_peak_mib=%.1f tracks%u_ratio=%.2f", r.tracks,
                  r.seconds, r.tracks, static_cast<double>(r.peakKib) / 1024, r.tracks,
                  r.floor > 0 ? r.seconds / r.floor : 0.0);
    last += kv;
  }
  if (!keep) std::filesystem::remove_all(base);
  std::printf("engine_bench%s\n", last.c_str());
  return 0;
}
