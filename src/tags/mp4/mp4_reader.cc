#include "tags/mp4/mp4_reader.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "base/byte_order.h"
#include "tags/text_decoding.h"

namespace deltrix::tags {

namespace {

constexpr int64_t kAtomHeaderBytes = 8;
// The value of an item starts 16 bytes into its content: the data atom's size, "data", its type
// indicator and its locale. "trkn" holds the track number in value bytes 2-3.
constexpr size_t kItemValueOffset = 16;
constexpr size_t kTrackNumberOffset = 18;
// An item's content is read up to this many bytes: a stored field keeps at most 63 units, and the
// decoder spends at most 3 bytes on each.
constexpr size_t kItemBytes = 512;

// The containers on the way to the item list, by level.
constexpr const char* kPath[] = {"moov", "udta", "meta", "ilst"};
constexpr int kItemLevel = 4;

void StoreItem(const uint8_t* type, std::span<const uint8_t> content, uint32_t contentLength,
               TrackRecord* record) {
  if (type[0] == 0xA9) {
    if (contentLength < kItemValueOffset) return;
    struct Item {
      const char* name;
      char16_t* field;
      size_t capacity;
    };
    const Item items[] = {{"nam", record->title, kTitleUnits},
                          {"ART", record->artist, kArtistUnits},
                          {"alb", record->album, kAlbumUnits},
                          {"gen", record->genre, kGenreUnits}};
    const Item* item = nullptr;
    for (const Item& i : items) {
      if (std::memcmp(type + 1, i.name, 3) == 0) item = &i;
    }
    if (!item) return;  // other items of this kind are dropped
    char16_t text[kItemBytes];
    const size_t n = Utf8ToUtf16(content.subspan(kItemValueOffset), text);
    StoreFieldText(text, UnitsBeforeZero(std::span<const char16_t>(text, n)), item->field,
                   item->capacity);
  } else if (std::memcmp(type, "trkn", 4) == 0) {
    if (contentLength < kTrackNumberOffset + 2) return;
    record->trackNumber = static_cast<int16_t>(GetBe16(content.data() + kTrackNumberOffset));
  }
}

}  // namespace

int ReadMp4Atoms(TagFile& file, int64_t start, uint32_t budget, TrackRecord* record) {
  int level = 0;
  int64_t pos = start;
  int64_t levelEnd = start;  // where the container of the current level ends
  while (budget != 0) {
    std::span<const uint8_t> header;
    // At the top level only the 8 header bytes are read: the rest may be audio. Inside "moov"
    // blocks are read up to the end of the current container.
    const int64_t readEnd = level == 0 ? pos + kAtomHeaderBytes : levelEnd;
    if (!file.Fetch(pos, kAtomHeaderBytes, readEnd, &header)) return 0;
    const uint32_t size = GetBe32(header.data());
    uint8_t type[4];
    std::memcpy(type, header.data() + 4, 4);
    if (level == 0 && size == 0xFFFFFFFFu) return 0;
    // A size of 0 (to the end of the file) or 1 (a 64-bit size follows) is not walked; any other
    // size below 8 would not move the walk forward.
    if (size < kAtomHeaderBytes) return 0;
    const int64_t content = pos + kAtomHeaderBytes;
    const uint32_t contentLength = size - static_cast<uint32_t>(kAtomHeaderBytes);

    if (level < kItemLevel && std::memcmp(type, kPath[level], 4) == 0) {
      pos = content;
      budget = contentLength;
      if (level == 2) {  // "meta" begins with 4 bytes of version and flags
        pos += 4;
        budget = size - 12;  // unsigned, as the budgets are
      }
      ++level;
      levelEnd = content + int64_t{contentLength};
      continue;
    }
    if (level == kItemLevel) {
      // The item's content is read whole by the walk's rules: one that runs past the end of the
      // file fails the walk.
      if (int64_t{contentLength} > file.size() - content) return 0;
      if (type[0] == 0xA9 || std::memcmp(type, "trkn", 4) == 0) {
        std::span<const uint8_t> bytes;
        const size_t n = std::min<size_t>(contentLength, kItemBytes);
        if (!file.Fetch(content, n, levelEnd, &bytes)) return 0;
        StoreItem(type, bytes, contentLength, record);
      }
    }
    pos = content +
          int64_t{contentLength};  // a seek forward; a later read tells if it passed the end
    budget -= size;
  }
  return 1;
}

}  // namespace deltrix::tags
