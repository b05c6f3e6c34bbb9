#include "platform/posix/iconv_text_codec.h"

#include <iconv.h>

#include <cstdlib>
#include <vector>

namespace deltrix::platform::posix {

namespace {

struct CodePageInfo {
  uint32_t codePage;
  const char* iconvName;
  bool doubleByte;
  char16_t defaultChar;   // what the code page decodes broken double-byte text to
  uint8_t leadRanges[4];  // inclusive ranges: first..last, first..last (0,0 when unused)
  uint8_t trailRanges[4];
};

constexpr CodePageInfo kPages[4] = {
    {932, "CP932", true, u'\u30FB', {0x81, 0x9F, 0xE0, 0xFC}, {0x40, 0x7E, 0x80, 0xFC}},
    {936, "CP936", true, u'?', {0x81, 0xFE, 0, 0}, {0x40, 0x7E, 0x80, 0xFE}},
    {1251, "CP1251", false, u'?', {0, 0, 0, 0}, {0, 0, 0, 0}},
    {1252, "CP1252", false, u'?', {0, 0, 0, 0}, {0, 0, 0, 0}},
};

// Single bytes glibc rejects and Windows decodes.
struct Override {
  uint32_t codePage;
  uint8_t byte;
  char16_t unit;
};
constexpr Override kOverrides[] = {
    {932, 0x80, u'\u0080'}, {932, 0xA0, u'\uF8F0'}, {932, 0xFD, u'\uF8F1'},
    {932, 0xFE, u'\uF8F2'}, {932, 0xFF, u'\uF8F3'}, {936, 0xFF, u'\uF8F5'},
};

bool InRanges(const uint8_t (&ranges)[4], uint8_t b) {
  return (ranges[1] != 0 && b >= ranges[0] && b <= ranges[1]) ||
         (ranges[3] != 0 && b >= ranges[2] && b <= ranges[3]);
}

int SlotOf(uint32_t codePage) {
  for (int i = 0; i < 4; ++i) {
    if (kPages[i].codePage == codePage) return i;
  }
  return 3;  // 1252
}

// One character through iconv: its code unit, or 0 when the bytes are not exactly one BMP
// character of the code page.
char16_t ConvertOne(iconv_t cd, const uint8_t* bytes, size_t length) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  char in[2] = {static_cast<char>(bytes[0]), length > 1 ? static_cast<char>(bytes[1]) : '\0'};
  char out[8];
  char* inPtr = in;
  char* outPtr = out;
  size_t inLeft = length, outLeft = sizeof out;
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
      sizeof out - outLeft != 4) {
    return 0;
  }
  const auto* u = reinterpret_cast<const uint8_t*>(out);
  const uint32_t cp =
      uint32_t{u[0]} | uint32_t{u[1]} << 8 | uint32_t{u[2]} << 16 | uint32_t{u[3]} << 24;
  return cp > 0 && cp < 0x10000 ? static_cast<char16_t>(cp) : 0;
}

// Code page 936 gives its three user-defined areas, which GBK in glibc leaves out, to the private
// use area in order: AAA1-AFFE from U+E000, F8A1-FEFE from U+E234, A140-A7A0 from U+E4C6.
char16_t UserDefined936(int lead, int trail) {
  if (trail >= 0xA1 && trail <= 0xFE) {
    if (lead >= 0xAA && lead <= 0xAF) {
      return static_cast<char16_t>(0xE000 + (lead - 0xAA) * 94 + (trail - 0xA1));
    }
    if (lead >= 0xF8 && lead <= 0xFE) {
      return static_cast<char16_t>(0xE234 + (lead - 0xF8) * 94 + (trail - 0xA1));
    }
  }
  if (lead >= 0xA1 && lead <= 0xA7 && trail >= 0x40 && trail <= 0xA0 && trail != 0x7F) {
    return static_cast<char16_t>(0xE4C6 + (lead - 0xA1) * 96 + (trail - 0x40) -
                                 (trail > 0x7F ? 1 : 0));
  }
  return 0;
}

// The rest of code page 936's private-use characters: positions GB2312 leaves empty between its
// characters, numbered on from U+E766 in order. Generated from Windows' own answers
// (tests/codepages/data/windows_codepages.txt) as runs of consecutive pairs.
struct PrivateUseRun {
  uint16_t first, last;  // lead << 8 | trail
  char16_t unit;         // of `first`
};
constexpr PrivateUseRun kPrivateUse936[] = {
    {0xA2AB, 0xA2B0, 0xE766}, {0xA2E3, 0xA2E4, 0xE76C}, {0xA2EF, 0xA2F0, 0xE76E},
    {0xA2FD, 0xA2FE, 0xE770}, {0xA4F4, 0xA4FE, 0xE772}, {0xA5F7, 0xA5FE, 0xE77D},
    {0xA6B9, 0xA6C0, 0xE785}, {0xA6D9, 0xA6DF, 0xE78D}, {0xA6EC, 0xA6ED, 0xE794},
    {0xA6F3, 0xA6F3, 0xE796}, {0xA6F6, 0xA6FE, 0xE797}, {0xA7C2, 0xA7D0, 0xE7A0},
    {0xA7F2, 0xA7FE, 0xE7AF}, {0xA896, 0xA8A0, 0xE7BC}, {0xA8BC, 0xA8BC, 0xE7C7},
    {0xA8BF, 0xA8BF, 0xE7C8}, {0xA8C1, 0xA8C4, 0xE7C9}, {0xA8EA, 0xA8FE, 0xE7CD},
    {0xA958, 0xA958, 0xE7E2}, {0xA95B, 0xA95B, 0xE7E3}, {0xA95D, 0xA95F, 0xE7E4},
    {0xA989, 0xA995, 0xE7E7}, {0xA997, 0xA9A3, 0xE7F4}, {0xA9F0, 0xA9FE, 0xE801},
    {0xD7FA, 0xD7FE, 0xE810}, {0xFE50, 0xFE7E, 0xE815}, {0xFE80, 0xFEA0, 0xE844},
};

