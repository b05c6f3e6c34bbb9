#include "tags/riff/riff_reader.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "base/byte_order.h"
#include "tags/text_decoding.h"

namespace deltrix::tags {

namespace {

constexpr int64_t kFileHeaderBytes = 12;
constexpr int64_t kChunkHeaderBytes = 8;

// An item's text is converted from at most this many bytes: a stored field keeps at most 63 units,
// which no code page spends more than 4 bytes each on.
constexpr size_t kItemTextBytes = 1024;

bool Is(const uint8_t* p, const char (&tag)[5]) { return std::memcmp(p, tag, 4) == 0; }

struct Field {
  char16_t* text;
  size_t capacity;
};

// The field an INFO item fills; none for the items not used. "ISBJ" fills only an empty title.
Field FieldOf(const char* id, TrackRecord* record) {
  if (std::memcmp(id, "INAM", 4) == 0) return {record->title, kTitleUnits};
  if (std::memcmp(id, "ISBJ", 4) == 0 && record->title[0] == 0) return {record->title, kTitleUnits};
  if (std::memcmp(id, "IART", 4) == 0) return {record->artist, kArtistUnits};
  if (std::memcmp(id, "IPRD", 4) == 0) return {record->album, kAlbumUnits};
  if (std::memcmp(id, "IGNR", 4) == 0) return {record->genre, kGenreUnits};
  return {nullptr, 0};
}

// Reads the INFO items of a LIST chunk whose content (`size` bytes) starts at `content`. Items are
// read while the bytes consumed stay below the list size, also when the last item runs past it.
int64_t ReadInfoItems(TagFile& file, int64_t content, uint32_t size, TrackRecord* record,
                      platform::TextCodec& codec, uint32_t codePage) {
  const int64_t listEnd = content + int64_t{size};
  std::span<const uint8_t> bytes;
  // The 4-byte list type is not tested: every list is read as INFO items.
  if (!file.Fetch(content, 4, listEnd, &bytes)) return -1;
  if (size <= 4) return 0;
  uint64_t consumed = 4;
  int64_t pos = content + 4;
  char16_t text[kItemTextBytes];
  while (consumed < size) {
    if (!file.Fetch(pos, 8, listEnd, &bytes)) return -1;
    if (Is(bytes.data(), "IID3")) return 0;  // the ID3 data inside it is not parsed; the list ends
    char id[4];
    std::memcpy(id, bytes.data(), 4);
    const uint32_t itemSize = GetLe32(bytes.data() + 4);
    const uint64_t padded = uint64_t{itemSize} + (itemSize & 1u);  // the pad byte is read with it
    const int64_t data = pos + 8;
    // The item's bytes must all be readable, as reading them whole would require.
    if (padded > static_cast<uint64_t>(file.size() - data)) return -1;
    const size_t n = std::min<size_t>(itemSize, kItemTextBytes);
    if (!file.Fetch(data, n, listEnd, &bytes)) return -1;
    consumed += 8 + padded;
    pos = data + static_cast<int64_t>(padded);

    const Field field = FieldOf(id, record);
    if (field.text) {
      const size_t units = CodePageToUtf16(codec, codePage, bytes, text);
      StoreFieldText(text, units, field.text, field.capacity);
    }
  }
  return 0;
}

}  // namespace

int64_t ReadRiffInfo(TagFile& file, TrackRecord* record, platform::TextCodec& codec,
                     uint32_t codePage) {
  std::span<const uint8_t> bytes;
  // The first chunk header is read with the file header.
  if (!file.Fetch(0, kFileHeaderBytes, kFileHeaderBytes + kChunkHeaderBytes, &bytes)) return -1;
  if (!Is(bytes.data(), "RIFF")) return 0;
  const bool wave = Is(bytes.data() + 8, "WAVE");
  if (!wave && !Is(bytes.data() + 8, "RMP3")) return 0;

  int64_t pos = kFileHeaderBytes;
  for (;;) {
    if (!file.Fetch(pos, kChunkHeaderBytes, pos + kChunkHeaderBytes, &bytes)) return -1;
    const uint8_t* id = bytes.data();
    // Sizes are unsigned: a chunk is always passed forwards, however large its size.
    const uint32_t size = GetLe32(bytes.data() + 4);
    const int64_t content = pos + kChunkHeaderBytes;
    const int64_t next = content + int64_t{size};
    if (wave && Is(id, "fmt ")) {
      pos = next;
    } else if (wave && Is(id, "fact")) {
      // Its content is read past: an empty one, or one that runs past the end, is a failed read.
      if (size == 0 || next > file.size()) return -1;
      pos = next;
    } else if (Is(id, "data")) {
      if (next >= file.size()) return content;
      pos = next;
    } else if (Is(id, "LIST")) {
      return ReadInfoItems(file, content, size, record, codec, codePage);
    } else {
      return 0;
    }
  }
}

}  // namespace deltrix::tags
