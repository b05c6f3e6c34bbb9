#include "library/library_check.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "library/collation.h"
#include "library/library_format.h"
#include "library/library_reader.h"
#include "library/track_record_view.h"

namespace deltrix::library {

namespace {

// The problems of the three files, each line naming its file.
class Report {
 public:
  explicit Report(std::vector<std::string>* out)
      : lists_{{"ZRTL.DB", out}, {"ZRBL.DB", out}, {"ZRDB.DB", out}} {}
  template <typename... Args>
  void Add(std::string_view file, const char* format, Args... args) {
    ProblemList& list = file == "ZRTL.DB" ? lists_[0] : file == "ZRBL.DB" ? lists_[1] : lists_[2];
    list.Add(format, args...);
  }
  int count() const { return lists_[0].count() + lists_[1].count() + lists_[2].count(); }

 private:
  ProblemList lists_[3];
};

constexpr uint32_t kNoParent = 0x1FFFFF;

bool Narrow(const std::u16string& s) {
  return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x100; });
}
uint32_t RoundUpEven(uint32_t n) { return (n + 1) & ~1u; }
uint32_t RoundUp4(uint32_t n) { return (n + 3) & ~3u; }
uint32_t Units(const std::u16string& s) { return static_cast<uint32_t>(s.size()); }

// The least and the most a figure can be, summed over the strings that make it.
struct Range {
  uint32_t least = 0;
  uint32_t most = 0;
  void Add(std::initializer_list<uint32_t> ways) {
    least += std::min(ways);
    most += std::max(ways);
  }
  bool Holds(uint32_t v) const { return v >= least && v <= most; }
};

class Checker {
 public:
  Checker(const LibraryImage& image, Report& report) : image_(image), report_(report) {}

  KeyText Text(uint32_t t, int s) const {
    const ImageTrack& track = image_.tracks[t];
    return MakeKeyText(image_.trackListBytes.data() + track.textAt[s], Units(track.text[s]), true,
                       s);
  }
  SortSlot Slot(uint32_t t) const {
    SortSlot slot;
    for (int s = 0; s <= kTitle; ++s) slot.text[s] = Text(t, s);
    slot.trackNumber = static_cast<uint16_t>(image_.tracks[t].trackNumber);
    return slot;
  }
  uint32_t Number(int attribute, uint32_t t) const {
    return image_.tracks[t].groupNumber[attribute];
  }

  void Records() {
    const uint32_t n = static_cast<uint32_t>(image_.tracks.size());
    std::vector<uint32_t> ids;
    for (uint32_t t = 0; t < n; ++t) {
      const ImageTrack& track = image_.tracks[t];
      ids.push_back(track.id);
      if (track.id >= image_.nextTrackId) {
        report_.Add("ZRTL.DB", "record %u: track id %u is not below the next id %u", t, track.id,
                    image_.nextTrackId);
      }
      for (int s = 0; s < kStringCount; ++s) {
        const uint32_t units = Units(track.text[s]);
        const uint32_t most = Narrow(track.text[s]) ? kStoredLimit[s] - 1 : kStoredLimit[s] / 2 - 1;
        if (units > most)
          report_.Add("ZRTL.DB",
                      "record %u: string %d of %u units is longer than stored text can be", t, s,
                      units);
      }
      if (Units(track.text[kPath]) > kMaxRelativePathUnits) {
        report_.Add("ZRTL.DB", "record %u: a path of %u units is longer than a file's can be", t,
                    Units(track.text[kPath]));
      }
      for (char16_t c : track.text[kPath]) {
        if (c == u'\\') {
          report_.Add("ZRTL.DB", "record %u: the path holds a backslash, not \"/\"", t);
          break;
        }
      }
      for (int s = 0; s <= kAlbum; ++s) {
        if (track.groupNumber[s] == kGroupNumberUnset) {
          report_.Add("ZRTL.DB", "record %u: no group number under key %d", t, s);
        }
      }
    }
    std::sort(ids.begin(), ids.end());
    for (size_t i = 1; i < ids.size(); ++i) {
      if (ids[i] == ids[i - 1]) report_.Add("ZRTL.DB", "track id %u is used twice", ids[i]);
    }
  }

