// The updater over an in-memory drive: what it writes (and does not write) for each kind of change,
// compared with what a create of the same tracks writes, and how the library stands after a whole
// sequence of changes.
#include <gtest/gtest.h>

#include <set>

#include "library/add_list.h"
#include "library/library_files.h"
#include "update_test_util.h"

namespace deltrix::library::testing {
namespace {

constexpr std::u16string_view kAddListPath = u"E:\\KORVANE\\LIBRARY\\ZRTA.LST";

TestTrack Song(std::u16string path, std::u16string title, std::u16string artist = u"Artist",
               std::u16string genre = u"Pop") {
  return Track(std::move(genre), std::move(artist), u"Album " + artist, std::move(title),
               std::move(path));
}

// Two track lists that hold the same bytes but for the track ids (field 24 of each record).
void ExpectSameButIds(std::vector<uint8_t> want, std::vector<uint8_t> got) {
  ASSERT_EQ(want.size(), got.size());
  for (size_t at = 16; at + 48 <= want.size(); at += Le32At(want, at + 8)) {
    for (size_t i = 0; i < 4; ++i) want[at + 24 + i] = got[at + 24 + i] = 0;
  }
  ExpectSameBytes(want, got);
}

TEST(LibraryUpdate, NothingChangedOpensNoLibraryFileForWriting) {
  UpdateDrive d;
  d.Add(Song(u"\\A\\1.mp3", u"one"));
  d.Add(Song(u"\\A\\2.mp3", u"two"));
  d.Add(Song(u"\\B\\3.mp3", u"three", u"Other"));
  ASSERT_EQ(0, d.Create());
  const LibraryFiles before = FilesOf(d.fs);
  const size_t mutations = d.fs.mutations().size();
  MergeOwner owner;
  std::vector<int> checks;
  ASSERT_EQ(0, UpdateLibrary(d, {}, &owner, &checks));
  EXPECT_EQ((std::vector<int>{0, 0, 0}), checks);
  EXPECT_TRUE(before == FilesOf(d.fs));
  const std::vector<std::string> made(d.fs.mutations().begin() + static_cast<ptrdiff_t>(mutations),
                                      d.fs.mutations().end());
  EXPECT_TRUE(made.empty()) << "nothing is written to the card, not even the add list";
  EXPECT_EQ(0, d.reads) << "no tags are read again";
  EXPECT_FALSE(owner.begun) << "no merge phase";
}

TEST(LibraryUpdate, RemovingTrackZeroRenumbersTheRestAsACreateOfThemWould) {
  UpdateDrive d;
  const TestTrack a = Song(u"\\m\\a.mp3", u"Zulu", u"Yes");
  const TestTrack b = Song(u"\\m\\b.mp3", u"Alpha", u"Abba");
  const TestTrack c = Song(u"\\m\\c.mp3", u"Mike", u"Moby", u"Rock");
  d.Add(a);
  d.Add(b);
  d.Add(c);
  ASSERT_EQ(0, d.Create());
  d.Remove(u"\\m\\a.mp3");
  MergeOwner owner;
  ASSERT_EQ(0, UpdateLibrary(d, {}, &owner));
  EXPECT_FALSE(owner.begun) << "nothing to add: no merge phase";
  EXPECT_FALSE(d.fs.Exists(kAddListPath));
  EXPECT_FALSE(d.fs.Exists(u"E:\\KORVANE\\LIBRARY\\ZRTB.DB"));
  ASSERT_TRUE(LibraryIsSound(d.fs));

  LibraryImage image;
  ASSERT_TRUE(ReadLibraryImage(d.fs, kRoot, &image, nullptr));
  ASSERT_EQ(2u, image.tracks.size());
  EXPECT_EQ(u"/m/b.mp3", image.tracks[0].text[kPath]);
  EXPECT_EQ(u"/m/c.mp3", image.tracks[1].text[kPath]);
  EXPECT_EQ(1u, image.tracks[0].id) << "ids survive";
  EXPECT_EQ(2u, image.tracks[1].id);
  EXPECT_EQ(3u, image.nextTrackId);
  for (const ImageBlock& block : image.blocks) {
    for (uint32_t t : block.lists[0].tracks) EXPECT_LT(t, 2u) << "no list names the old index 2";
  }

  // A create of the two kept tracks writes the same files, but for the ids and the recounted title
  // and path figures.
  MemoryFileSystem fresh;
  ASSERT_EQ(0, CreateLibrary(fresh, {b, c}));
  ExpectSameButIds(fresh.Contents(kTrackListPath), d.fs.Contents(kTrackListPath));
  ExpectSameBytes(fresh.Contents(kBrowsePath), d.fs.Contents(kBrowsePath));
  std::vector<uint8_t> summary = fresh.Contents(kSummaryPath);
  summary[24] = 3;  // the next id goes on from the old library's
  // Titles Alpha and Mike (data length 12 each): total 14 + 14, compact 8 + 8 (a create counts 12 +
  // 10 and 6 + 6). Paths /m/b.mp3 and /m/c.mp3 (data length 20 each): total 22 + 22, compact 12 +
  // 8 (the second shares "/m/").
  const size_t title = 32 + 16 + 3 * 72;
  const size_t path = title + 72;
  for (auto [at, v] :
       {std::pair{title + 44, 28u}, {title + 68, 16u}, {path + 44, 44u}, {path + 68, 20u}}) {
    for (int i = 0; i < 4; ++i) summary[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  ExpectSameBytes(summary, d.fs.Contents(kSummaryPath));
}

TEST(LibraryUpdate, NewFilesAcrossBatchesWriteWhatACreateOfAllWrites) {
  // Distinct keys everywhere, so that batch boundaries cannot change the order of equal values.
  const char16_t* names[] = {u"kilo",  u"alpha", u"echo",    u"golf",  u"bravo",   u"juliet",
                             u"delta", u"india", u"charlie", u"hotel", u"foxtrot", u"lima"};
  std::vector<TestTrack> tracks;
  for (int i = 0; i < 12; ++i) {
    const std::u16string n = names[i];
    tracks.push_back(Track(u"G" + n.substr(0, 2), u"Ar " + n, u"Al " + n, n,
                           u"\\d" + std::u16string(1, char16_t(u'a' + i % 3)) + u"\\" + n + u".mp3",
                           static_cast<int16_t>(i)));
  }
  UpdateDrive d;
  for (int i = 0; i < 4; ++i) d.Add(tracks[i]);
  ASSERT_EQ(0, d.Create());
  for (int i = 4; i < 12; ++i) d.Add(tracks[i]);
  MergeOwner owner;
  UpdaterOptions options;
  options.batchBytes = 1400;  // a few tracks per batch
  options.fileBufferBytes = 8192;
  ASSERT_EQ(0, UpdateLibrary(d, options, &owner));
  ASSERT_TRUE(LibraryIsSound(d.fs));
  EXPECT_TRUE(owner.begun);
  EXPECT_EQ(8, owner.total);
  EXPECT_EQ(8, owner.processed);
  EXPECT_EQ(0, owner.skipped);
  EXPECT_EQ(u"E:\\db\\bravo.mp3", owner.list[0])
      << "the drive letter and colon, then the stored path with \\";
  ASSERT_GE(owner.marks.size(), 2u) << "at least one full batch was written during the phase";
  EXPECT_EQ((std::vector<bool>{true, false}), owner.stops)
      << "stop on for the phase, off for the final write";
  EXPECT_EQ(8, d.reads) << "only the new files' tags are read";

  MemoryFileSystem fresh;
  ASSERT_EQ(0, CreateLibrary(fresh, tracks));
  ExpectSameBytes(fresh.Contents(kTrackListPath), d.fs.Contents(kTrackListPath));
  ExpectSameBytes(fresh.Contents(kBrowsePath), d.fs.Contents(kBrowsePath));
  LibraryImage created, updated;
  ASSERT_TRUE(ReadLibraryImage(fresh, kRoot, &created, nullptr));
  ASSERT_TRUE(ReadLibraryImage(d.fs, kRoot, &updated, nullptr));
  EXPECT_EQ(created.nextTrackId, updated.nextTrackId);
  for (int s = kGenre; s <= kTitle; ++s) {
    EXPECT_EQ(created.stats[s].count, updated.stats[s].count) << s;
    EXPECT_EQ(created.stats[s].total, updated.stats[s].total) << s;
    EXPECT_EQ(created.stats[s].compact, updated.stats[s].compact) << s;
  }
  EXPECT_EQ(12u, updated.stats[kPath].count);
  EXPECT_EQ(created.stats[kPath].total, updated.stats[kPath].total);
}

TEST(LibraryUpdate, ARenamedFolderDropsItsTracksAndAddsThemAgainWithNewIds) {
  UpdateDrive d;
  d.Add(Song(u"\\Old\\1.mp3", u"one"));
  d.Add(Song(u"\\Old\\2.mp3", u"two"));
  d.Add(Song(u"\\Keep\\3.mp3", u"three"));
  ASSERT_EQ(0, d.Create());
  d.Remove(u"\\Old\\1.mp3");
  d.Remove(u"\\Old\\2.mp3");
  d.Add(Song(u"\\New\\1.mp3", u"one"));
  d.Add(Song(u"\\New\\2.mp3", u"two"));
  MergeOwner owner;
  ASSERT_EQ(0, UpdateLibrary(d, {}, &owner));
  ASSERT_TRUE(LibraryIsSound(d.fs));
  LibraryImage image;
  ASSERT_TRUE(ReadLibraryImage(d.fs, kRoot, &image, nullptr));
  ASSERT_EQ(3u, image.tracks.size());
  EXPECT_EQ(u"/Keep/3.mp3", image.tracks[0].text[kPath]);
  EXPECT_EQ(2u, image.tracks[0].id);
  EXPECT_EQ(u"/New/1.mp3", image.tracks[1].text[kPath]);
  EXPECT_EQ(3u, image.tracks[1].id) << "a new id, after the old next id";
  EXPECT_EQ(u"/New/2.mp3", image.tracks[2].text[kPath]);
  EXPECT_EQ(4u, image.tracks[2].id);
  EXPECT_EQ(5u, image.nextTrackId);
  EXPECT_EQ(2, owner.processed);
}

TEST(LibraryUpdate, AKnownFileWhoseTagsCannotBeReadStays) {
  UpdateDrive d;
  d.Add(Song(u"\\a.mp3", u"kept"));
  d.Add(Song(u"\\b.mp3", u"gone"));
  ASSERT_EQ(0, d.Create());
  d.MakeUnreadable(u"\\a.mp3");
  d.Retag(Song(u"\\b.mp3", u"retagged"));
  d.Add(Song(u"\\c.m4a", u"never read"), false);  // new and unreadable: the user skips it
  MergeOwner owner;
  ASSERT_EQ(0, UpdateLibrary(d, {}, &owner));
  EXPECT_EQ(1, owner.asked);
  EXPECT_EQ(1, owner.skipped);
  EXPECT_EQ(0, owner.processed);
  EXPECT_EQ(1, d.reads) << "only the new file is read";
  LibraryImage image;
  ASSERT_TRUE(ReadLibraryImage(d.fs, kRoot, &image, nullptr));
  ASSERT_EQ(2u, image.tracks.size());
  EXPECT_EQ(u"kept", image.tracks[0].text[kTitle]);
  EXPECT_EQ(u"gone", image.tracks[1].text[kTitle]) << "tags of a known file are not read again";
  EXPECT_FALSE(d.fs.Exists(kAddListPath));
}

TEST(LibraryUpdate, PathsOf255UnitsAreKeptAnd256AreRefused) {
  // Without the drive letter and colon: "\" + 250 units + ".mp3" is 255 units.
  const std::u16string longest = u"\\" + std::u16string(250, u'x') + u".mp3";
  const std::u16string tooLong = u"\\" + std::u16string(251, u'x') + u".mp3";
  UpdateDrive d;
  d.Add(Song(longest, u"long"));
  ASSERT_EQ(0, d.Create());
  ASSERT_EQ(1u, StoredPaths(d.fs).size()) << "a create takes 255 units";
  const LibraryFiles before = FilesOf(d.fs);
  d.Add(Song(tooLong, u"too long"));
  std::vector<int> checks;
  ASSERT_EQ(0, UpdateLibrary(d, {}, nullptr, &checks));
  EXPECT_EQ((std::vector<int>{Success, CannotOpenFile}), checks);
  EXPECT_TRUE(before == FilesOf(d.fs)) << "the 255-unit track is found again; nothing changes";
}

TEST(LibraryUpdate, AYenSignInANameIsStoredAndFoundAsItIs) {
  // The yen sign is a character of the name: the player opens /M/\u00a5yen.mp3, not /M//yen.mp3.
  UpdateDrive d;
  d.Add(Song(u"\\M\\\u00a5yen.mp3", u"created"));
  ASSERT_EQ(0, d.Create());
  d.Add(Song(u"\\N\\a\u00a5b.mp3", u"added"));
  ASSERT_EQ(0, UpdateLibrary(d));
  EXPECT_EQ((std::vector<std::u16string>{u"/M/\u00a5yen.mp3", u"/N/a\u00a5b.mp3"}),
            StoredPaths(d.fs));
  ASSERT_TRUE(LibraryIsSound(d.fs));
  // Both are found again by the next update: nothing changes.
  const LibraryFiles before = FilesOf(d.fs);
  std::vector<int> checks;
  ASSERT_EQ(0, UpdateLibrary(d, {}, nullptr, &checks));
  EXPECT_EQ((std::vector<int>{0, 0}), checks);
  EXPECT_TRUE(before == FilesOf(d.fs));
  EXPECT_EQ(1, d.reads) << "only the added file was ever read by an update";
}

TEST(LibraryUpdate, ARemovalRecountsKeptTitlesAndPathsFromTheirDataLengths) {
  // Titles and paths of every length modulo 4, one title and one path with a character above
  // U+00FF. Removing track 0 keeps old indexes 1-5 (none a multiple of 20: every path shares with
  // the kept path before it, the first with none).
  UpdateDrive d;
  d.Add(Song(u"\\gone.mp3", u"x"));
  d.Add(Song(u"\\d\\1.mp3", u"ab"));
  d.Add(Song(u"\\d\\12.mp3", u"abc"));
  d.Add(Song(u"\\d\\123.mp3", u"abcd"));
  d.Add(Song(u"\\e\\1234.mp3", u"abcde"));
  d.Add(Song(u"\\e\\\u65e5.mp3", u"\u65e5\u672c\u8a9e"));
  ASSERT_EQ(0, d.Create());
  d.Remove(u"\\gone.mp3");
  ASSERT_EQ(0, UpdateLibrary(d));
  LibraryImage image;
  ASSERT_TRUE(ReadLibraryImage(d.fs, kRoot, &image, nullptr));
  ASSERT_EQ(5u, image.tracks.size());
  // Title: units 2, 3, 4, 5 and 3 wide; data lengths 8, 8, 12, 12, 8; each counts data length + 2
  // = 10, 10, 14, 14, 10; compact half of that rounded up to even for 8-bit text (6, 6, 8, 8) and
  // all of it for the wide one (10).
  EXPECT_EQ(58u, image.stats[kTitle].total);
  EXPECT_EQ(38u, image.stats[kTitle].compact);
  // Path: units 8, 9, 10, 11, 8; data lengths 20, 20, 24, 24, 20; n = 22, 22, 26, 26, 22. Shared
  // bytes 0, 8 ("/d/1"), 10 ("/d/12"), 2 ("/"), 6 ("/e/"); rests 22, 14, 16, 24 in 8-bit units
  // (compact 12, 8, 8, 12) and 16 with the wide character (compact 16).
  EXPECT_EQ(118u, image.stats[kPath].total);
  EXPECT_EQ(56u, image.stats[kPath].compact);
  EXPECT_EQ(5u, image.stats[kTitle].count);
  EXPECT_EQ(5u, image.stats[kPath].count);
  EXPECT_TRUE(LibraryIsSound(d.fs));
}

TEST(LibraryUpdate, TheSummaryCountsEveryTrackAfterEveryKindOfUpdate) {
  struct Case {
    const char* what;
    int remove;         // files of the library removed from the drive
    int add;            // new readable files
    int addUnreadable;  // new files whose tags cannot be read
    uint32_t tracks;
  };
  const Case cases[] = {
      {"add", 0, 5, 0, 11},
      {"remove", 2, 0, 0, 4},
      {"add and remove", 3, 4, 0, 7},
      {"nothing readable to add", 1, 0, 2, 5},
      {"remove everything", 6, 0, 0, 0},
      {"replace everything", 6, 2, 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UpdateDrive d;
    for (int i = 0; i < 6; ++i)
      d.Add(Song(u"\\L\\" + std::u16string(1, char16_t(u'a' + i)) + u".mp3", u"t",
                 u"A" + std::u16string(1, char16_t(u'a' + i % 2))));
    ASSERT_EQ(0, d.Create());
    for (int i = 0; i < c.remove; ++i)
      d.Remove(u"\\L\\" + std::u16string(1, char16_t(u'a' + i)) + u".mp3");
    for (int i = 0; i < c.add; ++i)
      d.Add(Song(u"\\N\\" + std::u16string(1, char16_t(u'a' + i)) + u".mp3", u"n", u"B"));
    for (int i = 0; i < c.addUnreadable; ++i)
      d.Add(Song(u"\\U\\" + std::u16string(1, char16_t(u'a' + i)) + u".m4a", u"u"), false);
    ASSERT_EQ(0, UpdateLibrary(d));
    ASSERT_TRUE(LibraryIsSound(d.fs));
    LibraryImage image;
    ASSERT_TRUE(ReadLibraryImage(d.fs, kRoot, &image, nullptr));
    EXPECT_EQ(c.tracks, image.tracks.size());
    EXPECT_EQ(c.tracks, image.stats[kTitle].count);
    EXPECT_EQ(c.tracks, image.stats[kPath].count);
    EXPECT_EQ(c.tracks, image.directory.back().entries) << "the title track list";
  }
}

// One step of a changing drive; after each, an update must leave a sound library that holds
// exactly one track per file on the drive whose tags could be read when it was added.
struct Step {
  const char* what;
  std::vector<std::u16string> add;  // new files (readable)
  std::vector<std::u16string> addUnreadable;
  std::vector<std::u16string> remove;
  std::vector<std::u16string> retag;  // new tags (not read again by an update)
  std::vector<std::u16string> makeUnreadable;
  std::vector<std::u16string> makeReadable;
};

TEST(LibraryUpdate, AnySequenceOfChangesLeavesASoundLibraryOfTheReadableFiles) {
  const std::vector<Step> steps = {
      {"add", {u"\\C\\1.mp3", u"\\C\\2.mp3", u"\\C\\3.mp3"}, {u"\\C\\bad.m4a"}, {}, {}, {}, {}},
      {"remove", {}, {}, {u"\\A\\2.mp3", u"\\C\\1.mp3"}, {}, {}, {}},
      {"rename a folder",
       {u"\\B2\\1.mp3", u"\\B2\\2.mp3"},
       {},
       {u"\\B\\1.mp3", u"\\B\\2.mp3"},
       {},
       {},
       {}},
      {"retag", {}, {}, {}, {u"\\A\\1.mp3"}, {u"\\A\\3.mp3"}, {u"\\C\\bad.m4a"}},
      {"many new files",
       {u"\\D\\01.mp3", u"\\D\\02.mp3", u"\\D\\03.mp3", u"\\D\\04.mp3", u"\\D\\05.mp3",
        u"\\D\\06.mp3", u"\\D\\07.mp3", u"\\D\\08.mp3", u"\\D\\09.mp3", u"\\D\\10.mp3",
        u"\\D\\11.mp3"},
       {},
       {u"\\A\\1.mp3"},
       {},
       {},
       {}},
      {"nothing", {}, {}, {}, {}, {}, {}},
      {"remove everything",
       {},
       {},
       {u"\\A\\3.mp3", u"\\B2\\1.mp3", u"\\B2\\2.mp3", u"\\C\\2.mp3", u"\\C\\3.mp3",
        u"\\C\\bad.m4a", u"\\D\\01.mp3", u"\\D\\02.mp3", u"\\D\\03.mp3", u"\\D\\04.mp3",
        u"\\D\\05.mp3", u"\\D\\06.mp3", u"\\D\\07.mp3", u"\\D\\08.mp3", u"\\D\\09.mp3",
        u"\\D\\10.mp3", u"\\D\\11.mp3"},
       {},
       {},
       {}},
      {"start again", {u"\\E\\1.mp3", u"\\E\\2.mp3"}, {}, {}, {}, {}, {}},
  };
  // Tags from the path, so that titles, artists and genres repeat and differ across folders.
  int retags = 0;
  auto tagsOf = [&](const std::u16string& path, int version) {
    const std::u16string folder = path.substr(1, path.find(u'\\', 1) - 1);
    const std::u16string name = path.substr(path.rfind(u'\\') + 1);
    return Track(u"G" + folder.substr(0, 1), u"Art " + name.substr(0, 1), u"Alb " + folder,
                 u"T" + name + std::u16string(version, u'+'), path,
                 static_cast<int16_t>(name[0] - u'0'));
  };
  UpdateDrive d;
  for (const char16_t* p :
       {u"\\A\\1.mp3", u"\\A\\2.mp3", u"\\A\\3.mp3", u"\\B\\1.mp3", u"\\B\\2.mp3"})
    d.Add(tagsOf(p, 0));
  ASSERT_EQ(0, d.Create());
  std::set<std::u16string> held;  // stored paths the library must hold
  for (const std::u16string& p : d.paths) held.insert(p.substr(2));
  UpdaterOptions smallBatches;
  smallBatches.batchBytes = 1400;
  smallBatches.fileBufferBytes = 8192;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    for (const auto& p : step.remove) {
      d.Remove(p);
      held.erase(p);
    }
    for (const auto& p : step.add) d.Add(tagsOf(p, 0));
    for (const auto& p : step.addUnreadable) d.Add(tagsOf(p, 0), false);
    for (const auto& p : step.retag) d.Retag(tagsOf(p, ++retags));
    for (const auto& p : step.makeUnreadable) d.MakeUnreadable(p);
    for (const auto& p : step.makeReadable) d.Retag(tagsOf(p, 0));
    // A new file comes in when its tags can be read now; a held one stays whatever its tags.
    for (const std::u16string& full : d.paths) {
      if (d.Readable(full)) held.insert(full.substr(2));
    }
    ASSERT_EQ(0, UpdateLibrary(d, smallBatches));
    ASSERT_TRUE(LibraryIsSound(d.fs));
    std::vector<std::u16string> stored = StoredPaths(d.fs);
    for (std::u16string& s : stored) std::replace(s.begin(), s.end(), u'/', u'\\');
    EXPECT_TRUE(held == std::set<std::u16string>(stored.begin(), stored.end()));
    EXPECT_EQ(held.size(), stored.size()) << "one track per file";
    EXPECT_FALSE(d.fs.Exists(kAddListPath));
  }
}

TEST(LibraryUpdate, ASummaryWithoutStatisticsIsWrittenAgainWithoutThem) {
  UpdateDrive d;
  d.Add(Song(u"\\a.mp3", u"a"));
  ASSERT_EQ(0, d.Create());
  std::vector<uint8_t> summary = d.fs.Contents(kSummaryPath);
  summary.resize(32);
  summary[30] = 0;  // no sections
  d.fs.AddFile(kSummaryPath, summary);
  d.Add(Song(u"\\b.mp3", u"b"));
  ASSERT_EQ(0, UpdateLibrary(d));
  const BytesBuilder want =
      BytesBuilder().Tag("zrdb").Le32(32).Le32(32).Le32(2).Le32(0).Le32(1).Le32(2).Le16(2).Le16(0);
  ExpectSameBytes(want.bytes(), d.fs.Contents(kSummaryPath));
  EXPECT_EQ(2u, StoredPaths(d.fs).size());
}

TEST(LibraryUpdate, TheMergePhaseStopsWhereTheRunSaysSo) {
  struct Case {
    const char* what;
    int stopAtWait;  // pause waits: 1-2 while listing the two new files, 3-4 before reading each, 5
                     // at the end
    int answer;      // to the skip question for the unreadable new file
    int code;
    int32_t processed;
  };
  const Case cases[] = {
      {"stop while listing", 1, 2, -1, 0},
      {"stop before a file", 4, 2, -1, 1},
      {"stop before the final write", 5, 2, -1, 1},
      {"abort at the unreadable file", 0, 8, RunAborted, 1},
      {"skip the unreadable file", 0, 2, Success, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UpdateDrive d;
    d.Add(Song(u"\\a.mp3", u"a"));
    ASSERT_EQ(0, d.Create());
    d.Add(Song(u"\\b.mp3", u"b"));
    d.Add(Song(u"\\c.m4a", u"c"), false);
    MergeOwner owner;
    owner.stopAtWait = c.stopAtWait;
    owner.answer = c.answer;
    EXPECT_EQ(c.code, UpdateLibrary(d, {}, &owner));
    EXPECT_TRUE(owner.begun);
    EXPECT_EQ(c.processed, owner.processed);
    EXPECT_EQ(c.stopAtWait == 1 ? 0 : 2, owner.total)
        << "the total is set once the list is complete";
    EXPECT_TRUE(owner.stops.front()) << "the run can be stopped again in the phase";
    EXPECT_FALSE(d.fs.Exists(kAddListPath));
  }
}

TEST(LibraryUpdate, KindCodesOfTheAddList) {
  struct Case {
    std::u16string_view path;
    uint32_t kind;
  };
  const Case cases[] = {{u"E:\\a.mp3", 1},   {u"E:\\a.M4A", 2},  {u"E:\\a.aac", 3},
                        {u"E:\\a.Mp4", 4},   {u"E:\\a.WAV", 12}, {u"E:\\a.aif", 13},
                        {u"E:\\a.AIFF", 13}, {u"E:\\a.ogg", 0},  {u"E:\\mp3", 0}};
  for (const Case& c : cases)
    EXPECT_EQ(c.kind, AddListKind(c.path)) << std::string(c.path.begin(), c.path.end());
}

TEST(LibraryUpdate, TheAddListRecordsEachNewFileAsLaidOut) {
  UpdateDrive d;
  d.Add(Song(u"\\old.mp3", u"old"));
  ASSERT_EQ(0, d.Create());
  d.fs.AddFile(u"E:\\Neu\\x\u00a5y.WAV", std::string(70000, 'w'));  // a yen sign in its name
  d.paths.push_back(u"E:\\Neu\\x\u00a5y.WAV");
  d.fs.AddFile(u"E:\\ab.aac", "a");
  d.paths.push_back(u"E:\\ab.aac");
  CLibraryUpdater updater(d.fs, d);
  MergeOwner owner;
  ASSERT_EQ(0, updater.Open(kRoot, owner));
  for (const std::u16string& p : d.paths) ASSERT_EQ(0, updater.CheckFile(p));
  ASSERT_EQ(0, updater.Merge(3));  // both unreadable: skipped
  EXPECT_EQ((std::vector<std::u16string>{u"E:\\Neu\\x\u00a5y.WAV", u"E:\\ab.aac"}), owner.list)
      << "the merge reads each file where it lies";
  // The path data holds no terminator: only the padding to 4 bytes.
  auto units = [](BytesBuilder& b, std::u16string_view text) -> BytesBuilder& {
    for (char16_t c : text) b.Le16(c);
    return b;
  };
  BytesBuilder want;
  want.Le32(56).Le32(70000).Le32(12).Le32(12).Le32(1).Le32(0).Le32(8 + 24).Le32(24);
  units(want, u"/Neu/x\u00a5y.WAV");
  want.Le32(48).Le32(1).Le32(3).Le32(12).Le32(1).Le32(0).Le32(8 + 16).Le32(14);
  units(want, u"/ab.aac").Le16(0);
  ExpectSameBytes(want.bytes(), d.fs.Contents(kAddListPath));
  EXPECT_EQ(0, updater.Finish());
  updater.Close();
  EXPECT_FALSE(d.fs.Exists(kAddListPath));
}

TEST(LibraryUpdate, PathBucketsFollowTheHash) {
  // h = h * 37 + v, v from the unit's bytes each sign-extended; |h| mod 180000.
  EXPECT_EQ(0u, PathBucket(u""));
  EXPECT_EQ(47u, PathBucket(u"/"));
  EXPECT_EQ((47u * 37 + 97) % 180000, PathBucket(u"/a"));
  EXPECT_EQ(23u, PathBucket(u"\u00e9")) << "0xE9 sign-extends to -23";
  EXPECT_EQ(0x7EDDu, PathBucket(u"\u8123")) << "0x81 sign-extends: v = 0xFFFF8123";
  EXPECT_EQ(PathBucket(u"/a"), PathBucket(std::u16string(u"/a\0/b", 5)))
      << "the hash stops at a zero unit";
}

}  // namespace
}  // namespace deltrix::library::testing
