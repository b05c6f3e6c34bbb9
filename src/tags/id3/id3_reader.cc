#include "tags/id3/id3_reader.h"

#include <algorithm>
#include <cstring>

#include "base/byte_order.h"
#include "base/byte_reader.h"
#include "tags/text_decoding.h"

namespace deltrix::tags {

namespace {

// Version codes: major * 10 + revision, kept to 8 bits.
constexpr uint8_t kVersion22 = 20;
constexpr uint8_t kVersion23 = 30;
constexpr uint8_t kVersion231 = 31;
constexpr uint8_t kVersion24 = 40;

// A text frame is decoded from at most this many data bytes. A stored field keeps at most 63
// units, which no encoding spends more than 4 bytes each on; only a track number preceded by
// thousands of blanks could tell the difference.
constexpr size_t kTextFrameBytes = TagFile::kBlockBytes;

// ID3v2 sizes written in the sync-safe form: 7 bits per byte.
uint32_t SyncSafe32(const uint8_t* p) {
  return uint32_t{p[0] & 0x7Fu} << 21 | uint32_t{p[1] & 0x7Fu} << 14 | uint32_t{p[2] & 0x7Fu} << 7 |
         uint32_t{p[3] & 0x7Fu};
}

// An ID3v2.4 size (frame or extended header) is sync-safe. Some old taggers wrote it as a plain
// number; a byte with its top bit set cannot occur in the sync-safe form, so such a size is read
// plainly.
uint32_t Id3v24Size(const uint8_t* p) {
  if ((p[0] | p[1] | p[2] | p[3]) & 0x80) return GetBe32(p);
  return SyncSafe32(p);
}

enum class TextField { None, Title, Artist, Album, Genre, Track };

TextField FieldOf(const uint8_t* id, uint8_t version) {
  struct Entry {
    const char* id;
    TextField field;
  };
  static constexpr Entry kV22[] = {{"TT2", TextField::Title},
                                   {"TP1", TextField::Artist},
                                   {"TAL", TextField::Album},
                                   {"TCO", TextField::Genre},
                                   {"TRK", TextField::Track}};
  static constexpr Entry kV23[] = {{"TIT2", TextField::Title},
                                   {"TPE1", TextField::Artist},
                                   {"TALB", TextField::Album},
                                   {"TCON", TextField::Genre},
                                   {"TRCK", TextField::Track}};
  const bool v22 = version == kVersion22;
  const size_t idLength = v22 ? 3 : 4;
  for (const Entry& e : v22 ? std::span<const Entry>(kV22) : std::span<const Entry>(kV23)) {
    if (std::memcmp(id, e.id, idLength) == 0) return e.field;
  }
  return TextField::None;
}

void StoreText(TextField field, std::span<const char16_t> text, TrackRecord* record) {
  switch (field) {
    case TextField::Title:
      StoreFieldText(text.data(), text.size(), record->title, kTitleUnits);
      break;
    case TextField::Artist:
      StoreFieldText(text.data(), text.size(), record->artist, kArtistUnits);
      break;
    case TextField::Album:
      StoreFieldText(text.data(), text.size(), record->album, kAlbumUnits);
      break;
    case TextField::Genre:
      StoreFieldText(text.data(), text.size(), record->genre, kGenreUnits);
      break;
    case TextField::Track:
      record->trackNumber = TrackNumberFromText(text);
      break;
    case TextField::None:
      break;
  }
}

// Finds where the frame walk begins, relative to the body, when an extended header follows the tag
// header. Version 2.3 gives the header's size without its own four size bytes; 2.4 gives it
// sync-safe and counting itself. Returns 1 with *walkStart set, 0 when the extended header does not
// fit in the body (nothing is read then), -1 when the read failed.
[[nodiscard]] int FindExtendedHeaderEnd(TagFile& file, uint8_t version, uint32_t bodySize,
                                        uint32_t* walkStart) {
  if (bodySize < 4) return 0;
  std::span<const uint8_t> bytes;
  if (!file.Fetch(kId3v2HeaderBytes, 4, kId3v2HeaderBytes + bodySize, &bytes)) return -1;
  uint64_t end;
  if (version == kVersion24) {
    end = Id3v24Size(bytes.data());
    if (end < 4) return 0;  // smaller than its own size field: malformed
  } else {
    end = uint64_t{4} + GetBe32(bytes.data());
  }
  if (end > bodySize) return 0;
  *walkStart = static_cast<uint32_t>(end);
  return 1;
}

// Walks the frames of a body of `bodySize` bytes at file offset 10 and stores the text frames.
// Returns false when a read fails (the file then fails, as a failed read of the whole body would).
[[nodiscard]] bool WalkFrames(TagFile& file, uint8_t version, bool extendedHeader,
                              uint32_t bodySize, TrackRecord* record, platform::TextCodec& codec,
                              uint32_t codePage) {
  const int64_t bodyEnd = kId3v2HeaderBytes + int64_t{bodySize};
  uint32_t pos = 0;  // relative to the body
  if (extendedHeader) {
    const int found = FindExtendedHeaderEnd(file, version, bodySize, &pos);
    if (found != 1) return found == 0;
  }

  const bool v22 = version == kVersion22;
  const uint32_t headerLength = v22 ? 6 : 10;
  // The second flags byte (byte 9 of a frame header): compression adds a 4-byte field before the
  // data (the uncompressed size), encryption a 1-byte field (the method). 2.3.1 flags as 2.4 does.
  const uint8_t compressedFlag = version == kVersion23 ? 0x80 : 0x08;
  const uint8_t encryptedFlag = version == kVersion23 ? 0x40 : 0x04;
  char16_t text[kTextFrameBytes];

  while (bodySize - pos >= 7) {
    if (bodySize - pos < headerLength) break;
    std::span<const uint8_t> header;
    if (!file.Fetch(kId3v2HeaderBytes + pos, headerLength, bodyEnd, &header)) return false;
    uint8_t id[4] = {};
    std::memcpy(id, header.data(), v22 ? 3 : 4);
    uint32_t size;
    uint32_t extra = 0;
    if (v22) {
      size = uint32_t{header[3]} << 16 | uint32_t{header[4]} << 8 | header[5];
    } else {
      size = version == kVersion24 ? Id3v24Size(header.data() + 4) : GetBe32(header.data() + 4);
      const uint8_t flags = header[9];
      if (flags & compressedFlag) extra += 4;
      if (flags & encryptedFlag) extra += 1;
    }
    // End conditions: a size of 0 or negative as a signed number, padding (an all-zero ID), an ID
    // whose fourth byte has its top bit set, a size beyond the body.
    if (size == 0 || size > 0x7FFFFFFFu) break;
    if ((id[0] | id[1] | id[2] | id[3]) == 0) break;
    if (!v22 && (id[3] & 0x80)) break;
    if (size > bodySize) break;
    const uint32_t dataStart = pos + headerLength;
    // A frame that runs past the end of the body, or that is too short for its own extra fields,
    // is malformed: the walk ends there.
    if (size > bodySize - dataStart || extra > size) break;

    if (id[0] == 'T') {
      const TextField field = FieldOf(id, version);
      if (field != TextField::None) {
        const size_t n = std::min<size_t>(size - extra, kTextFrameBytes);
        std::span<const uint8_t> data;
        if (!file.Fetch(kId3v2HeaderBytes + dataStart + extra, n, bodyEnd, &data)) return false;
        const size_t units = DecodeId3v2Text(data, codec, codePage, text);
        StoreText(field, std::span<const char16_t>(text, units), record);
      }
      // Other text frames ("TXXX" and the rest) would be decoded and dropped: passed over.
    }
    // The frame's size counts its extra fields, so the next frame follows its data.
    pos = dataStart + size;
  }
  return true;
}

}  // namespace

int ReadId3v1(TagFile& file, TrackRecord* record, platform::TextCodec& codec, uint32_t codePage) {
  if (file.size() <= kId3v1Bytes) return 0;
  std::span<const uint8_t> bytes;
  if (!file.Fetch(file.size() - kId3v1Bytes, kId3v1Bytes, file.size(), &bytes)) return -1;
  uint8_t tag[kId3v1Bytes];
  std::memcpy(tag, bytes.data(), sizeof tag);
  if (std::memcmp(tag, "TAG", 3) != 0) return 0;

  // Title, artist and album: 30 bytes each, NUL-padded. Thirty units always fit, so nothing is cut;
  // an empty text leaves the field as it is.
  struct Text {
    size_t offset;
    char16_t* field;
    size_t capacity;
  };
  const Text texts[] = {{3, record->title, kTitleUnits},
                        {33, record->artist, kArtistUnits},
                        {63, record->album, kAlbumUnits}};
  char16_t decoded[30];
  for (const Text& t : texts) {
    const size_t n =
        CodePageToUtf16(codec, codePage, std::span<const uint8_t>(tag + t.offset, 30), decoded);
    if (n > 0) StoreFieldText(decoded, n, t.field, t.capacity);
  }
  // Byte 125 is zero when byte 126 holds a track number (ID3v1.1).
  if (tag[125] == 0) record->trackNumber = tag[126];

  const std::string_view name = GenreNames[tag[127]];
  char16_t genre[32];
  const size_t n = CodePageToUtf16(
      codec, codePage,
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(name.data()), name.size()), genre);
  StoreFieldText(genre, n, record->genre, kGenreUnits);
  return static_cast<int>(kId3v1Bytes);
}

