#include "cli/library_commands.h"

#include <string>
#include <vector>

#include "base/utf16.h"
#include "library/library_check.h"
#include "library/library_format.h"
#include "library/library_reader.h"

namespace deltrix::cli {

namespace {

using library::ImageGroupRow;
using library::LibraryImage;

constexpr int kDamaged = 3;

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

class Printer {
 public:
  Printer(const LibraryImage& image, std::ostream& out) : image_(image), out_(out) {}

  void Print() {
    const size_t n = image_.tracks.size();
    out_ << "Library: " << Plural(n, "track", "tracks") << ", "
         << Plural(FirstLevel(0).size(), "genre", "genres") << ", "
         << Plural(FirstLevel(1).size(), "artist", "artists") << ", "
         << Plural(FirstLevel(2).size(), "album", "albums") << "\n";
    out_ << "\nGenre > Artist > Album > Tracks (" << Plural(FirstLevel(0).size(), "genre", "genres")
         << ")\n";
    Level(0, 0, 0, FirstLevel(0).size(), 1);
    const uint32_t covered = Covered(0);
    if (covered < n)
      out_ << "  (" << Plural(n - covered, "track", "tracks") << " of genres beyond the 1000th)\n";
    out_ << "\nArtist > Album > Tracks (" << Plural(FirstLevel(1).size(), "artist", "artists")
         << ")\n";
    Level(1, 0, 0, FirstLevel(1).size(), 1);
    out_ << "\nAlbums (" << FirstLevel(2).size() << ")\n";
    Level(2, 0, 0, FirstLevel(2).size(), 1);
    out_ << "\nTitles (" << n << ")\n";
    const std::vector<uint32_t>& titles = image_.blocks[3].lists[0].tracks;
    for (uint32_t p = 0; p < titles.size(); ++p) TrackLine(titles[p], 1);
  }

 private:
  const std::vector<ImageGroupRow>& FirstLevel(int key) const {
    return image_.blocks[key].lists[1].groups;
  }

  // Tracks reachable through the first level's groups of a key.
  uint32_t Covered(int key) const {
    const int levels = library::LevelsOfKey(key);
    const auto& deepest = image_.blocks[key].lists[levels].groups;
    uint32_t first = 0;
    uint32_t count = static_cast<uint32_t>(FirstLevel(key).size());
    for (int l = 1; l < levels && count > 0; ++l) {
      const auto& upper = image_.blocks[key].lists[l].groups;
      const ImageGroupRow& last = upper[first + count - 1];
      const uint32_t begin = upper[first].firstChild;
      count = last.firstChild + last.count - begin;
      first = begin;
    }
    uint32_t tracks = 0;
    for (uint32_t e = first; e < first + count && e < deepest.size(); ++e)
      tracks += deepest[e].count;
    return tracks;
  }

  // Prints groups [first, first + count) of `key`'s level `level` (from 0) and what lies below
  // them.
  void Level(int key, int level, uint32_t first, size_t count, int depth) {
    const int levels = library::LevelsOfKey(key);
    const auto& rows = image_.blocks[key].lists[1 + level].groups;
    const int attribute = key + level;
    const char* childOne = level + 1 < levels ? (attribute + 1 == 1 ? "artist" : "album") : "track";
    const char* childMany =
        level + 1 < levels ? (attribute + 1 == 1 ? "artists" : "albums") : "tracks";
    for (size_t e = first; e < first + count && e < rows.size(); ++e) {
      const ImageGroupRow& g = rows[e];
      if (g.firstTrack >= image_.tracks.size()) continue;
      Indent(depth);
      out_ << Value(image_.tracks[g.firstTrack].text[attribute]) << " ("
           << Plural(g.count, childOne, childMany) << ")\n";
      if (level + 1 < levels) {
        Level(key, level + 1, g.firstChild, g.count, depth + 1);
      } else {
        const std::vector<uint32_t>& list = image_.blocks[key].lists[0].tracks;
        for (uint32_t p = g.firstChild; p < g.firstChild + g.count && p < list.size(); ++p)
          TrackLine(list[p], depth + 1);
      }
    }
  }

  void TrackLine(uint32_t t, int depth) {
    if (t >= image_.tracks.size()) return;
    const library::ImageTrack& track = image_.tracks[t];
    Indent(depth);
    if (track.trackNumber >= 0) out_ << track.trackNumber << ". ";
    out_ << Value(track.text[library::kTitle]) << "  [" << ToUtf8(track.text[library::kPath])
         << "]\n";
  }

  static std::string Value(const std::u16string& text) {
    return text.empty() ? "(none)" : ToUtf8(text);
  }
  void Indent(int depth) { out_ << std::string(2 * static_cast<size_t>(depth), ' '); }

  const LibraryImage& image_;
  std::ostream& out_;
};

}  // namespace

int RunShowCommand(platform::FileSystem& files, std::u16string_view driveRoot, std::ostream& out,
                   std::string_view shown) {
  const std::string name = shown.empty() ? ToUtf8(driveRoot) : std::string(shown);
  LibraryImage image;
  std::vector<std::string> problems;
  if (!library::ReadLibraryImage(files, driveRoot, &image, &problems) ||
      !library::CheckLibraryImage(image, &problems, library::CheckOptions{false}) ||
      !problems.empty()) {
    out << "The library on " << name << " cannot be shown: it is missing or damaged.\n";
    for (size_t i = 0; i < problems.size() && i < 5; ++i) out << "  " << problems[i] << "\n";
    if (problems.size() > 5) out << "  ... and " << problems.size() - 5 << " more (see check)\n";
    return kDamaged;
  }
  Printer(image, out).Print();
  return 0;
}

int RunCheckCommand(platform::FileSystem& files, std::u16string_view driveRoot, std::ostream& out,
                    std::string_view shown) {
  const std::string name = shown.empty() ? ToUtf8(driveRoot) : std::string(shown);
  std::vector<std::string> problems;
  const bool sound = library::CheckLibrary(files, driveRoot, &problems);
  for (const std::string& p : problems) out << p << "\n";
  if (!sound) {
    out << Plural(problems.size(), "problem", "problems") << " found in the library on " << name
        << ".\n";
    return kDamaged;
  }
  LibraryImage image;
  std::vector<std::string> ignored;
  const bool read = library::ReadLibraryImage(files, driveRoot, &image, &ignored);
  out << "The library on " << name
      << " is sound: " << (read ? Plural(image.tracks.size(), "track", "tracks") : std::string("?"))
      << ", no problems.\n";
  return 0;
}

}  // namespace deltrix::cli
