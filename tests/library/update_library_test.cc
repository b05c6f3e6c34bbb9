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
  return Track(std::move(genre), std::move(artist), u"Album " + artist, std::move(title), std::move(path));
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
  const std::vector<std::string> made(d.fs.mutations().begin() + static_cast<ptrdiff_t>(mutations), d.fs.mutations().end());
  EXPECT_EQ((std::vector<std::string>{"open w+b E:\\KORVANE\\LIBRARY\\ZRTA.LST", "remove E:\\KORVANE\\LIBRARY\\ZRTA.LST"}), made)
      << "only the add list is made and deleted";
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

  // A create of the two kept tracks writes the same files, but for the ids.
  MemoryFileSystem fresh;
  ASSERT_EQ(0, CreateLibrary(fresh, {b, c}));
  ExpectSameButIds(fresh.Contents(kTrackListPath), d.fs.Contents(kTrackListPath));
  ExpectSameBytes(fresh.Contents(kBrowsePath), d.fs.Contents(kBrowsePath));
  std::vector<uint8_t> summary = fresh.Contents(kSummaryPath);
  summary[24] = 3;  // the next id goes on from the old library's
  ExpectSameBytes(summary, d.fs.Contents(kSummaryPath));
}

TEST(LibraryUpdate, NewFilesAcrossBatchesWriteWhatACreateOfAllWrites) {
  // Distinct keys everywhere, so that batch boundaries cannot change the order of equal values.
  const char16_t* names[] = {u"kilo", u"alpha", u"echo", u"golf", u"bravo", u"juliet", u"delta",
                             u"india", u"charlie", u"hotel", u"foxtrot", u"lima"};
  std::vector<TestTrack> tracks;
  for (int i = 0; i < 12; ++i) {
    const std::u16string n = names[i];
    tracks.push_back(Track(u"G" + n.substr(0, 2), u"Ar " + n, u"Al " + n, n, u"\\d" + std::u16string(1, char16_t(u'a' + i % 3)) + u"\\" + n + u".mp3",
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
  EXPECT_EQ(u"E:\\db\\bravo.mp3", owner.list[0]) << "the drive letter and colon, then the stored path with \\";
  ASSERT_GE(owner.marks.size(), 2u) << "at least one full batch was written during the phase";
  EXPECT_EQ((std::vector<bool>{true, false}), owner.stops) << "stop on for the phase, off for the final write";
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

}  // namespace
}  // namespace deltrix::library::testing