  // The block's layout; false when its lists cannot be used for the deeper checks.
  bool BlockLayout(uint32_t b) {
    const ImageBlock& block = image_.blocks[b];
    const int levels = b < kTitle ? LevelsOfKey(static_cast<int>(b)) : 0;
    bool usable = true;
    if (block.key != b) report_.Add("ZRBL.DB", "block %u is for key %u", b, block.key);
    if (block.lists.size() != static_cast<size_t>(levels + 1)) {
      report_.Add("ZRBL.DB", "block %u has %zu lists, not %d", b, block.lists.size(), levels + 1);
      return false;
    }
    for (int l = 0; l <= levels; ++l) {
      const ImageList& list = block.lists[l];
      const uint8_t kind = l == 0 ? kListKindTracks : kListKindGroups;
      const uint32_t attribute = l == 0 ? kTrackListAttribute : b + l - 1;
      if (list.kind != kind || list.attribute != attribute || list.level != l) {
        report_.Add("ZRBL.DB",
                    "block %u list %d: kind %u, attribute %u, level %u; expected %u, %u, %d", b, l,
                    list.kind, list.attribute, list.level, kind, attribute, l);
        usable = false;
      }
    }
    const uint32_t capacity = b == 0 ? kMaxGenreGroups : kMaxTracks;
    if (levels > 0 && block.lists[1].groups.size() > capacity) {
      report_.Add("ZRBL.DB", "block %u: %zu first-level groups, more than %u", b,
                  block.lists[1].groups.size(), capacity);
    }
    return usable;
  }

  // A permutation of every track, in the key's order.
  bool TrackOrder(uint32_t b) {
    const std::vector<uint32_t>& list = image_.blocks[b].lists[0].tracks;
    const uint32_t n = static_cast<uint32_t>(image_.tracks.size());
    if (list.size() != n) {
      report_.Add("ZRBL.DB", "key %u: the track list holds %zu tracks, the library %u", b,
                  list.size(), n);
      return false;
    }
    std::vector<bool> seen(n, false);
    bool permutation = true;
    for (uint32_t p = 0; p < n; ++p) {
      if (list[p] >= n || seen[list[p]]) {
        report_.Add("ZRBL.DB", "key %u: position %u names track %u twice or out of range", b, p,
                    list[p]);
        permutation = false;
        continue;
      }
      seen[list[p]] = true;
    }
    if (!permutation) return false;
    for (uint32_t p = 1; p < n; ++p) {
      if (CompareSlots(Slot(list[p - 1]), Slot(list[p]), static_cast<int>(b)) > 0) {
        report_.Add("ZRBL.DB", "key %u: tracks %u and %u at positions %u and %u are out of order",
                    b, list[p - 1], list[p], p - 1, p);
      }
    }
    return true;
  }

  // Group numbers change exactly where the key's value changes.
  bool GroupNumbers(uint32_t b) {
    const std::vector<uint32_t>& list = image_.blocks[b].lists[0].tracks;
    uint32_t counter = 0;
    bool ok = true;
    for (uint32_t p = 0; p < list.size(); ++p) {
      const uint32_t t = list[p];
      if (p > 0 &&
          !SameKeyValue(Text(list[p - 1], static_cast<int>(b)), Text(t, static_cast<int>(b))))
        ++counter;
      const uint32_t want = counter >= kGroupLimit[b] ? kGroupNumberOverflow : counter;
      if (Number(static_cast<int>(b), t) != want) {
        report_.Add("ZRTL.DB", "record %u: group number %u under key %u, expected %u", t,
                    Number(static_cast<int>(b), t), b, want);
        ok = false;
      }
    }
    return ok;
  }

