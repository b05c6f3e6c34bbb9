// How the player orders and groups tracks. Every unit is normalised through a fixed table (lower
// case and Latin-1 letters folded, punctuation given low codes, fullwidth forms mapped to the codes
// of their ASCII forms); the artist then loses a leading "THE "; empty values sort last and a
// missing track number (0xFFFF) after all others. Texts are seen through KeyText views over stored
// units (8-bit or UTF-16LE), so nothing is copied to compare. Normalising twice gives the same
// units as normalising once.
#pragma once

#include <array>
#include <cstdint>

#include "base/byte_order.h"

namespace deltrix::library {

namespace collation_detail {
constexpr std::array<char16_t, 256> MakeLowTable() {
  std::array<char16_t, 256> t{};
  for (int u = 0; u < 256; ++u) t[u] = static_cast<char16_t>(u);
  for (int u = 0x21; u <= 0x26; ++u) t[u] = static_cast<char16_t>(u - 0x20);
  for (int u = 0x28; u <= 0x2A; ++u) t[u] = static_cast<char16_t>(u - 0x20);
  t[0x2C] = 0x0C;
  t[0x2E] = 0x0E;
  t[0x27] = 0x0F;
  t[0x2B] = 0x18;
  t[0x2D] = 0x10;
  t[0x3B] = 0x14;
  t[0x3D] = 0x19;
  t[0x40] = 0x12;
  t[0x5E] = 0x13;
  t[0x5F] = 0x14;
  t[0x7B] = 0x15;
  t[0x7D] = 0x16;
  t[0x7E] = 0x17;
  for (int u = 0x61; u <= 0x7A; ++u) t[u] = static_cast<char16_t>(u - 0x20);
  for (int u = 0xE0; u <= 0xFF; ++u) t[u] = static_cast<char16_t>(u - 0x20);
  return t;
}
// U+FF00 to U+FF5F.
constexpr std::array<char16_t, 0x60> MakeFullwidthTable() {
  std::array<char16_t, 0x60> t{};
  for (int i = 0; i < 0x60; ++i) t[i] = static_cast<char16_t>(0xFF00 + i);
  for (int i = 0x01; i <= 0x06; ++i)
    t[i] = static_cast<char16_t>(i);  // unit + 0x100, modulo 0x10000
  for (int i = 0x08; i <= 0x0A; ++i) t[i] = static_cast<char16_t>(i);
  t[0x0C] = 0x0C;
  t[0x0E] = 0x0E;
  t[0x07] = 0x0F;
  t[0x0B] = 0x18;
  t[0x0D] = 0x10;
  for (int i = 0x10; i <= 0x19; ++i) t[i] = static_cast<char16_t>(i + 0x20);  // digits
  for (int i = 0x21; i <= 0x3A; ++i) t[i] = static_cast<char16_t>(i + 0x20);  // A-Z
  for (int i = 0x41; i <= 0x5A; ++i) t[i] = static_cast<char16_t>(i);         // a-z to A-Z
  t[0x1B] = 0x11;  // the fullwidth ";" keeps a code of its own
  t[0x1D] = 0x19;
  t[0x20] = 0x12;
  t[0x3E] = 0x13;
  t[0x3F] = 0x14;
  t[0x5B] = 0x15;
  t[0x5D] = 0x16;
  t[0x5E] = 0x17;
  return t;
}
inline constexpr std::array<char16_t, 256> kLow = MakeLowTable();
inline constexpr std::array<char16_t, 0x60> kFullwidth = MakeFullwidthTable();
}  // namespace collation_detail

inline char16_t NormaliseUnit(char16_t unit) {
  if (unit < 0x100) return collation_detail::kLow[unit];
  if (unit >= 0xFF00 && unit < 0xFF60) return collation_detail::kFullwidth[unit - 0xFF00];
  return unit;
}

// A stored string as the comparator sees it: units [begin, end) of `bytes`, where `length` is the
// stored length (what the statistics count), `end` that length cut at the comparison limit and
// `begin` 4 after a stripped leading "THE " of an artist.
struct KeyText {
  const uint8_t* bytes = nullptr;  // 1 byte per unit (8-bit) or 2 bytes little-endian (wide)
  uint32_t length = 0;
  uint32_t begin = 0;
  uint32_t end = 0;
  bool wide = false;

  char16_t Unit(uint32_t i) const {
    return wide ? static_cast<char16_t>(GetLe16(bytes + 2 * i)) : bytes[i];
  }
  bool empty() const { return begin >= end; }
  uint32_t size() const { return end - begin; }
  // Every stored unit is below U+0100 (the string can be kept in 8-bit units).
  bool Narrow() const;
};

// A view of `units` stored units of string `index` (kGenre .. kTitle; kPath is never compared).
KeyText MakeKeyText(const uint8_t* bytes, uint32_t units, bool wide, int index);

// The normalised comparison of one string: empty values after all others, then unit by unit
// (unsigned), a prefix before the longer string. -1, 0 or 1.
int CompareKeyText(const KeyText& a, const KeyText& b);
// The group boundary test: the same normalised value (two empty values are the same).
bool SameKeyValue(const KeyText& a, const KeyText& b);

// The collation key of one string as bytes: two keys compared with memcmp (a key that is a prefix
// of the other first) are in the order of CompareKeyText, and equal keys are SameKeyValue. An empty
// value is the single byte 0xFF; any other value is its normalised units, each in one to three
// bytes that keep the units' order (below 0x7F one, below 0x207F two, else three), then a 0 byte.
// No key is a prefix of another, so keys written back to back still compare as the values do.
inline constexpr uint32_t kMaxKeyTextBytes = 3 * 64 + 1;
// Writes the key of `text` at `out` (room for 3 * text.size() + 1 bytes); returns its length.
uint32_t EncodeKeyText(const KeyText& text, uint8_t* out);

// The strings and track number of one track, as the sort sees them.
struct SortSlot {
  KeyText text[4];                // genre, artist, album, title
  uint16_t trackNumber = 0xFFFF;  // the stored signed number taken as unsigned
};

// The order of sort key `key` (0 genre, 1 artist, 2 album, 3 title): the key's strings from the key
// on (the title alone for key 3), then the track number, then (keys 0-2) the title. -1, 0 or 1.
int CompareSlots(const SortSlot& a, const SortSlot& b, int key);

}  // namespace deltrix::library