int64_t ReadId3v2(TagFile& file, TrackRecord* record, platform::TextCodec& codec,
                  uint32_t codePage) {
  // A file shorter than the header holds no tag; it is not a failed read.
  if (file.size() < kId3v2HeaderBytes) return 0;
  std::span<const uint8_t> header;
  if (!file.Fetch(0, kId3v2HeaderBytes, kId3v2HeaderBytes, &header)) return -1;
  if (std::memcmp(header.data(), "ID3", 3) != 0) return 0;

  const uint8_t version = static_cast<uint8_t>(header[3] * 10 + header[4]);
  const bool known = version == kVersion22 || version == kVersion23 || version == kVersion231 ||
                     version == kVersion24;
  const bool extendedHeader = (header[5] & 0x40) && version != kVersion22 && known;
  // The body size is sync-safe in the first three bytes; the last byte is taken whole.
  const uint32_t bodySize = uint32_t{header[6] & 0x7Fu} << 21 | uint32_t{header[7] & 0x7Fu} << 14 |
                            uint32_t{header[8] & 0x7Fu} << 7 | header[9];
  // The whole body must be readable: an empty body or one that runs past the end of the file fails
  // as the read of it would.
  if (bodySize == 0 || int64_t{bodySize} > file.size() - kId3v2HeaderBytes) return -1;
  if (known && !WalkFrames(file, version, extendedHeader, bodySize, record, codec, codePage))
    return -1;
  return kId3v2HeaderBytes + int64_t{bodySize};
}

