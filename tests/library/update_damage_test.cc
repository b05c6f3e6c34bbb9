// The updater against damaged libraries and failing file operations: a truncated, foreign or
// corrupt library fails with 3 before anything is written (the sanitizers watch the reads), and
// every failing step ends with its code and its trace record.
#include <gtest/gtest.h>

#include <functional>

#include "update_test_util.h"

namespace deltrix::library::testing {
namespace {

constexpr std::u16string_view kAddListPath = u"E:\\KORVANE\\LIBRARY\\ZRTA.LST";
constexpr std::u16string_view kRewritePath = u"E:\\KORVANE\\LIBRARY\\ZRTB.DB";

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A library of three tracks, and a drive on which one of its files is gone and two are new: an
// update that got past its open would write every library file.
void MakeChangedDrive(UpdateDrive& d) {
  d.Add(Track(u"Rock", u"X", u"A1", u"one", u"\\m\\1.mp3", 1));
  d.Add(Track(u"Pop", u"Y", u"B1", u"two", u"\\m\\2.mp3", 2));
  d.Add(Track(u"Pop", u"Z", u"B2", u"three", u"\\n\\3.mp3"));
  EXPECT_EQ(0, d.Create());
  d.Remove(u"\\m\\2.mp3");
  d.Add(Track(u"Jazz", u"W", u"C1", u"four", u"\\n\\4.mp3"));
  d.Add(Track(u"Jazz", u"W", u"C1", u"five", u"\\n\\5.mp3"));
}

struct Outcome {
  int code = 0;
  TraceRecord first;  // the first trace record, where the failure began
  TraceRecord last;
};

// The driver's steps, keeping the trace before the updater closes.
Outcome RunSteps(UpdateDrive& d, UpdaterOptions options = {}) {
  MergeOwner owner;
  CLibraryUpdater updater(d.fs, d, options);
  Outcome out;
  out.code = updater.Open(kRoot, owner);
  for (size_t i = 0; out.code == 0 && i < d.paths.size(); ++i) {
    const int r = updater.CheckFile(d.paths[i]);
    if (r != 0 && r != CannotOpenFile) out.code = r;
  }
  if (out.code == 0) out.code = updater.Merge(3);
  if (out.code == 0) out.code = updater.Finish();
  if (const LibraryContext* ctx = updater.context(); ctx != nullptr && ctx->traceCount > 0) {
    out.first = ctx->trace[0];
    out.last = ctx->trace[ctx->traceCount - 1];
  }
  updater.Close();
  return out;
}

// Offset of the data of string `s` in record 0 of a track list.
size_t ChunkOfRecord0(const std::vector<uint8_t>& b, int s) {
  size_t at = 16 + 48;
  for (int i = 0; i < s; ++i) at += Le32At(b, at + 8);
  return at;
}

TEST(UpdateDamage, ADamagedLibraryFailsWithThreeAndIsLeftAsItWas) {
  struct Case {
    const char* what;
    std::u16string_view file;
    std::function<void(std::vector<uint8_t>&)> edit;
    uint32_t site;
    uint32_t step;
  };
  // ZRTL.DB: header 16, record 0 at 16 (its chunks from 64). ZRBL.DB: block 0 at 16, its track
  // list head at 36 with the indexes from 56.
  const Case cases[] = {
      {"count above 150000", kTrackListPath, [](auto& b) { Put32(b, 12, 150001); },
       kSiteUpdateIndex, 3},
      {"count above the records", kTrackListPath, [](auto& b) { Put32(b, 12, 4); },
       kSiteUpdateIndex, 7},
      {"count below the records", kTrackListPath, [](auto& b) { Put32(b, 12, 2); },
       kSiteUpdateIndex, 3},
      {"length not the file's", kTrackListPath, [](auto& b) { Put32(b, 8, Le32At(b, 8) + 4); },
       kSiteUpdateIndex, 3},
      {"bytes after the records", kTrackListPath,
       [](auto& b) {
         b.insert(b.end(), 8, 0);
         Put32(b, 8, static_cast<uint32_t>(b.size()));
       },
       kSiteUpdateIndex, 3},
      {"head length past the file", kTrackListPath, [](auto& b) { Put32(b, 4, 0xFFFFFFF0); },
       kSiteUpdateIndex, 3},
      {"not a track list", kTrackListPath, [](auto& b) { b[0] = 'x'; }, kSiteUpdateIndex, 3},
      {"record tag", kTrackListPath, [](auto& b) { b[16] = 'x'; }, kSiteUpdateIndex, 7},
      {"record length inside its head", kTrackListPath, [](auto& b) { Put32(b, 16 + 8, 20); },
       kSiteUpdateIndex, 7},
      {"record length past the file", kTrackListPath, [](auto& b) { Put32(b, 16 + 8, 0x10000); },
       kSiteUpdateIndex, 7},
      {"chunk length past its record", kTrackListPath, [](auto& b) { Put32(b, 64 + 8, 0xFFFF); },
       kSiteUpdateIndex, 7},
      {"data length past its chunk", kTrackListPath, [](auto& b) { Put32(b, 64 + 20, 400); },
       kSiteUpdateIndex, 7},
      {"chunks out of order", kTrackListPath, [](auto& b) { Put32(b, 64 + 12, 1); },
       kSiteUpdateIndex, 7},
      {"path chunk missing", kTrackListPath, [](auto& b) { b[ChunkOfRecord0(b, kPath)] = 'x'; },
       kSiteUpdateIndex, 8},
      {"a track list of other bytes", kTrackListPath,
       [](auto& b) {
         for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 37 + 11);
       },
       kSiteUpdateIndex, 3},
      {"a list longer than the library", kBrowsePath,
       [](auto& b) {
         // One more index in key 0's track list, every length that frames it grown to match.
         b.insert(b.begin() + 56 + 12, {0, 0, 0, 0});
         Put32(b, 36 + 16, 4);
         Put32(b, 36 + 8, Le32At(b, 36 + 8) + 4);
         Put32(b, 16 + 8, Le32At(b, 16 + 8) + 4);
         Put32(b, 8, Le32At(b, 8) + 4);
       },
       kSiteReadBrowseList, 5},
      {"a list naming a track twice", kBrowsePath, [](auto& b) { Put32(b, 60, Le32At(b, 56)); },
       kSiteReadBrowseList, 5},
      {"a list naming no such track", kBrowsePath, [](auto& b) { Put32(b, 56, 7); },
       kSiteReadBrowseList, 5},
      {"a list past its block", kBrowsePath, [](auto& b) { Put32(b, 36 + 8, 0xFFFFFFF0); },
       kSiteReadBrowseList, 4},
      {"not a browse list", kBrowsePath, [](auto& b) { b[3] = 'x'; }, kSiteReadBrowseList, 2},
      {"summary cut in its header", kSummaryPath, [](auto& b) { b.resize(20); }, kSiteReadSummary,
       2},
      {"summary cut in its statistics", kSummaryPath, [](auto& b) { b.resize(200); },
       kSiteReadStats, 1},
      {"next id not above every id", kSummaryPath, [](auto& b) { Put32(b, 24, 2); },
       kSiteReadSummary, 3},
      {"next id without room", kSummaryPath, [](auto& b) { Put32(b, 24, 0x7FFFFFF0); },
       kSiteReadSummary, 3},
      {"negative next id", kSummaryPath, [](auto& b) { Put32(b, 24, 0x80000000); },
       kSiteReadSummary, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UpdateDrive d;
    MakeChangedDrive(d);
    std::vector<uint8_t> bytes = d.fs.Contents(c.file);
    c.edit(bytes);
    d.fs.AddFile(c.file, bytes);
    const LibraryFiles before = FilesOf(d.fs);
    const Outcome out = RunSteps(d);
    EXPECT_EQ(CreateDataFailed, out.code);
    EXPECT_EQ(c.site, out.first.site);
    EXPECT_EQ(c.step, out.first.step);
    EXPECT_TRUE(before == FilesOf(d.fs));
    EXPECT_FALSE(d.fs.Exists(kAddListPath));
    EXPECT_FALSE(d.fs.Exists(kRewritePath));
    EXPECT_EQ(0, d.reads);
  }
}

TEST(UpdateDamage, WhatTheCheckFindsTheUpdateRefuses) {
  struct Case {
    const char* what;
    std::u16string_view file;
    std::function<void(std::vector<uint8_t>&)> edit;
    uint32_t site;
    uint32_t step;
  };
  // ZRTL.DB: record 0 at 16, its chunks from 64 (ChunkOfRecord0), record 1 at 236. ZRBL.DB: block 0
  // at 16, its track list head at 36, its genre group list head at 68 with its rows from 88.
  // ZRDB.DB: the title's statistics entry at 264, the list directory's entries from 424.
  const auto chunk = [](std::vector<uint8_t>& b, int s, size_t field, uint32_t v) {
    Put32(b, ChunkOfRecord0(b, s) + field, v);
  };
  UpdateDrive other;  // a library of five tracks
  for (int i = 0; i < 5; ++i) {
    const std::u16string n(1, static_cast<char16_t>(u'a' + i));
    other.Add(Track(u"Pop", u"V" + n, u"W" + n, n, u"\\o\\" + n + u".mp3"));
  }
  ASSERT_EQ(0, other.Create());
  const std::vector<uint8_t> otherSummary = other.fs.Contents(kSummaryPath);
  const Case cases[] = {
      {"a string chunk's head length", kTrackListPath, [&](auto& b) { chunk(b, 0, 4, 0x7FFFFFFF); },
       kSiteUpdateIndex, 7},
      {"a record's head length", kTrackListPath, [](auto& b) { Put32(b, 16 + 4, 52); },
       kSiteUpdateIndex, 7},
      {"a record's chunk count", kTrackListPath, [](auto& b) { Put32(b, 16 + 12, 6); },
       kSiteUpdateIndex, 7},
      {"a record's track index", kTrackListPath, [](auto& b) { Put32(b, 16 + 20, 1); },
       kSiteUpdateIndex, 7},
      {"reserved bytes of a record", kTrackListPath, [](auto& b) { b[16 + 18] = 1; },
       kSiteUpdateIndex, 7},
      {"a string without its terminator", kTrackListPath,
       [](auto& b) {
         b[ChunkOfRecord0(b, kGenre) + 24 + 8] = 'x';
         b[ChunkOfRecord0(b, kGenre) + 24 + 10] = 'y';
       },
       kSiteUpdateIndex, 7},
      {"non-zero padding", kTrackListPath,
       [](auto& b) { b[ChunkOfRecord0(b, kGenre) + 24 + 11] = 1; }, kSiteUpdateIndex, 7},
      {"a group number on the title", kTrackListPath, [&](auto& b) { chunk(b, kTitle, 16, 1); },
       kSiteUpdateIndex, 7},
      {"a backslash in a path", kTrackListPath,
       [](auto& b) { b[ChunkOfRecord0(b, kPath) + 24 + 2] = '\\'; }, kSiteUpdateIndex, 7},
      {"a group number never written", kTrackListPath,
       [&](auto& b) { chunk(b, kArtist, 16, kGroupNumberUnset); }, kSiteUpdateIndex, 7},
      {"a track id given twice", kTrackListPath, [](auto& b) { Put32(b, 236 + 24, Le32At(b, 40)); },
       kSiteUpdateIndex, 9},
      {"a group number out of its list's count", kTrackListPath,
       [&](auto& b) { chunk(b, kGenre, 16, 5); }, kSiteReadBrowseList, 6},
      {"a block for another key", kBrowsePath, [](auto& b) { Put32(b, 16 + 16, 1); },
       kSiteReadBrowseList, 3},
      {"a track list of another attribute", kBrowsePath, [](auto& b) { b[36 + 13] = 2; },
       kSiteReadBrowseList, 4},
      {"a group's first child", kBrowsePath, [](auto& b) { Put32(b, 88 + 4, 5); },
       kSiteReadBrowseList, 7},
      {"a group's count of sub-groups", kBrowsePath, [](auto& b) { Put32(b, 88 + 8, 1); },
       kSiteReadBrowseList, 7},
      {"bytes after the last block", kBrowsePath,
       [](auto& b) {
         b.insert(b.end(), 4, 0);
         Put32(b, 8, static_cast<uint32_t>(b.size()));
       },
       kSiteReadBrowseList, 2},
      {"a title count", kSummaryPath, [](auto& b) { Put32(b, 264 + 16, 4); }, kSiteReadSummary, 4},
      {"a title total", kSummaryPath, [](auto& b) { Put32(b, 264 + 44, 2); }, kSiteReadSummary, 4},
      {"a directory entry's count", kSummaryPath, [](auto& b) { Put32(b, 424 + 20, 9); },
       kSiteReadSummary, 4},
      {"a summary taken from another library", kSummaryPath, [&](auto& b) { b = otherSummary; },
       kSiteReadSummary, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UpdateDrive d;
    MakeChangedDrive(d);
    std::vector<uint8_t> bytes = d.fs.Contents(c.file);
    c.edit(bytes);
    d.fs.AddFile(c.file, bytes);
    EXPECT_FALSE(CheckLibrary(d.fs, kRoot, nullptr)) << "the check finds it";
    const LibraryFiles before = FilesOf(d.fs);
    const Outcome out = RunSteps(d);
    EXPECT_EQ(CreateDataFailed, out.code);
    EXPECT_EQ(c.site, out.first.site);
    EXPECT_EQ(c.step, out.first.step);
    EXPECT_TRUE(before == FilesOf(d.fs));
    EXPECT_FALSE(d.fs.Exists(kAddListPath));
    EXPECT_EQ(0, d.reads);
  }
  // Nothing changed on the drive: the update still refuses, and still writes nothing.
  UpdateDrive d;
  MakeChangedDrive(d);
  std::vector<uint8_t> bytes = d.fs.Contents(kTrackListPath);
  chunk(bytes, 0, 4, 0x7FFFFFFF);
  d.fs.AddFile(kTrackListPath, bytes);
  d.Remove(u"\\n\\4.mp3");
  d.Remove(u"\\n\\5.mp3");
  d.Add(Track(u"Pop", u"Y", u"B1", u"two", u"\\m\\2.mp3", 2));
  const size_t mutations = d.fs.mutations().size();
  EXPECT_EQ(CreateDataFailed, RunSteps(d).code);
  EXPECT_EQ(mutations, d.fs.mutations().size());
}

TEST(UpdateDamage, EveryTruncationAndMissingFileFailsCleanly) {
  UpdateDrive good;
  MakeChangedDrive(good);
  for (std::u16string_view file : {kTrackListPath, kBrowsePath, kSummaryPath}) {
    const std::vector<uint8_t> whole = good.fs.Contents(file);
    // The summary's list directory is not read: only cuts before it matter.
    const size_t end = file == kSummaryPath ? 32 + 376 + 16 + 224 : whole.size();
    for (size_t keep = 0; keep < end; keep += (keep < 32 ? 1 : 11)) {
      SCOPED_TRACE(std::to_string(keep) + " bytes of " + std::string(file.end() - 7, file.end()));
      UpdateDrive d;
      d.CopyFrom(good);
      d.fs.AddFile(
          file, std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(keep)));
      const LibraryFiles before = FilesOf(d.fs);
      ASSERT_EQ(CreateDataFailed, RunSteps(d).code);
      ASSERT_TRUE(before == FilesOf(d.fs));
    }
    UpdateDrive d;
    d.CopyFrom(good);
    ASSERT_TRUE(d.fs.RemoveFile(file));
    EXPECT_EQ(CreateDataFailed, RunSteps(d).code);
  }
}

// A step that cannot read the library is a data error (3); one that cannot write is a write error
// (4), as a full card gives it.
TEST(UpdateDamage, EachFailingStepEndsWithItsCodeAndTrace) {
  struct Case {
    const char* op;
    const char16_t* file;
    int nth;          // the nth such call on the file fails
    bool addNothing;  // the drive only lost a file
    int code;
    uint32_t site;
    uint32_t step;
  };
  // Opens of ZRTL.DB when files are removed and added: index, check, rewrite, four final merges,
  // append, header, patch. When files are only removed: index, check, rewrite, three numberings.
  const Case cases[] = {
      {"open", u"ZRTL.DB", 1, false, 3, kSiteUpdateIndex, 1},
      {"open", u"ZRTA.LST", 1, false, 4, kSiteAddListCreate, 1},
      {"open", u"ZRBL.DB", 1, false, 3, kSiteReadBrowseList, 1},
      {"open", u"ZRDB.DB", 1, false, 3, kSiteReadSummary, 1},
      {"open", u"ZRTL.DB", 2, false, 3, kSiteCheckOpen, 1},
      {"read", u"ZRTL.DB", 3, false, 3, kSiteCheckOpen, 2},
      {"write", u"ZRTA.LST", 1, false, 4, kSiteAppendAddList, 2},
      {"close", u"ZRTA.LST", 1, false, 4, kSiteAppendAddList, 2},
      {"open", u"ZRTL.DB", 3, false, 3, kSiteRewrite, 1},
      {"open", u"ZRTB.DB", 1, false, 4, kSiteRewrite, 3},
      {"write", u"ZRTB.DB", 1, false, 4, kSiteRewrite, 40},
      {"write", u"ZRTB.DB", 2, false, 4, kSiteRewrite, 9},
      {"seek", u"ZRTB.DB", 1, false, 4, kSiteRewrite, 10},
      {"close", u"ZRTB.DB", 1, false, 4, kSiteRewrite, 12},
      {"replace", u"ZRTB.DB", 1, false, 4, kSiteRewrite, 12},
      {"open", u"ZRTA.LST", 2, false, 3, kSiteReadAddList, 1},
      {"open", u"ZRTL.DB", 4, false, 3, kSiteReadRecord, 1},
      {"open", u"ZRTL.DB", 8, false, 4, kSiteWriteTrackList, 6},
      {"open", u"ZRTL.DB", 10, false, 3, kSitePatch, 1},
      {"open", u"ZRBL.DB", 2, false, 4, kSiteWriteBrowseList, 1},
      {"open", u"ZRDB.DB", 2, false, 4, kSiteWriteSummary, 1},
      {"open", u"ZRTL.DB", 4, true, 3, kSiteRebuild, 1},
      {"open", u"ZRTL.DB", 7, true, 3, kSitePatch, 1},
      {"open", u"ZRTL.DB", 11, false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.op) + " " + std::to_string(c.nth) + " " +
                 std::string(c.file, c.file + 7) + (c.addNothing ? " (nothing added)" : ""));
    UpdateDrive d;
    MakeChangedDrive(d);
    if (c.addNothing) {
      d.Remove(u"\\n\\4.mp3");
      d.Remove(u"\\n\\5.mp3");
    }
    int seen = 0;
    const std::u16string file = c.file;
    d.fs.SetFault([&](std::string_view op, std::u16string_view path) {
      return op == c.op && path.ends_with(file) && ++seen == c.nth;
    });
    const Outcome out = RunSteps(d);
    EXPECT_EQ(c.code, out.code);
    EXPECT_EQ(c.site, out.last.site);
    EXPECT_EQ(c.step, out.last.step);
    EXPECT_FALSE(d.fs.Exists(kRewritePath)) << "a failed rewrite deletes ZRTB.DB";
    EXPECT_TRUE(d.fs.Exists(kTrackListPath)) << "there is a track list at every moment";
    d.fs.SetFault(nullptr);
    EXPECT_FALSE(d.fs.Exists(kAddListPath));
  }
}

}  // namespace
}  // namespace deltrix::library::testing