  void GroupTables(uint32_t b) {
    const int key = static_cast<int>(b);
    const int levels = LevelsOfKey(key);
    const std::vector<uint32_t>& list = image_.blocks[b].lists[0].tracks;
    const uint32_t n = static_cast<uint32_t>(list.size());
    // Each level's entries open where the level's value or an upper one changes.
    for (int l = 0; l < levels; ++l) {
      const std::vector<ImageGroupRow>& rows = image_.blocks[b].lists[1 + l].groups;
      const int attribute = key + l;
      const size_t capacity = key == 0 && l == 0 ? kMaxGenreGroups : kMaxTracks;
      std::vector<uint32_t> firsts;
      for (uint32_t p = 0; p < n; ++p) {
        const uint32_t t = list[p];
        bool opens = p == 0;
        if (!opens) {
          opens = Number(attribute, t) != Number(attribute, firsts.back());
          for (int a = key; !opens && a < attribute; ++a)
            opens = Number(a, t) != Number(a, list[p - 1]);
        }
        if (opens && firsts.size() < capacity) firsts.push_back(t);
      }
      if (rows.size() != firsts.size()) {
        report_.Add("ZRBL.DB", "key %d level %d: %zu groups, the track list has %zu", key, l + 1,
                    rows.size(), firsts.size());
        return;
      }
      for (size_t e = 0; e < rows.size(); ++e) {
        if (rows[e].firstTrack != firsts[e]) {
          report_.Add("ZRBL.DB", "key %d level %d group %zu: first track %u, expected %u", key,
                      l + 1, e, rows[e].firstTrack, firsts[e]);
          return;
        }
        if (l == 0 && rows[e].indexInParent != kNoParent) {
          report_.Add("ZRBL.DB", "key %d level 1 group %zu: index in parent %u, not 0x1FFFFF", key,
                      e, rows[e].indexInParent);
        }
      }
    }
    for (int l = 0; l + 1 < levels; ++l) Links(key, l);
    Deepest(key, levels - 1);
  }

  void Links(int key, int l) {
    const std::vector<ImageGroupRow>& upper = image_.blocks[key].lists[1 + l].groups;
    const std::vector<ImageGroupRow>& lower = image_.blocks[key].lists[2 + l].groups;
    uint32_t next = 0;
    for (size_t u = 0; u < upper.size(); ++u) {
      const ImageGroupRow& g = upper[u];
      if (g.firstChild != next || g.count == 0 || g.firstChild >= lower.size() ||
          g.count > lower.size() - g.firstChild) {
        report_.Add(
            "ZRBL.DB",
            "key %d level %d group %zu: sub-groups %u + %u, expected to start at %u within %zu",
            key, l + 1, u, g.firstChild, g.count, next, lower.size());
        return;
      }
      if (lower[g.firstChild].firstTrack != g.firstTrack) {
        report_.Add("ZRBL.DB",
                    "key %d level %d group %zu: its first sub-group starts at another track", key,
                    l + 1, u);
      }
      for (uint32_t i = 0; i < g.count; ++i) {
        const ImageGroupRow& child = lower[g.firstChild + i];
        if (child.indexInParent != i) {
          report_.Add("ZRBL.DB", "key %d level %d group %u: index in parent %u, expected %u", key,
                      l + 2, g.firstChild + i, child.indexInParent, i);
        }
        for (int a = key; a <= key + l; ++a) {
          if (Number(a, child.firstTrack) != Number(a, g.firstTrack)) {
            report_.Add("ZRBL.DB", "key %d level %d group %u lies outside its parent's value", key,
                        l + 2, g.firstChild + i);
            break;
          }
        }
      }
      next = g.firstChild + g.count;
    }
    // Sub-groups after the last parent's: only the artists of genres beyond the 1000th, parentless.
    for (size_t e = next; e < lower.size(); ++e) {
      const bool orphan = key == 0 && l == 0 && upper.size() == kMaxGenreGroups &&
                          Number(0, lower[e].firstTrack) == kGroupNumberOverflow &&
                          lower[e].indexInParent == kNoParent;
      if (!orphan) {
        report_.Add("ZRBL.DB", "key %d level %d group %zu belongs to no group above it", key, l + 2,
                    e);
        return;
      }
    }
  }