size_t DecodeId3v2Text(std::span<const uint8_t> data, platform::TextCodec& codec, uint32_t codePage,
                       std::span<char16_t> out) {
  if (data.empty() || out.empty()) return 0;
  const uint8_t encoding = data[0];
  const std::span<const uint8_t> text = data.subspan(1);
  switch (encoding) {
    case 0:
      return CodePageToUtf16(codec, codePage, text, out);
    case 1:
    case 2: {
      const size_t limit = std::min(text.size() / 2, out.size());
      size_t n = 0;
      while (n < limit) {
        const char16_t unit = static_cast<char16_t>(GetLe16(text.data() + 2 * n));
        if (unit == 0) break;
        out[n++] = unit;
      }
      const char16_t first = n > 0 ? out[0] : char16_t{0};
      // Encoding 1 without the mark FF FE is big-endian; encoding 2 is little-endian unless marked
      // FE FF.
      const bool swap = encoding == 1 ? first != 0xFEFF : first == 0xFFFE;
      if (swap) SwapUtf16Bytes(out.first(n));
      if (n > 0 && out[0] == 0xFEFF) {
        std::copy(out.begin() + 1, out.begin() + static_cast<ptrdiff_t>(n), out.begin());
        --n;
      }
      return n;
    }
    case 3: {
      if (text.empty() || text[0] == 0) return 0;
      const size_t n = Utf8ToUtf16(text, out);
      return UnitsBeforeZero(out.first(n));
    }
    default:
      return CodePageToUtf16(codec, codePage, data, out);
  }
}

}  // namespace deltrix::tags
