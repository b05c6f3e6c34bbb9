// The dry run's file system: the same calls made on a card directly and through the overlay on an
// identical card must leave the card seen through the overlay exactly as the direct calls left
// theirs, while the card under the overlay is never changed.
#include "run/dry_run_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "support/memory_drive.h"

namespace deltrix::run {
namespace {

using platform::FileSystem;
using testing::Bytes;
using testing::MemoryFileSystem;

std::string ReadAll(FileSystem& files, std::u16string_view path) {
  auto f = files.Open(path, "rb");
  if (!f) return "<none>";
  std::string out;
  char buf[5];  // several reads per file
  for (size_t n; (n = f->Read(buf, sizeof buf)) > 0;) out.append(buf, n);
  return out;
}

// Everything a caller can see of a drive through the interface: every entry below the root with
// its attributes and, for a file, its bytes; listings sorted by name.
std::map<std::string, std::string> View(FileSystem& files, const std::u16string& folder = u"E:\\") {
  std::map<std::string, std::string> seen;
  auto listing = files.List(folder + u"*.*");
  if (!listing) return {{ToUtf8(folder), "<unlistable>"}};
  platform::DirEntry entry;
  std::vector<platform::DirEntry> entries;
  while (listing->Next(&entry)) {
    if (entry.name != u"." && entry.name != u"..") entries.push_back(entry);
  }
  for (const platform::DirEntry& e : entries) {
    const std::u16string path = folder + e.name;
    std::string what =
        "attr " + std::to_string(e.attributes) + " / " + std::to_string(files.Attributes(path));
    if ((e.attributes & platform::kAttrDirectory) != 0) {
      for (auto& [k, v] : View(files, path + u"\\")) seen[k] = v;
    } else {
      what += " " + ReadAll(files, path);
    }
    seen[ToUtf8(path)] = what;
  }
  return seen;
}

// A card with a library, a backup folder and music.
void FillCard(MemoryFileSystem& card) {
  card.AddFile(u"E:\\Music\\a.mp3", "song a");
  card.AddFile(u"E:\\Music\\b.mp3", "song b", platform::kAttrReadOnly);
  card.AddFile(u"E:\\KORVANE\\LIBRARY\\ZRTL.DB", "tracks-0123456789");
  card.AddFile(u"E:\\KORVANE\\LIBRARY\\ZRBL.DB", "lists");
  card.AddFile(u"E:\\KORVANE\\LIBRARY\\ZRDB.DB", "summary");
  card.AddFolder(u"E:\\Empty");
}

size_t Put(FileSystem& files, std::u16string_view path, const char* mode, std::string_view s,
           int64_t at = -1) {
  auto f = files.Open(path, mode);
  if (!f) return 0;
  if (at >= 0 && !f->Seek(at, platform::SeekFrom::Start)) return 0;
  const size_t n = f->Write(s.data(), s.size());
  return f->Close() ? n : 0;
}

// Each script makes calls and returns their results, which must agree too.
using Script = std::function<std::vector<std::string>(FileSystem&)>;
std::string B(bool ok) { return ok ? "ok" : "failed"; }

TEST(DryRunFileSystem, ShowsEveryChangeAsTheCardWouldAndLeavesTheCardAsItWas) {
  const std::u16string lib = u"E:\\KORVANE\\LIBRARY\\";
  struct Case {
    const char* what;
    Script script;
  };
  const Case cases[] = {
      {"a backup taken, the library rewritten, the backup deleted",
       [&](FileSystem& f) {
         std::vector<std::string> r;
         for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}) {
           r.push_back(B(f.Copy(lib + name, std::u16string(u"E:\\KORVANE\\") + name + u".bak")));
         }
         r.push_back(std::to_string(Put(f, lib + u"ZRTL.DB", "w+b", "new tracks")));
         r.push_back(std::to_string(Put(f, lib + u"ZRTL.DB", "a+b", " more")));
         r.push_back(std::to_string(Put(f, lib + u"ZRTL.DB", "r+b", "NEW", 0)));
         r.push_back(std::to_string(Put(f, lib + u"ZRDB.DB", "wb", "")));
         r.push_back(ReadAll(f, u"E:\\KORVANE\\ZRTL.DB.bak"));
         r.push_back(B(f.RemoveFile(u"E:\\KORVANE\\ZRBL.DB.bak")));
         r.push_back(B(f.RemoveFile(u"E:\\KORVANE\\ZRBL.DB.bak")));  // gone already
         return r;
       }},
      {"a restore: the folder emptied and the copies put back",
       [&](FileSystem& f) {
         std::vector<std::string> r;
         r.push_back(B(f.Copy(lib + u"ZRTL.DB", u"E:\\KORVANE\\ZRTL.DB.bak")));
         r.push_back(std::to_string(Put(f, lib + u"ZRTL.DB", "r+b", "XX", 3)));
         r.push_back(B(f.RemoveFile(lib + u"ZRTL.DB")));
         r.push_back(ReadAll(f, lib + u"ZRTL.DB"));
         r.push_back(B(f.Copy(u"E:\\KORVANE\\ZRTL.DB.bak", lib + u"ZRTL.DB")));
         r.push_back(B(f.RemoveFile(u"E:\\KORVANE\\ZRTL.DB.bak")));
         return r;
       }},
      {"an update's temporary files, replaced and deleted",
       [&](FileSystem& f) {
         std::vector<std::string> r;
         r.push_back(std::to_string(Put(f, lib + u"ZRTA.LST", "a+b", "queued")));
         r.push_back(std::to_string(Put(f, lib + u"ZRTB.DB", "w+b", "rewritten")));
         r.push_back(B(f.Replace(lib + u"ZRTB.DB", lib + u"ZRTL.DB")));
         r.push_back(B(f.Replace(lib + u"ZRTB.DB", lib + u"ZRTL.DB")));  // moved away already
         r.push_back(B(f.RemoveFile(lib + u"ZRTA.LST")));
         r.push_back(B(f.Replace(u"E:\\Music\\a.mp3", u"E:\\Music\\c.mp3")));
         return r;
       }},
      {"folders made, attributes set, moves",
       [&](FileSystem& f) {
         std::vector<std::string> r;
         r.push_back(B(f.MakeFolder(u"E:\\New")));
         r.push_back(B(f.MakeFolder(u"E:\\New")));       // exists
         r.push_back(B(f.MakeFolder(u"E:\\Music")));     // exists on the card
         r.push_back(B(f.MakeFolder(u"E:\\No\\Such")));  // no parent
         r.push_back(std::to_string(Put(f, u"E:\\New\\x.db", "w+b", "x")));
         r.push_back(std::to_string(Put(f, u"E:\\None\\x.db", "w+b", "x")));  // no folder
         r.push_back(B(f.SetAttributes(u"E:\\New", platform::kAttrHidden)));
         r.push_back(B(f.SetAttributes(u"E:\\Music\\a.mp3", platform::kAttrHidden)));
         r.push_back(B(f.SetAttributes(u"E:\\Music", platform::kAttrSystem)));
         r.push_back(B(f.SetAttributes(u"E:\\nothing", platform::kAttrHidden)));
         r.push_back(B(f.Move(u"E:\\Music\\a.mp3", u"E:\\New\\a.mp3")));
         r.push_back(B(f.Move(u"E:\\Music\\b.mp3", u"E:\\New\\x.db")));   // target exists
         r.push_back(B(f.Move(u"E:\\Music\\a.mp3", u"E:\\New\\z.mp3")));  // moved already
         r.push_back(B(f.RemoveFile(u"E:\\Music")));                      // a folder
         r.push_back(B(f.Copy(u"E:\\Music\\b.mp3", u"E:\\Empty")));       // onto a folder
         return r;
       }},
      {"opens that must fail",
       [&](FileSystem& f) {
         std::vector<std::string> r;
         r.push_back(B(f.Open(u"E:\\Music", "w+b") != nullptr));
         r.push_back(B(f.Open(u"E:\\Music\\none.mp3", "r+b") != nullptr));
         r.push_back(B(f.Open(u"E:\\Music\\none.mp3", "rb") != nullptr));
         r.push_back(B(f.RemoveFile(u"E:\\Music\\a.mp3")));
         r.push_back(B(f.Open(u"E:\\Music\\a.mp3", "rb") != nullptr));
         r.push_back(B(f.Open(u"E:\\Music\\a.mp3", "r+b") != nullptr));
         r.push_back(std::to_string(Put(f, u"E:\\Music\\a.mp3", "a+b", "again")));
         return r;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem direct, card;
    FillCard(direct);
    FillCard(card);
    const auto cardBefore = View(card);
    DryRunFileSystem overlay(card);
    EXPECT_EQ(c.script(direct), c.script(overlay));
    EXPECT_EQ(View(direct), View(overlay));
    EXPECT_EQ(cardBefore, View(card));
    EXPECT_TRUE(card.mutations().empty()) << card.mutations().front();
    EXPECT_TRUE(overlay.changed());
  }
}

TEST(DryRunFileSystem, ReadsPassThroughUntilSomethingChanges) {
  MemoryFileSystem card;
  FillCard(card);
  DryRunFileSystem overlay(card);
  EXPECT_EQ("song a", ReadAll(overlay, u"E:\\music\\A.MP3")) << "names compare as the card's do";
  EXPECT_EQ(View(card), View(overlay));
  EXPECT_FALSE(overlay.changed());
  // A write that fails changes nothing either.
  EXPECT_EQ(nullptr, overlay.Open(u"E:\\Nowhere\\x.db", "w+b"));
  EXPECT_FALSE(overlay.changed());
}

TEST(DryRunFileSystem, AFolderTheCardCannotListCannotBeListedThroughIt) {
  MemoryFileSystem card;
  FillCard(card);
  card.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "list" && path.find(u"KORVANE") != std::u16string_view::npos;
  });
  DryRunFileSystem overlay(card);
  EXPECT_EQ(nullptr, overlay.List(u"E:\\KORVANE\\LIBRARY\\*.*"));
  ASSERT_EQ(1u, Put(overlay, u"E:\\KORVANE\\LIBRARY\\ZRTA.LST", "w+b", "x"));
  EXPECT_EQ(nullptr, overlay.List(u"E:\\KORVANE\\LIBRARY\\*.*")) << "changed or not";
  EXPECT_EQ("x", ReadAll(overlay, u"E:\\KORVANE\\LIBRARY\\ZRTA.LST"));
}

}  // namespace
}  // namespace deltrix::run
