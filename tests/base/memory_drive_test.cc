// The in-memory drive stands in for a card in most tests, so its stdio semantics are checked here.
#include "support/memory_drive.h"

#include <gtest/gtest.h>

namespace deltrix::testing {
namespace {

using platform::SeekFrom;

TEST(MemoryFileSystem, OpenModesFollowTheCRuntime) {
  MemoryFileSystem fs;
  EXPECT_EQ(nullptr, fs.Open(u"E:\\a.bin", "rb"));      // must exist
  EXPECT_EQ(nullptr, fs.Open(u"E:\\no\\a.bin", "wb"));  // folder must exist
  {
    auto f = fs.Open(u"E:\\a.bin", "w+b");
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(4u, f->Write("abcd", 4));
    ASSERT_TRUE(f->Seek(0, SeekFrom::Start));
    char buf[8] = {};
    EXPECT_EQ(4u, f->Read(buf, 8));
    EXPECT_TRUE(f->Close());
  }
  {
    auto f = fs.Open(u"e:\\A.BIN", "a+b");  // names compare without case
    ASSERT_NE(nullptr, f);
    ASSERT_TRUE(f->Seek(0, SeekFrom::Start));
    f->Write("Z", 1);  // appends whatever the position
  }
  const Bytes want = {'a', 'b', 'c', 'd', 'Z'};
  EXPECT_EQ(want, fs.Contents(u"E:\\a.bin"));
  {
    auto f = fs.Open(u"E:\\a.bin", "r+b");
    f->Write("Q", 1);
  }
  EXPECT_EQ('Q', fs.Contents(u"E:\\a.bin")[0]);
  auto ro = fs.Open(u"E:\\a.bin", "rb");
  EXPECT_EQ(0u, ro->Write("x", 1));
  EXPECT_EQ(3, fs.writeOpens());  // w+b, a+b and r+b count; rb does not
}

TEST(MemoryFileSystem, ListsInCreationOrderWithDotEntries) {
  MemoryFileSystem fs;
  fs.AddFile(u"E:\\Music\\b.mp3", "b");
  fs.AddFile(u"E:\\Music\\a.mp3", "a", platform::kAttrHidden);
  auto list = fs.List(u"E:\\Music\\*.*");
  ASSERT_NE(nullptr, list);
  platform::DirEntry e;
  std::vector<std::u16string> names;
  while (list->Next(&e)) names.push_back(e.name);
  EXPECT_EQ((std::vector<std::u16string>{u".", u"..", u"b.mp3", u"a.mp3"}), names);
  EXPECT_EQ(platform::kAttrHidden, fs.Attributes(u"E:\\\\Music\\a.mp3"));
  EXPECT_EQ(nullptr, fs.List(u"E:\\Nowhere"));
}

TEST(MemoryFileSystem, MoveRefusesAnExistingTargetAndCopyReplaces) {
  MemoryFileSystem fs;
  fs.AddFile(u"E:\\a", "1");
  fs.AddFile(u"E:\\b", "2");
  EXPECT_FALSE(fs.Move(u"E:\\a", u"E:\\b"));
  EXPECT_TRUE(fs.Copy(u"E:\\a", u"E:\\b"));
  EXPECT_EQ(Bytes{'1'}, fs.Contents(u"E:\\b"));
  EXPECT_TRUE(fs.RemoveFile(u"E:\\b"));
  EXPECT_TRUE(fs.Move(u"E:\\a", u"E:\\b"));
  EXPECT_FALSE(fs.Exists(u"E:\\a"));
}

TEST(MemoryFileSystem, FaultRuleFailsTheChosenCall) {
  MemoryFileSystem fs;
  fs.AddFile(u"E:\\a", "1");
  fs.SetFault([](std::string_view op, std::u16string_view) { return op == "copy"; });
  EXPECT_FALSE(fs.Copy(u"E:\\a", u"E:\\b"));
  EXPECT_FALSE(fs.Exists(u"E:\\b"));
}

}  // namespace
}  // namespace deltrix::testing
