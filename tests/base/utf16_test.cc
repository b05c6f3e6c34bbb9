#include "base/utf16.h"

#include <gtest/gtest.h>

namespace deltrix {
namespace {

TEST(Utf8Conversion, RoundTripsEveryPlane) {
  const std::u16string text = u"Caf\u00e9 \u65e5\u672c \U0001F3B5 /Music";
  EXPECT_EQ(text, FromUtf8(ToUtf8(text)));
  EXPECT_EQ("Caf\xc3\xa9", ToUtf8(u"Caf\u00e9"));
}

TEST(Utf8Conversion, MalformedInputBecomesReplacementCharacters) {
  struct Case {
    std::string in;
    std::u16string want;
  };
  const Case cases[] = {
      {"a\xff"
       "b",
       u"a\uFFFDb"},                // invalid lead byte
      {"a\xc3", u"a\uFFFD"},        // cut short at the end
      {"\xc0\xaf", u"\uFFFD"},      // overlong
      {"\xed\xa0\x80", u"\uFFFD"},  // encoded surrogate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(c.want, FromUtf8(c.in));
  }
  EXPECT_EQ("\xef\xbf\xbd", ToUtf8(std::u16string(1, char16_t(0xD800))));
}

TEST(CopyU16, CutsAtCapacityAndTerminates) {
  char16_t buf[4] = {u'x', u'x', u'x', u'x'};
  EXPECT_EQ(3u, CopyU16(u"abcdef", buf, 4));
  EXPECT_EQ(u"abc", std::u16string(buf));
  EXPECT_EQ(3u, U16Length(buf, 4));
}

}  // namespace
}  // namespace deltrix