char16_t PrivateUse936(int pair) {
  for (const PrivateUseRun& run : kPrivateUse936) {
    if (pair >= run.first && pair <= run.last)
      return static_cast<char16_t>(run.unit + (pair - run.first));
  }
  return 0;
}

}  // namespace

struct IconvTextCodec::Table {
  const CodePageInfo* info = nullptr;
  char16_t single[256] = {};
  bool lead[256] = {};
  bool trail[256] = {};
  std::vector<char16_t> pairs;  // lead << 8 | trail; 0 where unassigned

  explicit Table(const CodePageInfo& page) : info(&page) {
    iconv_t cd = iconv_open("UTF-32LE", page.iconvName);
    const bool haveIconv = cd != reinterpret_cast<iconv_t>(-1);
    for (int b = 0; b < 256; ++b) {
      const auto byte = static_cast<uint8_t>(b);
      lead[b] = page.doubleByte && InRanges(page.leadRanges, byte);
      trail[b] = page.doubleByte && InRanges(page.trailRanges, byte);
      if (b == 0 || lead[b]) continue;
      char16_t unit = haveIconv ? ConvertOne(cd, &byte, 1) : (b < 0x80 ? char16_t(b) : u'\uFFFD');
      if (unit == 0) {
        // Bytes the code page leaves undefined: Windows passes them through as U+0080..U+00FF,
        // except for the private-use characters of the double-byte pages.
        unit = static_cast<char16_t>(b);
        for (const Override& o : kOverrides) {
          if (o.codePage == page.codePage && o.byte == b) unit = o.unit;
        }
      }
      single[b] = unit;
    }
    if (page.doubleByte) {
      pairs.assign(65536, 0);
      for (int l = 0; l < 256; ++l) {
        if (!lead[l]) continue;
        for (int t = 0; t < 256; ++t) {
          if (!trail[t] || !haveIconv) continue;
          const uint8_t two[2] = {static_cast<uint8_t>(l), static_cast<uint8_t>(t)};
          char16_t unit = ConvertOne(cd, two, 2);
          if (unit == 0 && page.codePage == 936) unit = UserDefined936(l, t);
          if (unit == 0 && page.codePage == 936) unit = PrivateUse936(l << 8 | t);
          pairs[static_cast<size_t>(l << 8 | t)] = unit;
        }
      }
    }
    if (haveIconv) iconv_close(cd);
  }
};

IconvTextCodec::IconvTextCodec() = default;
IconvTextCodec::~IconvTextCodec() = default;

IconvTextCodec::Table& IconvTextCodec::TableFor(uint32_t codePage) {
  Slot& slot = slots_[SlotOf(codePage)];
  std::call_once(slot.once,
                 [&] { slot.table = std::make_unique<Table>(kPages[SlotOf(codePage)]); });
  return *slot.table;
}

size_t IconvTextCodec::Decode(uint32_t codePage, std::span<const uint8_t> bytes,
                              std::span<char16_t> out) {
  if (codePage == 0) codePage = CodePageForLanguage(UserLanguage());
  const Table& t = TableFor(codePage);
  size_t n = 0;
  size_t i = 0;
  while (i < bytes.size() && n < out.size()) {
    const uint8_t b = bytes[i];
    if (b == 0) break;
    if (!t.lead[b]) {
      out[n++] = t.single[b];
      ++i;
    } else if (i + 1 < bytes.size() && bytes[i + 1] != 0) {
      // A lead byte takes the next byte with it, trail byte or not.
      const char16_t unit = t.pairs[static_cast<size_t>(b << 8 | bytes[i + 1])];
      out[n++] = unit != 0 ? unit : t.info->defaultChar;
      i += 2;
    } else {
      out[n++] = t.info->defaultChar;  // a lead byte at the end
      ++i;
    }
  }
  return n;
}

std::string IconvTextCodec::UserLanguage() {
  const char* value = nullptr;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    value = std::getenv(name);
    if (value && *value) break;
  }
  if (!value || !*value) return {};
  std::string language;
  for (const char* p = value; *p && *p != '_' && *p != '.' && *p != '@' && *p != '-'; ++p) {
    const char c = *p;
    if (c >= 'A' && c <= 'Z') {
      language.push_back(static_cast<char>(c + 32));
    } else if (c >= 'a' && c <= 'z') {
      language.push_back(c);
    } else {
      return {};  // "C", "POSIX" and paths name no language
    }
  }
  if (language.size() < 2 || language.size() > 3 || language == "c" || language == "posix") {
    return {};
  }
  return language;
}

uint32_t IconvTextCodec::CodePageForLanguage(std::string_view language) {
  if (language == "ja") return 932;
  if (language == "zh") return 936;
  for (std::string_view cyrillic : {"ru", "uk", "be", "bg", "sr", "mk"}) {
    if (language == cyrillic) return 1251;
  }
  return 1252;
}

}  // namespace deltrix::platform::posix
