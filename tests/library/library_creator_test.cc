// Whole create runs over an in-memory drive: batches, the order of equal keys, group numbers, more
// genres than get a number, the owner's answers and every failing step's code.
#include "library/library_creator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "base/utf16.h"
#include "library/library_check.h"
#include "library/library_files.h"
#include "library/library_reader.h"
#include "library_test_util.h"

namespace deltrix::library::testing {
namespace {

LibraryImage ReadImage(MemoryFileSystem& fs) {
  LibraryImage image;
  std::vector<std::string> problems;
  EXPECT_TRUE(ReadLibraryImage(fs, kRoot, &image, &problems))
      << (problems.empty() ? "" : problems[0]);
  return image;
}

void ExpectSound(MemoryFileSystem& fs) {
  std::vector<std::string> problems;
  EXPECT_TRUE(CheckLibrary(fs, kRoot, &problems));
  for (const std::string& p : problems) ADD_FAILURE() << p;
}

std::u16string Name(const char* prefix, int i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%04d", prefix, i);
  return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

// Titles of the tracks in the order of `key`'s list.
std::vector<std::u16string> TitlesInOrder(const LibraryImage& image, int key) {
  std::vector<std::u16string> titles;
  for (uint32_t t : image.blocks[key].lists[0].tracks)
    titles.push_back(image.tracks[t].text[kTitle]);
  return titles;
}

// A pool that fits exactly one entry of the tracks below per batch (60-byte entries).
constexpr size_t kOneEntryPool = 930 + 60;
TestTrack Same(std::u16string path) { return Track(u"", u"", u"", u"Same", std::move(path)); }

TEST(LibraryCreator, EqualKeysKeepTheQuicksortOrderWithinABatch) {
  MemoryFileSystem fs;
  ASSERT_EQ(0, CreateLibrary(fs, {Same(u"\\a.mp3"), Same(u"\\b.mp3"), Same(u"\\c.mp3")}));
  const LibraryImage image = ReadImage(fs);
  // Not the order of addition: the partition swaps equal entries.
  for (int key = 0; key < 4; ++key)
    EXPECT_EQ((std::vector<uint32_t>{2, 0, 1}), image.blocks[key].lists[0].tracks);
  ExpectSound(fs);
}

TEST(LibraryCreator, ANewTrackGoesBeforeAnEqualWrittenOne) {
  MemoryFileSystem fs;
  ASSERT_EQ(0, CreateLibrary(fs, {Same(u"\\a.mp3"), Same(u"\\b.mp3"), Same(u"\\c.mp3")},
                             SmallBatches(kOneEntryPool)));
  const LibraryImage image = ReadImage(fs);
  for (int key = 0; key < 4; ++key)
    EXPECT_EQ((std::vector<uint32_t>{2, 1, 0}), image.blocks[key].lists[0].tracks);
  ExpectSound(fs);
}

TEST(LibraryCreator, OrdersArtistsTitlesAndEmptyValuesAsThePlayer) {
  MemoryFileSystem fs;
  std::vector<TestTrack> tracks = {
      Track(u"Rock", u"Yes", u"Fragile", u"Roundabout", u"\\1.mp3", 1),
      Track(u"Rock", u"The Who", u"Tommy", u"Overture", u"\\2.mp3", 1),
      Track(u"", u"", u"", u"No Tags", u"\\3.mp3"),
      Track(u"Rock", u"Theatre", u"Act", u"Scene", u"\\4.mp3", 2),
      Track(u"rock", u"the Who", u"Tommy", u"Amazing Journey", u"\\5.mp3", 3),
      Track(u"Rock", u"The Who", u"Tommy", u"It's a Boy", u"\\6.mp3"),
      Track(u"Pop", u"ABBA", u"\uff27old", u"Waterloo", u"\\7.mp3", 5),
  };
  ASSERT_EQ(0, CreateLibrary(fs, tracks));
  const LibraryImage image = ReadImage(fs);
  using V = std::vector<std::u16string>;
  EXPECT_EQ((V{u"Waterloo", u"Scene", u"Overture", u"Amazing Journey", u"It's a Boy", u"Roundabout",
               u"No Tags"}),
            TitlesInOrder(image, kGenre));
  EXPECT_EQ((V{u"Waterloo", u"Scene", u"Overture", u"Amazing Journey", u"It's a Boy", u"Roundabout",
               u"No Tags"}),
            TitlesInOrder(image, kArtist));
  EXPECT_EQ((V{u"Scene", u"Roundabout", u"Waterloo", u"Overture", u"Amazing Journey", u"It's a Boy",
               u"No Tags"}),
            TitlesInOrder(image, kAlbum));
  EXPECT_EQ((V{u"Amazing Journey", u"It's a Boy", u"No Tags", u"Overture", u"Roundabout", u"Scene",
               u"Waterloo"}),
            TitlesInOrder(image, kTitle));
  // "Rock" and "rock" are one genre, "The Who" and "the Who" one artist.
  EXPECT_EQ(3u, image.stats[kGenre].count);
  EXPECT_EQ(5u, image.stats[kArtist].count);
  EXPECT_EQ(5u, image.stats[kAlbum].count);
  ExpectSound(fs);
}

TEST(LibraryCreator, TwoAlbumsOfOneNameAreTwoGroupsUnderTheirArtistsButOneAlbum) {
  MemoryFileSystem fs;
  ASSERT_EQ(0, CreateLibrary(fs, {Track(u"Pop", u"A", u"Greatest Hits", u"x", u"\\1.mp3"),
                                  Track(u"Pop", u"B", u"Greatest Hits", u"y", u"\\2.mp3")}));
  const LibraryImage image = ReadImage(fs);
  EXPECT_EQ(2u, image.blocks[kArtist].lists[2].groups.size());  // album in artist
  EXPECT_EQ(1u, image.blocks[kAlbum].lists[1].groups.size());   // album
  EXPECT_EQ(2u, image.blocks[kAlbum].lists[1].groups[0].count);
  ExpectSound(fs);
}

TEST(LibraryCreator, BatchesWrittenBeforeTheFinalPassGetTheirFinalGroupNumbers) {
  MemoryFileSystem fs;
  std::vector<TestTrack> tracks;
  for (int i = 0; i < 23; ++i) {
    tracks.push_back(Track(Name("G", i % 3), Name("A", i % 5), Name("L", i % 7), Name("T", i),
                           Name("\\m\\", i), 1));
  }
  TestOwner owner;
  ASSERT_EQ(0, CreateLibrary(fs, tracks, SmallBatches(), &owner));
  // Several batches: each full one was written with the mark set around it.
  ASSERT_GE(owner.marks.size(), 4u);
  for (size_t i = 0; i < owner.marks.size(); ++i) EXPECT_EQ(i % 2 == 0, owner.marks[i]) << i;

  const LibraryImage image = ReadImage(fs);
  ASSERT_EQ(23u, image.tracks.size());
  for (uint32_t t = 0; t < 23; ++t) {
    EXPECT_EQ(static_cast<uint32_t>(t % 3), image.tracks[t].groupNumber[0]) << t;
    EXPECT_EQ(static_cast<uint32_t>(t % 5), image.tracks[t].groupNumber[1]) << t;
    EXPECT_EQ(static_cast<uint32_t>(t % 7), image.tracks[t].groupNumber[2]) << t;
    EXPECT_EQ(t, image.tracks[t].id);
  }
  EXPECT_EQ(23u, image.nextTrackId);
  // The batches were gathered off the drive: each library file was opened for writing once.
  EXPECT_EQ(1, fs.scratchOpens());
  std::vector<std::string> opens;
  for (const std::string& m : fs.mutations()) {
    if (m.rfind("open ", 0) == 0) opens.push_back(m);
  }
  EXPECT_EQ((std::vector<std::string>{"open wb E:\\KORVANE\\LIBRARY\\ZRTL.DB",
                                      "open w+b E:\\KORVANE\\LIBRARY\\ZRBL.DB",
                                      "open wb E:\\KORVANE\\LIBRARY\\ZRDB.DB"}),
            opens);
  ExpectSound(fs);

  // The same tracks in one batch make the same library, statistics included.
  MemoryFileSystem one;
  ASSERT_EQ(0, CreateLibrary(one, tracks));
  EXPECT_EQ(one.Contents(kSummaryPath), fs.Contents(kSummaryPath));
}

TEST(LibraryCreator, ALastTrackThatFillsTheBatchLeavesAnEmptyFinalPass) {
  MemoryFileSystem fs;
  TestOwner owner;
  // Two tracks, one per batch: the second add writes its batch, so the final pass has no entries
  // and numbers the written tracks alone.
  ASSERT_EQ(0, CreateLibrary(fs,
                             {Track(u"", u"", u"", u"Same", u"\\a.mp3"),
                              Track(u"", u"", u"", u"Sbme", u"\\b.mp3")},
                             SmallBatches(kOneEntryPool), &owner));
  EXPECT_EQ((std::vector<bool>{true, false, true, false}), owner.marks);
  const LibraryImage image = ReadImage(fs);
  ASSERT_EQ(2u, image.tracks.size());
  for (const ImageTrack& t : image.tracks) EXPECT_EQ(0u, t.groupNumber[0]);
  EXPECT_EQ((std::vector<uint32_t>{0, 1}), image.blocks[kTitle].lists[0].tracks);
  ExpectSound(fs);
}

TEST(LibraryCreator, GenresBeyondTheThousandthShareOneNumberAndNoGenreEntry) {
  MemoryFileSystem fs;
  std::vector<TestTrack> tracks;
  for (int i = 0; i < 1001; ++i)
    tracks.push_back(Track(Name("G", i), u"Artist", u"Album", u"t", Name("\\t", i)));
  tracks.push_back(Track(Name("G", 1000), u"Other", u"Album", u"u", u"\\u1"));
  tracks.push_back(Track(Name("G", 999), u"Artist", u"Album", u"u", u"\\u2"));
  ASSERT_EQ(0, CreateLibrary(fs, tracks, SmallBatches(64 * 1024)));
  const LibraryImage image = ReadImage(fs);
  EXPECT_EQ(kGroupNumberOverflow, image.tracks[1000].groupNumber[0]);
  EXPECT_EQ(kGroupNumberOverflow, image.tracks[1001].groupNumber[0]);
  EXPECT_EQ(999u, image.tracks[999].groupNumber[0]);
  EXPECT_EQ(1000u, image.stats[kGenre].count);
  const auto& genres = image.blocks[kGenre].lists[1].groups;
  const auto& artists = image.blocks[kGenre].lists[2].groups;
  ASSERT_EQ(1000u, genres.size());
  // G0999 lists only its own artist; G1000's two artists belong to no genre entry.
  EXPECT_EQ(1u, genres[999].count);
  ASSERT_EQ(1002u, artists.size());
  EXPECT_EQ(0u, artists[999].indexInParent);
  EXPECT_EQ(0x1FFFFFu, artists[1000].indexInParent);
  EXPECT_EQ(0x1FFFFFu, artists[1001].indexInParent);
  // The directory counts what was written.
  EXPECT_EQ(1000u, image.directory[0].entries);
  EXPECT_EQ(1002u, image.directory[1].entries);
  ExpectSound(fs);
}

TEST(LibraryCreator, TheLastGenresArtistsAfterItsFirstGetTheirRunningIndex) {
  MemoryFileSystem fs;
  ASSERT_EQ(
      0, CreateLibrary(
             fs, {Track(u"A", u"x", u"1", u"t", u"\\1"), Track(u"B", u"x", u"1", u"t", u"\\2"),
                  Track(u"B", u"y", u"1", u"t", u"\\3"), Track(u"B", u"z", u"1", u"t", u"\\4")}));
  const LibraryImage image = ReadImage(fs);
  const auto& artists = image.blocks[kGenre].lists[2].groups;
  ASSERT_EQ(4u, artists.size());
  EXPECT_EQ(0u, artists[0].indexInParent);
  EXPECT_EQ(0u, artists[1].indexInParent);
  EXPECT_EQ(1u, artists[2].indexInParent);
  EXPECT_EQ(2u, artists[3].indexInParent);
  EXPECT_EQ(3u, image.blocks[kGenre].lists[1].groups[1].count);
  ExpectSound(fs);
}

TEST(LibraryCreator, AnUnreadableFileIsLeftToTheOwner) {
  for (int answer : {2, 8}) {
    MemoryFileSystem fs;
    MemorySource source;
    source.Add(Track(u"", u"", u"", u"t", u"\\a.mp3"));
    TestOwner owner;
    owner.answer = answer;
    CLibraryCreator creator(fs, source);
    ASSERT_EQ(0, creator.Open(kRoot, owner));
    EXPECT_EQ(answer, creator.AddFile(u"E:\\missing.mp3", 3));
    EXPECT_EQ(1, owner.asked);
    EXPECT_EQ(0u, creator.context()->totalTracks);
    EXPECT_EQ(0, creator.AddFile(u"E:\\a.mp3", 3));
    EXPECT_EQ(1u, creator.context()->totalTracks);
    creator.Close();
    EXPECT_EQ(0, fs.writeOpens()) << "nothing is written before a batch is full";
  }
}

TEST(LibraryCreator, OpenRefusesMemoryTheEngineCannotUse) {
  MemoryFileSystem fs;
  MemorySource source;
  TestOwner owner;
  CreatorOptions tiny;
  tiny.poolBytes = 64;
  CLibraryCreator creator(fs, source, tiny);
  EXPECT_EQ(3, creator.Open(kRoot, owner));
  EXPECT_EQ(3, creator.AddFile(u"E:\\a.mp3", 3));
  CLibraryCreator noRoot(fs, source);
  EXPECT_EQ(3, noRoot.Open(u"", owner));
}

TEST(LibraryCreator, FinishNeedsTheFinalBatchWritten) {
  MemoryFileSystem fs;
  MemorySource source;
  source.Add(Track(u"", u"", u"", u"t", u"\\a.mp3"));
  TestOwner owner;
  CLibraryCreator creator(fs, source);
  ASSERT_EQ(0, creator.Open(kRoot, owner));
  EXPECT_EQ(3, creator.Finish()) << "nothing written yet";
  ASSERT_EQ(0, creator.AddFile(u"E:\\a.mp3", 3));
  EXPECT_EQ(3, creator.Finish()) << "a batch still in memory";
  EXPECT_EQ(0, fs.writeOpens());
}

// A run of two batches: the first (one track) written while adding, the second (one track) in
// the final pass. With `keys` the merges compare the kept collation keys; without, they read the
// written record back. Returns the first failing code and the last trace record.
struct Outcome {
  int code = 0;
  TraceRecord last;
};
Outcome RunTwoBatches(MemoryFileSystem& fs, bool keys = true) {
  MemorySource source;
  source.Add(Track(u"", u"", u"", u"Same1234", u"\\a.mp3"));  // a 64-byte entry fills the batch
  source.Add(Same(u"\\b.mp3"));                               // a 60-byte one does not
  TestOwner owner;
  CreatorOptions options = SmallBatches(930 + 64);
  if (!keys) options.keyBytes = 0;
  CLibraryCreator creator(fs, source, options);
  Outcome out;
  out.code = creator.Open(kRoot, owner);
  if (out.code == 0) out.code = creator.AddFile(u"E:\\a.mp3", 3);
  if (out.code == 0) out.code = creator.AddFile(u"E:\\b.mp3", 3);
  if (out.code == 0) out.code = creator.SortAndWriteBatch(true);
  if (out.code == 0) out.code = creator.Finish();
  const LibraryContext* ctx = creator.context();
  if (ctx->traceCount > 0) out.last = ctx->trace[ctx->traceCount - 1];
  EXPECT_EQ(out.code != 0, ctx->traceCount > 0) << "a failure leaves a trace record, success none";
  return out;
}

struct FailNthOpen {
  std::u16string name;
  int n;
  int seen = 0;
};

constexpr std::u16string_view kScratch = MemoryFileSystem::kScratchPath;

TEST(LibraryCreator, EachFailingOpenReturnsItsCodeAndTraces) {
  struct Case {
    std::u16string_view file;
    int nthOpen;
    int code;
    uint32_t site;
    uint32_t step;
  };
  // The scratch file is opened with the first batch; the merges read it back (without kept keys)
  // and the final pass appends to it; ZRTL.DB is opened on the drive once, to be written from it.
  const Case cases[] = {
      {kScratch, 1, 4, kSiteWriteTrackList, 1},
      {u"ZRTL.DB", 1, 4, kSitePatch, 1},
      {u"ZRBL.DB", 1, 4, kSiteWriteBrowseList, 1},
      {u"ZRDB.DB", 1, 4, kSiteWriteSummary, 1},
      {u"ZRTL.DB", 2, 0, 0, 0},
      {kScratch, 2, 0, 0, 0},
  };
  for (const bool keys : {true, false})
    for (const Case& c : cases) {
      SCOPED_TRACE(ToUtf8(c.file) + " open " + std::to_string(c.nthOpen) +
                   (keys ? " with keys" : " reading back"));
      MemoryFileSystem fs;
      auto rule = std::make_shared<FailNthOpen>(FailNthOpen{std::u16string(c.file), c.nthOpen});
      fs.SetFault([rule](std::string_view op, std::u16string_view path) {
        return op == "open" && path.ends_with(rule->name) && ++rule->seen == rule->n;
      });
      const Outcome out = RunTwoBatches(fs, keys);
      EXPECT_EQ(c.code, out.code);
      EXPECT_EQ(c.site, out.last.site);
      EXPECT_EQ(c.step, out.last.step);
      if (c.code != 0) {
        EXPECT_EQ(kLiveOpen, out.last.liveMark);
      }
    }
}

TEST(LibraryCreator, ShortWritesAndReadsFailWithTheirSteps) {
  struct Case {
    const char* op;
    std::u16string_view file;
    bool atTheEnd;  // only once ZRTL.DB is opened on the drive
    int code;
    uint32_t site;
    uint32_t step;
    bool keys = true;
  };
  const Case cases[] = {
      {"write", kScratch, false, 4, kSiteWriteTrackList, 2},    // the first batch's header
      {"read", kScratch, false, 3, kSiteReadRecord, 4, false},  // read back for the merge
      {"seek", kScratch, false, 3, kSiteReadRecord, 4, false},
      {"write", kScratch, true, 0, 0, 0},              // nothing is written to it at the end
      {"read", kScratch, true, 3, kSitePatch, 4},      // read back to be written to the drive
      {"write", u"ZRTL.DB", false, 4, kSitePatch, 2},  // the header, first
      {"close", u"ZRTL.DB", false, 4, kSitePatch, 7},  // its data did not reach the file
      {"write", u"ZRBL.DB", false, 4, kSiteWriteBrowseList, 8},  // gathered: written at the end
      {"close", u"ZRBL.DB", false, 4, kSiteWriteBrowseList, 8},
      {"write", u"ZRDB.DB", false, 4, kSiteWriteSummary, 2},
      {"close", u"ZRDB.DB", false, 4, kSiteWriteSummary, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.op) + " " + ToUtf8(c.file) + (c.atTheEnd ? " at the end" : ""));
    MemoryFileSystem fs;
    const std::u16string file(c.file);
    const std::string op = c.op;
    auto atTheEnd = std::make_shared<bool>(false);
    fs.SetFault([=](std::string_view o, std::u16string_view path) {
      if (o == "open" && path.ends_with(u"ZRTL.DB")) *atTheEnd = true;
      return o == op && path.ends_with(file) && (*atTheEnd || !c.atTheEnd);
    });
    const Outcome out = RunTwoBatches(fs, c.keys);
    EXPECT_EQ(c.code, out.code);
    EXPECT_EQ(c.site, out.last.site);
    EXPECT_EQ(c.step, out.last.step);
  }
}

TEST(LibraryCreator, WritesToTheDriveExactlyTheBytesOfTheLibrary) {
  // One batch goes to the drive straight away; several are gathered in the scratch file. Either
  // way each file is written once, front to back: no header rewritten, no group number patched in
  // place, nothing read back from the drive.
  std::vector<TestTrack> tracks;
  for (int i = 0; i < 23; ++i) {
    tracks.push_back(Track(Name("G", i % 3), Name("A", i % 5), Name("L", i % 7), Name("T", i),
                           Name("\\m\\", i), 1));
  }
  for (size_t pool : {kPoolBytes, size_t{1400}}) {
    SCOPED_TRACE(pool == kPoolBytes ? "one batch" : "several batches");
    MemoryFileSystem fs;
    TestOwner owner;
    ASSERT_EQ(0, CreateLibrary(fs, tracks, SmallBatches(pool), &owner));
    EXPECT_EQ(pool == kPoolBytes ? 0 : 1, fs.scratchOpens());
    uint64_t librarySize = 0;
    for (std::u16string_view name : {kTrackListFile, kBrowseListFile, kSummaryFile})
      librarySize += fs.Contents(LibraryFilePath(kRoot, name)).size();
    EXPECT_EQ(librarySize, fs.bytesWritten());
    EXPECT_EQ(3, fs.writeOpens());
    for (const std::string& m : fs.mutations()) {
      EXPECT_EQ(std::string::npos, m.find("r+b")) << m;
      EXPECT_EQ(std::string::npos, m.find("a+b")) << m;
    }
    ExpectSound(fs);
  }
}

TEST(LibraryFiles, CreatesTheDeviceFolderHiddenAndKeepsAnExistingOnesAttributes) {
  MemoryFileSystem fs;
  ASSERT_TRUE(OpenLibraryFile(fs, kRoot, kSummaryFile, "wb"));
  EXPECT_EQ(platform::kAttrHidden | platform::kAttrDirectory, fs.Attributes(u"E:\\KORVANE"));
  EXPECT_EQ(platform::kAttrDirectory, fs.Attributes(u"E:\\KORVANE\\LIBRARY"));

  MemoryFileSystem existing;
  existing.AddFolder(u"E:\\KORVANE", platform::kAttrSystem);
  ASSERT_TRUE(OpenLibraryFile(existing, kRoot, kSummaryFile, "wb"));
  EXPECT_EQ(platform::kAttrSystem | platform::kAttrDirectory, existing.Attributes(u"E:\\KORVANE"));
}

TEST(LibraryFiles, PresentOnlyWithAllThreeFilesAndReplaceClosesFirst) {
  MemoryFileSystem fs;
  fs.AddFile(u"E:\\KORVANE\\LIBRARY\\ZRDB.DB", "x");
  fs.AddFile(u"E:\\KORVANE\\LIBRARY\\ZRTL.DB", "x");
  EXPECT_FALSE(IsLibraryPresent(fs, kRoot, 1));
  fs.AddFile(u"E:\\KORVANE\\LIBRARY\\ZRBL.DB", "x");
  EXPECT_TRUE(IsLibraryPresent(fs, kRoot, 1));

  std::unique_ptr<platform::File> open = OpenLibraryFile(fs, kRoot, kRewriteFile, "w+b");
  ASSERT_TRUE(open);
  ASSERT_EQ(3u, open->Write("new", 3));
  EXPECT_EQ(0, ReplaceLibraryFile(fs, kRoot, &open, kRewriteFile, kTrackListFile));
  EXPECT_FALSE(open) << "closed first";
  EXPECT_EQ((std::vector<uint8_t>{'n', 'e', 'w'}), fs.Contents(u"E:\\KORVANE\\LIBRARY\\ZRTL.DB"));
  EXPECT_FALSE(fs.Exists(u"E:\\KORVANE\\LIBRARY\\ZRTB.DB"));
  EXPECT_EQ(-1, ReplaceLibraryFile(fs, kRoot, nullptr, kRewriteFile, kTrackListFile));
  EXPECT_EQ(-1, DeleteLibraryFile(fs, kRoot, kRewriteFile));
  EXPECT_EQ(u"", LibraryFilePath(std::u16string(250, u'x'), kTrackListFile))
      << "longer than 255 units";
}

}  // namespace
}  // namespace deltrix::library::testing
