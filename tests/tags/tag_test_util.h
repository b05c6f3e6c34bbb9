// Byte builders for hand-made tag fixtures and helpers that read them through the in-memory drive.
// The builders share no code with the readers: every size and field is written here, field by
// field, from the formats' own definitions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "support/memory_drive.h"
#include "tags/track_record.h"
#include "test_codec.h"

namespace deltrix::testing {

class TagBytes {
 public:
  TagBytes& U8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  TagBytes& Ascii(std::string_view s) {
    // Byte by byte: GCC 12 at -O3 warns (stringop-overflow) inside the standard library about a
    // range insert of a short literal here.
    for (char c : s) bytes.push_back(static_cast<uint8_t>(c));
    return *this;
  }
  TagBytes& Raw(const Bytes& b) {
    bytes.insert(bytes.end(), b.begin(), b.end());
    return *this;
  }
  TagBytes& Zeros(size_t n) {
    bytes.insert(bytes.end(), n, 0);
    return *this;
  }
  TagBytes& Fill(size_t n, uint8_t v) {
    bytes.insert(bytes.end(), n, v);
    return *this;
  }
  TagBytes& Be16(uint32_t v) { return U8(uint8_t(v >> 8)).U8(uint8_t(v)); }
  TagBytes& Be24(uint32_t v) { return U8(uint8_t(v >> 16)).Be16(v & 0xFFFF); }
  TagBytes& Be32(uint32_t v) { return Be16(v >> 16).Be16(v & 0xFFFF); }
  TagBytes& Le16(uint32_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
  TagBytes& Le32(uint32_t v) { return Le16(v & 0xFFFF).Le16(v >> 16); }
  TagBytes& SyncSafe(uint32_t v) {
    return U8((v >> 21) & 0x7F).U8((v >> 14) & 0x7F).U8((v >> 7) & 0x7F).U8(v & 0x7F);
  }
  TagBytes& Utf16Le(std::u16string_view s) {
    for (char16_t c : s) Le16(c);
    return *this;
  }
  TagBytes& Utf16Be(std::u16string_view s) {
    for (char16_t c : s) Be16(c);
    return *this;
  }
  operator Bytes() const { return bytes; }
  size_t size() const { return bytes.size(); }
  Bytes bytes;
};

// ID3v2: a tag of the given version whose header gives the body's size (sync-safe).
Bytes Id3v2(uint8_t major, uint8_t revision, const Bytes& body, uint8_t flags = 0);
// Frames: 2.2 (3-byte ID, 24-bit size), 2.3 (32-bit plain size), 2.4 (sync-safe size).
Bytes Frame22(std::string_view id, const Bytes& data);
Bytes Frame23(std::string_view id, const Bytes& data, uint8_t flags2 = 0);
Bytes Frame24(std::string_view id, const Bytes& data, uint8_t flags2 = 0);
// Text frame data: encoding 0 (8-bit), 1 with the mark FF FE, 3 (UTF-8).
Bytes Latin(std::string_view text);
Bytes Utf16WithMark(std::u16string_view text);
Bytes Utf8Text(std::string_view text);
// A 128-byte ID3v1 tag.
Bytes Id3v1(std::string_view title, std::string_view artist, std::string_view album,
            uint8_t byte125, uint8_t byte126, uint8_t genre);
// MP4 atoms and items.
Bytes Atom(std::string_view type, const Bytes& content);
Bytes TextItem(std::string_view type, std::string_view utf8);  // type such as "\xA9nam"
Bytes TrknItem(uint16_t track, uint16_t total);
// RIFF chunks and INFO items (sizes as given; items padded to even).
Bytes Chunk(std::string_view id, const Bytes& content);
Bytes InfoItem(std::string_view id, std::string_view text);
Bytes Riff(std::string_view form, const Bytes& chunks);
// Fake audio: MPEG-like frame bytes, never a tag marker.
Bytes Audio(size_t n);

Bytes Concat(std::initializer_list<Bytes> parts);
Bytes ReadDataFile(const std::string& relativePath);  // from the test data folder

// Reads `data` stored as `path` on an in-memory drive with ReadTrackFile.
struct ReadResult {
  int result = -2;
  tags::TrackRecord record;
  std::u16string genre() const { return record.genre; }
  std::u16string artist() const { return record.artist; }
  std::u16string album() const { return record.album; }
  std::u16string title() const { return record.title; }
  std::u16string path() const { return record.path; }
};
// The code pages are IconvTestCodec's unless `codec` is given.
ReadResult ReadFile(const Bytes& data, std::u16string_view path = u"E:\\Music\\song.mp3",
                    int tagLanguage = 3, platform::TextCodec* codec = nullptr);

}  // namespace deltrix::testing