  void Deepest(int key, int l) {
    const std::vector<ImageGroupRow>& rows = image_.blocks[key].lists[1 + l].groups;
    const std::vector<uint32_t>& list = image_.blocks[key].lists[0].tracks;
    uint32_t next = 0;
    for (size_t e = 0; e < rows.size(); ++e) {
      const ImageGroupRow& g = rows[e];
      if (g.firstChild != next || g.count == 0 || g.firstChild >= list.size() ||
          g.count > list.size() - g.firstChild || list[g.firstChild] != g.firstTrack) {
        report_.Add("ZRBL.DB", "key %d level %d group %zu: tracks %u + %u, expected to start at %u",
                    key, l + 1, e, g.firstChild, g.count, next);
        return;
      }
      next = g.firstChild + g.count;
    }
    if (next != list.size())
      report_.Add("ZRBL.DB", "key %d: the deepest groups cover %u of %zu tracks", key, next,
                  list.size());
  }

  void Directory() {
    const auto& dir = image_.directory;
    if (dir.size() != kDirectoryEntries) {
      report_.Add("ZRDB.DB", "the list directory has %zu entries, not 10", dir.size());
      return;
    }
    size_t e = 0;
    for (uint32_t i = 0; i < kSortKeys; ++i) {
      for (uint32_t j = 0; j <= 3 - i; ++j, ++e) {
        const bool trackList = j == 3 - i;
        const DirectoryEntry& d = dir[e];
        uint32_t entries = 0;
        if (i < image_.blocks.size()) {
          const auto& lists = image_.blocks[i].lists;
          const size_t list = trackList ? 0 : j + 1;
          if (list < lists.size())
            entries = static_cast<uint32_t>(trackList ? lists[list].tracks.size()
                                                      : lists[list].groups.size());
        }
        if (d.key != i || d.kind != (trackList ? kListKindTracks : kListKindGroups) ||
            d.attribute != i + j || d.level != j || d.entries != entries) {
          report_.Add("ZRDB.DB",
                      "directory entry %zu (key %u, %u, %u, %u, %u entries) does not match ZRBL.DB "
                      "(%u entries)",
                      e, d.key, d.kind, d.attribute, d.level, d.entries, entries);
        }
      }
    }
  }

