#include "cli/library_json.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "library/library_check.h"
#include "library/library_format.h"
#include "library/library_reader.h"

namespace deltrix::cli {

namespace {

using Json = nlohmann::ordered_json;
using library::ImageGroupRow;
using library::LibraryImage;

constexpr int kDamaged = 3;
constexpr const char* kFieldNames[5] = {"genre", "artist", "album", "title", "path"};

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool WellFormed(std::u16string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      ++i;
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      return false;
    }
  }
  return true;
}

std::string HexUnits(std::u16string_view text) {
  std::string hex;
  char unit[5];
  for (char16_t c : text) {
    std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned>(c));
    hex += unit;
  }
  return hex;
}

// Sets `name` to the text (lone surrogates as U+FFFD) and, for text that is not valid UTF-16,
// `name`Units to its stored units.
void PutText(Json& object, const char* name, std::u16string_view text) {
  object[name] = ToUtf8(text);
  if (!WellFormed(text)) object[std::string(name) + "Units"] = HexUnits(text);
}

Json TrackJson(const library::ImageTrack& track, uint32_t index) {
  Json j;
  j["index"] = index;
  j["id"] = track.id;
  j["trackNumber"] = track.trackNumber >= 0 ? Json(track.trackNumber) : Json(nullptr);
  j["fileType"] = track.fileType;
  j["fileSize"] = track.fileSize;
  for (int s = 0; s < 5; ++s) PutText(j, kFieldNames[s], track.text[s]);
  return j;
}

class TreeWriter {
 public:
  explicit TreeWriter(const LibraryImage& image) : image_(image) {}

  // Groups [first, first + count) of `key`'s level `level` (from 0) with what lies below them.
  Json Level(int key, int level, uint32_t first, size_t count) const {
    const int levels = library::LevelsOfKey(key);
    const auto& rows = image_.blocks[key].lists[1 + static_cast<size_t>(level)].groups;
    const int attribute = key + level;
    Json groups = Json::array();
    for (size_t e = first; e < first + count && e < rows.size(); ++e) {
      const ImageGroupRow& g = rows[e];
      if (g.firstTrack >= image_.tracks.size()) continue;
      Json group;
      PutText(group, "name", image_.tracks[g.firstTrack].text[attribute]);
      if (level + 1 < levels) {
        group[attribute + 1 == 1 ? "artists" : "albums"] =
            Level(key, level + 1, g.firstChild, g.count);
      } else {
        const std::vector<uint32_t>& list = image_.blocks[key].lists[0].tracks;
        Json tracks = Json::array();
        for (uint32_t p = g.firstChild; p < g.firstChild + g.count && p < list.size(); ++p)
          tracks.push_back(list[p]);
        group["tracks"] = std::move(tracks);
      }
      groups.push_back(std::move(group));
    }
    return groups;
  }

  Json FirstLevel(int key) const {
    return Level(key, 0, 0, image_.blocks[key].lists[1].groups.size());
  }

 private:
  const LibraryImage& image_;
};

Json Document(std::string_view shown, std::u16string_view driveRoot) {
  Json doc;
  doc["drive"] = shown.empty() ? ToUtf8(driveRoot) : ToUtf8(FromUtf8(shown));
  return doc;
}

Json ProblemList(const std::vector<std::string>& problems) {
  Json list = Json::array();
  // Problem lines quote what they found; bytes that are not UTF-8 are shown replaced.
  for (const std::string& p : problems) list.push_back(ToUtf8(FromUtf8(p)));
  return list;
}

void Write(const Json& doc, std::ostream& out) {
  out << doc.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace

int RunShowJson(platform::FileSystem& files, std::u16string_view driveRoot, std::ostream& out,
                std::string_view shown) {
  Json doc = Document(shown, driveRoot);
  LibraryImage image;
  std::vector<std::string> problems;
  const bool sound = library::ReadLibraryImage(files, driveRoot, &image, &problems) &&
                     library::CheckLibraryImage(image, &problems, library::CheckOptions{false}) &&
                     problems.empty();
  doc["sound"] = sound;
  doc["problems"] = ProblemList(problems);
  if (!sound) {
    Write(doc, out);
    return kDamaged;
  }
  Json tracks = Json::array();
  for (uint32_t t = 0; t < image.tracks.size(); ++t)
    tracks.push_back(TrackJson(image.tracks[t], t));
  doc["tracks"] = std::move(tracks);
  const TreeWriter tree(image);
  doc["genres"] = tree.FirstLevel(0);
  doc["artists"] = tree.FirstLevel(1);
  doc["albums"] = tree.FirstLevel(2);
  doc["titles"] = image.blocks[3].lists[0].tracks;
  Write(doc, out);
  return 0;
}

int RunCheckJson(platform::FileSystem& files, std::u16string_view driveRoot, std::ostream& out,
                 std::string_view shown) {
  Json doc = Document(shown, driveRoot);
  std::vector<std::string> problems;
  const bool sound = library::CheckLibrary(files, driveRoot, &problems);
  doc["sound"] = sound;
  doc["problems"] = ProblemList(problems);
  LibraryImage image;
  std::vector<std::string> ignored;
  doc["trackCount"] = sound && library::ReadLibraryImage(files, driveRoot, &image, &ignored)
                          ? Json(image.tracks.size())
                          : Json(nullptr);
  Write(doc, out);
  return sound ? 0 : kDamaged;
}

}  // namespace deltrix::cli
