// floor: the least work any tool must do to read the tags of a drive, timed, so that a real run can
// be given as a ratio to it on any machine. It walks a folder as the drive scan does (depth-first
// in listing order; folders down to depth 8 with the root at 1; names beginning with "." skipped;
// hidden and system entries, read from the user.DOSATTRIB attribute, skipped; the seven audio
// extensions in any case; at most 150000 files) and, per audio file, by --mode:
//   full  open, read 4 KB, seek to the end, read the last 128 bytes, close  (the floor)
//   open  open, seek to the end, close
//   walk  nothing: the listing alone
// Attributes are asked only of entries that the other rules keep (a non-dot folder that would be
// listed, a non-dot audio file), and files are opened by their full path, as a worker that takes
// paths from the scan's list does. --attributes none leaves the attribute query out (hidden and
// system entries are then taken like any other), to show what that query costs on its own.
// The last line printed is "key=value ..." for scripts.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr int kMaxDepth = 8;
constexpr uint64_t kMaxFiles = 150000;
constexpr uint32_t kHidden = 0x02;
constexpr uint32_t kSystem = 0x04;

enum class Mode { Full, Open, Walk };

// True when `name` ends, ignoring ASCII case, in one of the seven audio extensions. The scan tests
// the full path; for a name shorter than the extension the separator falls inside the compared
// characters and nothing matches, so testing the name alone gives the same answer.
bool IsAudioName(std::string_view name) {
  const auto endsWith = [&](std::string_view ext) {
    if (name.size() < ext.size()) return false;
    const std::string_view tail = name.substr(name.size() - ext.size());
    for (size_t i = 0; i < ext.size(); ++i) {
      char c = tail[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
      if (c != ext[i]) return false;
    }
    return true;
  };
  return endsWith(".mp3") || endsWith(".m4a") || endsWith(".aac") || endsWith(".mp4") ||
         endsWith(".wav") || endsWith(".aif") || endsWith(".aiff");
}

// The FAT attribute byte kept in user.DOSATTRIB as text ("0x2"); 0 when there is none.
uint32_t DosAttributes(const char* path) {
  char text[64];
  const ssize_t n = lgetxattr(path, "user.DOSATTRIB", text, sizeof text - 1);
  if (n <= 2) return 0;
  text[n] = '\0';
  if (text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return 0;
  return static_cast<uint32_t>(std::strtoul(text + 2, nullptr, 16));
}

class Walker {
 public:
  Walker(Mode mode, uint64_t limit, bool attributes, bool print)
      : mode_(mode), limit_(limit), attributes_(attributes), print_(print) {}

  // Walks `root` (depth 1).
  void Run(const std::string& root) {
    path_ = root;
    Folder(1);
  }

  uint64_t files() const { return files_; }
  uint64_t folders() const { return folders_; }
  uint64_t entries() const { return entries_; }
  uint64_t bytesRead() const { return bytesRead_; }
  uint64_t failures() const { return failures_; }

 private:
  // Lists the folder in path_; false once the file limit is reached.
  bool Folder(int depth) {
    DIR* dir = opendir(path_.c_str());
    if (dir == nullptr) return true;  // a folder that cannot be listed counts as empty
    ++folders_;
    const size_t base = path_.size();
    bool more = true;
    while (const dirent* e = readdir(dir)) {
      ++entries_;
      const char* name = e->d_name;
      if (name[0] == '.') continue;  // ".", ".." and every dot name
      path_.resize(base);
      path_ += '/';
      path_ += name;
      bool isFolder = e->d_type == DT_DIR;
      if (e->d_type == DT_UNKNOWN) {
        struct stat st;
        isFolder = lstat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      }
      if (isFolder) {
        if (depth + 1 > kMaxDepth) continue;  // would not be listed
        if (Skipped()) continue;
        if (!Folder(depth + 1)) {
          more = false;
          break;
        }
      } else {
        if (!IsAudioName(name)) continue;
        if (Skipped()) continue;
        ++files_;
        if (print_) std::printf("%s\n", path_.c_str());
        Read();
        if (files_ >= limit_) {
          more = false;
          break;
        }
      }
    }
    closedir(dir);
    path_.resize(base);
    return more;
  }

  // True when the entry in path_ is hidden or system.
  bool Skipped() const {
    return attributes_ && (DosAttributes(path_.c_str()) & (kHidden | kSystem)) != 0;
  }

  void Read() {
    if (mode_ == Mode::Walk) return;
    const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      ++failures_;
      return;
    }
    if (mode_ == Mode::Full) {
      const ssize_t head = read(fd, buffer_, sizeof buffer_);
      if (head > 0) bytesRead_ += static_cast<uint64_t>(head);
    }
    const off_t size = lseek(fd, 0, SEEK_END);
    if (size < 0) ++failures_;
    if (mode_ == Mode::Full && size > 128) {
      const ssize_t tail = pread(fd, buffer_, 128, size - 128);
      if (tail > 0) bytesRead_ += static_cast<uint64_t>(tail);
    }
    close(fd);
  }

  Mode mode_;
  uint64_t limit_;
  bool attributes_;
  bool print_;
  std::string path_;
  uint64_t files_ = 0;
  uint64_t folders_ = 0;
  uint64_t entries_ = 0;
  uint64_t bytesRead_ = 0;
  uint64_t failures_ = 0;
  char buffer_[4096];
};

void PrintUsage() {
  std::puts(
      "usage: floor --root DIR [--mode full|open|walk] [--limit N] [--attributes xattr|none] "
      "[--print]\n"
      "\n"
      "  --mode full   per audio file: open, read 4 KB, seek to the end, read the last 128 bytes, "
      "close\n"
      "  --mode open   per audio file: open, seek to the end, close\n"
      "  --mode walk   the listing alone\n"
      "  --limit N     stop after N audio files (default 150000, the player's limit)\n"
      "  --attributes  xattr (default): skip hidden and system entries by user.DOSATTRIB;\n"
      "                none: do not ask (counts hidden and system audio files too)\n"
      "  --print       print each audio file's path as it is found\n"
      "\n"
      "Last line: mode=<mode> files=<audio files> seconds=<wall> files_per_s=<rate> ...");
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  Mode mode = Mode::Full;
  const char* modeName = "full";
  uint64_t limit = kMaxFiles;
  bool print = false;
  bool attributes = true;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      PrintUsage();
      return 0;
    } else if (arg == "--root" && hasValue) {
      root = argv[++i];
    } else if (arg == "--mode" && hasValue) {
      modeName = argv[++i];
      const std::string_view m = modeName;
      if (m == "full")
        mode = Mode::Full;
      else if (m == "open")
        mode = Mode::Open;
      else if (m == "walk")
        mode = Mode::Walk;
      else {
        std::fprintf(stderr, "floor: unknown mode %s\n", modeName);
        return 2;
      }
    } else if (arg == "--limit" && hasValue) {
      char* end = nullptr;
      limit = std::strtoull(argv[++i], &end, 10);
      if (*end != '\0' || limit == 0) {
        std::fprintf(stderr, "floor: bad limit %s\n", argv[i]);
        return 2;
      }
    } else if (arg == "--attributes" && hasValue) {
      const std::string_view a = argv[++i];
      if (a == "xattr")
        attributes = true;
      else if (a == "none")
        attributes = false;
      else {
        std::fprintf(stderr, "floor: --attributes takes xattr or none\n");
        return 2;
      }
    } else if (arg == "--print") {
      print = true;
    } else {
      std::fprintf(stderr, "floor: bad option %s\n", argv[i]);
      PrintUsage();
      return 2;
    }
  }
  if (root.empty()) {
    std::fprintf(stderr, "floor: --root DIR is required\n");
    return 2;
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  struct stat st;
  if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "floor: %s is not a folder\n", root.c_str());
    return 1;
  }

  Walker walker(mode, limit, attributes, print);
  const auto start = std::chrono::steady_clock::now();
  walker.Run(root);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double rate = seconds > 0 ? static_cast<double>(walker.files()) / seconds : 0;
  std::printf("floor: mode %s, attributes %s, %s\n", modeName, attributes ? "xattr" : "none",
              root.c_str());
  std::printf(
      "  audio files: %llu, folders listed: %llu, entries: %llu, bytes read: %llu, open failures: "
      "%llu\n",
      static_cast<unsigned long long>(walker.files()),
      static_cast<unsigned long long>(walker.folders()),
      static_cast<unsigned long long>(walker.entries()),
      static_cast<unsigned long long>(walker.bytesRead()),
      static_cast<unsigned long long>(walker.failures()));
  std::printf("  %.3f s, %.0f files/s\n", seconds, rate);
  std::printf(
      "mode=%s files=%llu seconds=%.6f files_per_s=%.0f folders=%llu entries=%llu bytes_read=%llu "
      "failures=%llu"
      " attributes=%s\n",
      modeName, static_cast<unsigned long long>(walker.files()), seconds, rate,
      static_cast<unsigned long long>(walker.folders()),
      static_cast<unsigned long long>(walker.entries()),
      static_cast<unsigned long long>(walker.bytesRead()),
      static_cast<unsigned long long>(walker.failures()), attributes ? "xattr" : "none");
  return 0;
}
