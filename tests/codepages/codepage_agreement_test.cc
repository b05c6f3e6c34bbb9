// The POSIX codec decodes every byte and byte pair of the player's code pages as Windows does: its
// answers, written by codepage_dump under Wine (scripts/test_windows.sh writes them again and
// compares), are in data/windows_codepages.txt.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "codepages/codepage_table.h"
#include "platform/posix/iconv_text_codec.h"

namespace deltrix::codepages {
namespace {

TEST(CodePageAgreement, ThePosixCodecDecodesAsWindows) {
  std::ifstream in(DELTRIX_TEST_DATA "/windows_codepages.txt", std::ios::binary);
  ASSERT_TRUE(in);
  std::stringstream windows;
  windows << in.rdbuf();
  platform::posix::IconvTextCodec codec;
  std::istringstream want(windows.str());
  std::istringstream got(CodePageTable(codec));
  std::string w, g;
  int differing = 0;
  while (std::getline(want, w)) {
    ASSERT_TRUE(std::getline(got, g));
    ASSERT_EQ(w.substr(0, w.find(':')), g.substr(0, g.find(':')));
    // Compare input by input, so a failure names the bytes.
    std::istringstream ws(w.substr(w.find(':') + 1)), gs(g.substr(g.find(':') + 1));
    std::string wu, gu;
    for (int second = 1; ws >> wu; ++second) {
      gs >> gu;
      if (wu != gu && ++differing <= 20) {
        ADD_FAILURE() << w.substr(0, w.find(':')) << " then " << second << ": Windows " << wu
                      << ", POSIX " << gu;
      }
    }
  }
  EXPECT_FALSE(std::getline(got, g));
  EXPECT_EQ(0, differing);
}

}  // namespace
}  // namespace deltrix::codepages