  void Statistics() {
    const uint32_t n = static_cast<uint32_t>(image_.tracks.size());
    StringStats want[kStringCount];
    for (int s = 0; s <= kAlbum; ++s) {
      const std::vector<uint32_t>& list = image_.blocks[s].lists[0].tracks;
      uint32_t groups = 0;
      for (uint32_t p = 0; p < list.size(); ++p) {
        if (p > 0 && SameKeyValue(Text(list[p - 1], s), Text(list[p], s))) continue;
        const std::u16string& text = image_.tracks[list[p]].text[s];
        ++groups;
        want[s].total += 2 * Units(text) + 2;
        want[s].compact += (Narrow(text) ? Units(text) : 2 * Units(text)) + 2;
      }
      want[s].count = std::min(groups, kGroupLimit[s]);
    }
    // The title and path figures depend on how the library came about. A create counts each
    // string's bytes with the terminator, and shares each path's prefix with the one before it
    // except at every 20th track. An update that drops tracks recounts each kept string from its
    // chunk's data length (rounded up to 4 bytes) + 2 and restarts the sharing at every 20th old
    // index; one that adds tracks counts each new path's compact size from its data length and
    // shares nothing with a path written by an earlier run. Every string counts one of these ways,
    // so each figure must lie between the least and the most they give.
    Range titleTotal, titleCompact, pathTotal, pathCompact;
    const std::u16string* previous = nullptr;
    for (uint32_t t = 0; t < n; ++t) {
      const std::u16string& title = image_.tracks[t].text[kTitle];
      const uint32_t units = Units(title);
      const uint32_t w = 2 * units + 2;
      const uint32_t recounted = RoundUp4(w) + 2;
      titleTotal.Add({w, recounted});
      titleCompact.Add({Narrow(title) && units < kStoredLimit[kTitle] ? RoundUpEven(units + 1) : w,
                        Narrow(title) ? RoundUpEven(recounted / 2) : recounted});
      const std::u16string& path = image_.tracks[t].text[kPath];
      const uint32_t bytes = 2 * Units(path) + 2;
      uint32_t common = 0;
      if (previous != nullptr) {
        while (common < path.size() && common < previous->size() &&
               path[common] == (*previous)[common])
          ++common;
      }
      uint32_t least = UINT32_MAX;
      uint32_t most = 0;
      for (const uint32_t counted : {bytes, RoundUp4(bytes), RoundUp4(bytes) + 2}) {
        for (const uint32_t shared : {0u, common}) {
          const uint32_t rest = counted - 2 * shared;
          const bool narrowRest =
              std::all_of(path.begin() + shared, path.end(), [](char16_t c) { return c < 0x100; });
          const uint32_t compact = narrowRest ? RoundUpEven(rest / 2) : rest;
          least = std::min(least, compact);
          most = std::max(most, compact);
        }
      }
      pathTotal.Add({bytes, RoundUp4(bytes) + 2});
      pathCompact.least += least;
      pathCompact.most += most;
      previous = &path;
    }
    const char* names[kStringCount] = {"genre", "artist", "album", "title", "path"};
    for (int s = 0; s < kTitle; ++s) {
      const StringStats& got = image_.stats[s];
      if (got.count != want[s].count || got.total != want[s].total ||
          got.compact != want[s].compact) {
        report_.Add("ZRDB.DB",
                    "%s statistics count %u, total %u, compact %u; the records give %u, %u, %u",
                    names[s], got.count, got.total, got.compact, want[s].count, want[s].total,
                    want[s].compact);
      }
    }
    const Range* totals[] = {&titleTotal, &pathTotal};
    const Range* compacts[] = {&titleCompact, &pathCompact};
    for (int s = kTitle; s <= kPath; ++s) {
      const StringStats& got = image_.stats[s];
      const Range& total = *totals[s - kTitle];
      const Range& compact = *compacts[s - kTitle];
      if (got.count != n || !total.Holds(got.total) || !compact.Holds(got.compact)) {
        report_.Add("ZRDB.DB",
                    "%s statistics count %u, total %u, compact %u; the records give %u, %u to %u, "
                    "%u to %u",
                    names[s], got.count, got.total, got.compact, n, total.least, total.most,
                    compact.least, compact.most);
      }
    }
  }

 private:
  const LibraryImage& image_;
  Report& report_;
};

}  // namespace

bool CheckLibraryImage(const LibraryImage& image, std::vector<std::string>* problems,
                       CheckOptions options) {
  Report report(problems);
  Checker check(image, report);
  check.Records();
  if (image.blocks.size() != kSortKeys) {
    report.Add("ZRBL.DB", "%zu blocks, not 4", image.blocks.size());
    return false;
  }
  bool listsUsable = true;
  for (uint32_t b = 0; b < kSortKeys; ++b) {
    if (!check.BlockLayout(b) || !check.TrackOrder(b)) {
      listsUsable = false;
      continue;
    }
    if (b < kTitle && check.GroupNumbers(b)) check.GroupTables(b);
  }
  if (image.hasSections) {
    check.Directory();
    if (options.statistics && listsUsable) check.Statistics();
  } else if (options.statistics) {
    report.Add("ZRDB.DB", "the summary has no statistics and no list directory");
  }
  return report.count() == 0;
}

bool CheckLibrary(platform::FileSystem& files, std::u16string_view root,
                  std::vector<std::string>* problems, CheckOptions options) {
  std::vector<std::string> local;
  std::vector<std::string>* out = problems != nullptr ? problems : &local;
  LibraryImage image;
  const size_t before = out->size();
  if (!ReadLibraryImage(files, root, &image, out)) {
    // The image is partial: the checks of what relates the files would only repeat the fault.
    if (out->size() == before) out->push_back("the library cannot be read");
    return false;
  }
  const bool sound = CheckLibraryImage(image, out, options);
  return sound && out->size() == before;
}

}  // namespace deltrix::library
