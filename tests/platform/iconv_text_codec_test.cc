#include "platform/posix/iconv_text_codec.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>
#include <vector>

namespace deltrix::platform::posix {
namespace {

std::u16string Decode(IconvTextCodec& codec, uint32_t codePage, std::vector<uint8_t> bytes,
                      size_t capacity = 64) {
  std::vector<char16_t> out(capacity, u'#');
  const size_t n = codec.Decode(codePage, bytes, out);
  EXPECT_LE(n, std::min(capacity, bytes.size()));
  return std::u16string(out.data(), n);
}

TEST(IconvTextCodec, DecodesEachCodePageAsWindowsDoes) {
  struct Case {
    uint32_t codePage;
    std::vector<uint8_t> bytes;
    std::u16string want;
  };
  const Case cases[] = {
      // Shift-JIS: kanji, half-width katakana, and 0x5C / 0x7E stay ASCII.
      {932, {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA}, u"\u65E5\u672C\u8A9E"},
      {932, {0xB1, 0xDD, 0x5C, 0x7E}, u"\uFF71\uFF9D\\~"},
      // Microsoft's own mappings, and the user-defined area.
      {932, {0x81, 0x5F, 0x81, 0x60, 0xF0, 0x40}, u"\uFF3C\uFF5E\uE000"},
      {932, {0x80, 0xA0, 0xFD, 0xFE, 0xFF}, u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3"},
      // GBK with the euro sign of code page 936.
      {936, {0xD6, 0xD0, 0xCE, 0xC4, 'a'}, u"\u4E2D\u6587a"},
      {936, {0x80, 0xFF}, u"\u20AC\uF8F5"},
      // The three user-defined areas.
      {936, {0xAA, 0xA1, 0xF8, 0xA2, 0xA1, 0x40, 0xA7, 0xA0}, u"\uE000\uE235\uE4C6\uE765"},
      // Cyrillic; 0x98 is unassigned and passes through.
      {1251, {0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2}, u"\u041F\u0440\u0438\u0432\u0435\u0442"},
      {1251, {0x88, 0x98, 0xB9}, u"\u20AC\u0098\u2116"},
      // Western, with the five unassigned bytes passed through.
      {1252, {'C', 'a', 'f', 0xE9, 0x80, 0x9F}, u"Caf\u00E9\u20AC\u0178"},
      {1252, {0x81, 0x8D, 0x8F, 0x90, 0x9D}, u"\u0081\u008D\u008F\u0090\u009D"},
      // Any other code page reads as 1252.
      {850, {0xE9}, u"\u00E9"},
  };
  IconvTextCodec codec;
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cases[i].want, Decode(codec, cases[i].codePage, cases[i].bytes));
  }
}

TEST(IconvTextCodec, BrokenDoubleByteTextBecomesTheDefaultCharacter) {
  struct Case {
    uint32_t codePage;
    std::vector<uint8_t> bytes;
    std::u16string want;
  };
  const Case cases[] = {
      {932, {'A', 0x82}, u"A\u30FB"},              // a lead byte at the end
      {932, {0x82, ' ', 'B'}, u"\u30FBB"},         // a lead byte takes a non-trail byte along
      {932, {0x85, 0x40, 'C'}, u"\u30FBC"},        // an unassigned pair: one character
      {932, {0x82, 0x00, 0x82, 0xA0}, u"\u30FB"},  // the zero ends the text
      {936, {0xD6}, u"?"},
      {936, {0xD6, 0x7F, 'x'}, u"?x"},  // 0x7F is no trail byte, and goes along
      {936, {0x81, 0x20}, u"?"},
      {936, {0xA2, 0xAB, 0xFE, 0xA0}, u"\uE766\uE864"},  // empty GB2312 positions
  };
  IconvTextCodec codec;
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cases[i].want, Decode(codec, cases[i].codePage, cases[i].bytes));
  }
}

TEST(IconvTextCodec, StopsAtZeroAndAtTheOutputCapacity) {
  IconvTextCodec codec;
  EXPECT_EQ(u"ab", Decode(codec, 1252, {'a', 'b', 0, 'c'}));
  EXPECT_EQ(u"\u65E5", Decode(codec, 932, {0x93, 0xFA, 0x96, 0x7B}, 1));
  EXPECT_EQ(u"", Decode(codec, 932, {0x93, 0xFA}, 0));
  EXPECT_EQ(u"", Decode(codec, 1252, {}));
}

// Sets environment variables for one test and puts them back.
class ScopedEnv {
 public:
  ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> vars) {
    for (auto [name, value] : vars) {
      const char* old = getenv(name);
      saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
      if (value) {
        setenv(name, value, 1);
      } else {
        unsetenv(name);
      }
    }
  }
  ~ScopedEnv() {
    for (auto& [name, value] : saved_) {
      if (value) {
        setenv(name, value->c_str(), 1);
      } else {
        unsetenv(name);
      }
    }
  }

 private:
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

TEST(IconvTextCodec, UserLanguageComesFromTheLocaleVariables) {
  struct Case {
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    std::string want;
  };
  const Case cases[] = {
      {nullptr, nullptr, "ja_JP.UTF-8", "ja"},
      {"de_DE@euro", nullptr, "ja_JP.UTF-8", "de"},  // LC_ALL first
      {"", "ru_RU.KOI8-R", "en_US", "ru"},           // an empty value counts as unset
      {nullptr, nullptr, "C", ""},
      {nullptr, nullptr, "C.UTF-8", ""},
      {nullptr, nullptr, "POSIX", ""},
      {nullptr, nullptr, nullptr, ""},
      {nullptr, nullptr, "zh", "zh"},
  };
  IconvTextCodec codec;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.want);
    ScopedEnv env({{"LC_ALL", c.lcAll}, {"LC_MESSAGES", c.lcMessages}, {"LANG", c.lang}});
    EXPECT_EQ(c.want, codec.UserLanguage());
  }
}

TEST(IconvTextCodec, CodePageZeroFollowsTheUserLanguage) {
  IconvTextCodec codec;
  const std::vector<uint8_t> bytes = {0xCF, 0xF0};
  {
    ScopedEnv env({{"LC_ALL", "ja_JP.UTF-8"}});
    // 0xCF is a katakana, 0xF0 a lead byte at the end.
    EXPECT_EQ(u"\uFF8F\u30FB", Decode(codec, 0, bytes));
  }
  {
    ScopedEnv env({{"LC_ALL", "uk_UA.UTF-8"}});
    EXPECT_EQ(u"\u041F\u0440", Decode(codec, 0, bytes));
  }
  {
    ScopedEnv env({{"LC_ALL", "C"}, {"LC_MESSAGES", nullptr}, {"LANG", nullptr}});
    EXPECT_EQ(u"\u00CF\u00F0", Decode(codec, 0, bytes));
  }
  EXPECT_EQ(936u, IconvTextCodec::CodePageForLanguage("zh"));
  EXPECT_EQ(1251u, IconvTextCodec::CodePageForLanguage("mk"));
  EXPECT_EQ(1252u, IconvTextCodec::CodePageForLanguage("fr"));
  EXPECT_EQ(1252u, IconvTextCodec::CodePageForLanguage(""));
}

}  // namespace
}  // namespace deltrix::platform::posix
