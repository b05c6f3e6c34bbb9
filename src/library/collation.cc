#include "library/collation.h"

#include <algorithm>

#include "library/library_format.h"

namespace deltrix::library {

namespace {

template <bool WideA, bool WideB>
int CompareUnits(const KeyText& a, const KeyText& b) {
  const uint32_t n = std::min(a.size(), b.size());
  const uint8_t* pa = a.bytes + (WideA ? 2 : 1) * a.begin;
  const uint8_t* pb = b.bytes + (WideB ? 2 : 1) * b.begin;
  for (uint32_t i = 0; i < n; ++i) {
    const char16_t ua = NormaliseUnit(WideA ? static_cast<char16_t>(GetLe16(pa + 2 * i)) : pa[i]);
    const char16_t ub = NormaliseUnit(WideB ? static_cast<char16_t>(GetLe16(pb + 2 * i)) : pb[i]);
    if (ua != ub) return ua < ub ? -1 : 1;
  }
  // Equal through the shorter one: its terminator (0) is below every normalised unit.
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

int CompareNonEmpty(const KeyText& a, const KeyText& b) {
  if (a.wide) return b.wide ? CompareUnits<true, true>(a, b) : CompareUnits<true, false>(a, b);
  return b.wide ? CompareUnits<false, true>(a, b) : CompareUnits<false, false>(a, b);
}

}  // namespace

bool KeyText::Narrow() const {
  if (!wide) return true;
  for (uint32_t i = 0; i < length; ++i) {
    if (Unit(i) >= 0x100) return false;
  }
  return true;
}

KeyText MakeKeyText(const uint8_t* bytes, uint32_t units, bool wide, int index) {
  KeyText t;
  t.bytes = bytes;
  t.length = units;
  t.wide = wide;
  t.end = std::min(units, kCompareLimit[index]);
  if (index == kArtist && t.end >= 4 && NormaliseUnit(t.Unit(0)) == u'T' &&
      NormaliseUnit(t.Unit(1)) == u'H' && NormaliseUnit(t.Unit(2)) == u'E' && t.Unit(3) == u' ') {
    t.begin = 4;  // "The Who" and "Who" are one artist; "Theatre" keeps its letters
  }
  return t;
}

uint32_t EncodeKeyText(const KeyText& text, uint8_t* out) {
  if (text.empty()) {
    out[0] = 0xFF;
    return 1;
  }
  uint8_t* p = out;
  for (uint32_t i = text.begin; i < text.end; ++i) {
    const uint32_t v = NormaliseUnit(text.Unit(i));
    if (v < 0x7F) {
      *p++ = static_cast<uint8_t>(v + 1);  // a stored 0 unit still sorts above the end
    } else if (v < 0x207F) {
      const uint32_t w = v - 0x7F;
      *p++ = static_cast<uint8_t>(0x80 | w >> 8);
      *p++ = static_cast<uint8_t>(w);
    } else {
      const uint32_t w = v - 0x207F;
      *p++ = 0xA0;
      *p++ = static_cast<uint8_t>(w >> 8);
      *p++ = static_cast<uint8_t>(w);
    }
  }
  *p++ = 0;
  return static_cast<uint32_t>(p - out);
}

int CompareKeyText(const KeyText& a, const KeyText& b) {
  if (a.empty()) return b.empty() ? 0 : 1;  // empty values sort last
  if (b.empty()) return -1;
  return CompareNonEmpty(a, b);
}

bool SameKeyValue(const KeyText& a, const KeyText& b) {
  if (a.size() != b.size()) return false;
  return a.empty() || CompareNonEmpty(a, b) == 0;
}

int CompareSlots(const SortSlot& a, const SortSlot& b, int key) {
  const int last = key < kTitle ? kAlbum : kTitle;
  for (int s = key; s <= last; ++s) {
    if (const int c = CompareKeyText(a.text[s], b.text[s]); c != 0) return c;
  }
  if (a.trackNumber != b.trackNumber) return a.trackNumber < b.trackNumber ? -1 : 1;
  if (key == kTitle) return 0;
  return CompareKeyText(a.text[kTitle], b.text[kTitle]);
}

}  // namespace deltrix::library
