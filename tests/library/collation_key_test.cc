// The collation keys computed once per track: compared as bytes they must give exactly the order
// and the ties of the comparison of the stored strings, string by string, track by track, through
// the quicksort and through whole multi-batch runs.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "library/batch_sort.h"
#include "library/collation.h"
#include "library/library_context.h"
#include "library_test_util.h"

namespace deltrix::library::testing {
namespace {

// Units that sit on the table's and the encoding's edges.
const std::u16string kHardTexts[] = {
    u"",
    u"abc",
    u"ABC",
    u"Abd",
    u"ab",
    u"\u00e9t\u00e9",  // folds to \u00c9T\u00c9
    u"\u00c9T\u00c9",
    u"ete",
    u"\u00ff",  // folds to U+00DF
    u"\u00df",
    u"\uff41bc",  // fullwidth a
    u"\uff21BC",
    u"\uff1b",  // the fullwidth ";" keeps its own code
    u";",
    u"_",
    u"!",
    u" ",
    u"'",
    u"-",
    u"\uff5f",
    u"\uff60",
    u"\u007e",
    u"\u007f",
    u"\u0080",
    u"\u00a0",
    u"\u0100",
    u"\u207e",
    u"\u207f",
    u"\u2080",
    u"\u3042",
    std::u16string(1, char16_t{0xD800}),  // a lone surrogate
    u"\ufffe",
    u"\uffff",
    u"a\uffff",
    u"a\u0001",
    u"\u0001",
    u"The Who",
    u"the who",
    u"Who",
    u"THE ",
    u"The",
    u"Theatre",
    u"\uff34\uff28\uff25 Who",  // fullwidth THE: not a leading "THE "
};

std::u16string Repeat(char16_t unit, size_t n) { return std::u16string(n, unit); }

// Texts around the comparison limits (30, 48, 48, 64 units), equal up to the limit and beyond.
std::vector<std::u16string> LongTexts() {
  std::vector<std::u16string> texts;
  for (size_t n : {29u, 30u, 31u, 47u, 48u, 49u, 63u, 64u, 65u, 100u}) {
    texts.push_back(Repeat(u'a', n));
    texts.push_back(Repeat(u'a', n) + u"b");
    texts.push_back(Repeat(u'a', n - 1) + u"\u3042");
    texts.push_back(u"The " + Repeat(u'a', n));
  }
  return texts;
}

// UTF-16LE bytes a KeyText can view.
std::vector<uint8_t> Wide(const std::u16string& s) {
  std::vector<uint8_t> b;
  for (char16_t c : s) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
  b.resize(b.size() + 2);
  return b;
}

TEST(CollationKey, StringKeysCompareAsTheStringsDoAtEveryLimit) {
  std::vector<std::u16string> texts(std::begin(kHardTexts), std::end(kHardTexts));
  for (const auto& t : LongTexts()) texts.push_back(t);
  std::vector<std::vector<uint8_t>> bytes;
  for (const auto& t : texts) bytes.push_back(Wide(t));
  for (int index = kGenre; index <= kTitle; ++index) {
    std::vector<KeyText> views;
    std::vector<std::vector<uint8_t>> keys;
    for (size_t i = 0; i < texts.size(); ++i) {
      views.push_back(
          MakeKeyText(bytes[i].data(), static_cast<uint32_t>(texts[i].size()), true, index));
      std::vector<uint8_t> key(3 * texts[i].size() + 1);
      key.resize(EncodeKeyText(views.back(), key.data()));
      ASSERT_LE(key.size(), kMaxKeyTextBytes);
      keys.push_back(std::move(key));
    }
    for (size_t i = 0; i < texts.size(); ++i) {
      for (size_t j = 0; j < texts.size(); ++j) {
        const KeyBytes a{keys[i].data(), static_cast<uint32_t>(keys[i].size())};
        const KeyBytes b{keys[j].data(), static_cast<uint32_t>(keys[j].size())};
        SCOPED_TRACE("string " + std::to_string(index) + ": texts " + std::to_string(i) + " and " +
                     std::to_string(j));
        ASSERT_EQ(CompareKeyText(views[i], views[j]), CompareKeyBytes(a, b));
        ASSERT_EQ(SameKeyValue(views[i], views[j]), CompareKeyBytes(a, b) == 0);
      }
    }
  }
}

// A create context with the key block, over tracks added as a run adds them.
struct Engine {
  explicit Engine(size_t keyBytes = kKeyBytes)
      : pool(kPoolBytes),
        fileBuffer(kFileBufferBytes),
        aux(kAuxBytes / 4),
        keys(keyBytes),
        ctx(std::make_unique<LibraryContext>()) {
    EXPECT_EQ(kDone, OpenForCreate(*ctx, EngineMemory{pool, kRoot, fileBuffer, aux, keys}));
  }
  void Add(const TestTrack& track) {
    FillRecord(track, &record);
    ASSERT_EQ(kAdded, AddTrack(*ctx, record));
  }
  std::vector<uint8_t> pool;
  std::vector<uint8_t> fileBuffer;
  std::vector<uint32_t> aux;
  std::vector<uint8_t> keys;
  std::unique_ptr<LibraryContext> ctx;
  tags::TrackRecord record;
};

// Every pair of tracks under every sort key: the key bytes against the slot comparison, the group
// boundary of keys 0-2 against SameKeyValue, and the statistics' units and width.
void ExpectKeysMatchTheComparison(const LibraryContext& ctx, size_t pairsPerTrack = 0) {
  const uint32_t n = ctx.batchCount;
  ASSERT_TRUE(ctx.keysKept);
  std::mt19937 rng(7);
  for (uint32_t i = 0; i < n; ++i) {
    const uint8_t* ei = EntryAt(ctx, i);
    for (int key = 0; key < kSortKeys; ++key) {
      SortSlot slot;
      LoadEntrySlot(ei, key, &slot);
      const size_t count = pairsPerTrack == 0 ? n : pairsPerTrack;
      for (size_t c = 0; c < count; ++c) {
        const uint32_t j =
            pairsPerTrack == 0 ? static_cast<uint32_t>(c) : static_cast<uint32_t>(rng() % n);
        const int want = CompareSlotWithEntry(slot, EntryAt(ctx, j), key);
        const int got = CompareKeyBytes(TrackKey(ctx, i, key), TrackKey(ctx, j, key));
        ASSERT_EQ(want, got) << "tracks " << i << " and " << j << ", key " << key;
        if (key < kTitle) {
          SortSlot other;
          LoadEntrySlot(EntryAt(ctx, j), key, &other);
          ASSERT_EQ(SameKeyValue(slot.text[key], other.text[key]),
                    CompareKeyBytes(TrackKeyValue(ctx, i, key), TrackKeyValue(ctx, j, key)) == 0)
              << "tracks " << i << " and " << j << ", string " << key;
        }
      }
      if (key < kTitle) {
        bool narrow = false;
        EXPECT_EQ(slot.text[key].length, TrackKeyUnits(ctx, i, key, &narrow));
        EXPECT_EQ(slot.text[key].Narrow(), narrow);
      }
    }
  }
}

TEST(CollationKey, TrackKeysOrderTracksAsTheStoredStringsDo) {
  Engine engine;
  const int16_t numbers[] = {-1, 0, 1, 2, 255, 256, 0x7FFF, -2};
  // Each hard text in each string, against a common background, so the differences sit at every
  // field; then the same with track numbers that differ in their low and high bytes.
  int i = 0;
  for (const auto& text : kHardTexts) {
    engine.Add({text, u"Artist", u"Album", u"Title", u"\\g.mp3", numbers[i++ % 8]});
    engine.Add({u"Genre", text, u"Album", u"Title", u"\\a.mp3", numbers[i++ % 8]});
    engine.Add({u"Genre", u"Artist", text, u"Title", u"\\b.mp3", numbers[i++ % 8]});
    engine.Add({u"Genre", u"Artist", u"Album", text, u"\\t.mp3", numbers[i++ % 8]});
  }
  for (const auto& text : LongTexts()) {  // cut by the record's capacities
    engine.Add({text, text, text, text, u"\\l.mp3", 1});
  }
  for (int16_t number : numbers) {
    engine.Add({u"G", u"A", u"B", u"T", u"\\n.mp3", number});
    engine.Add({u"G", u"A", u"B", u"", u"\\n.mp3", number});
    engine.Add({u"", u"", u"", u"", u"\\n.mp3", number});
  }
  ExpectKeysMatchTheComparison(*engine.ctx);
}

// Texts drawn from a small alphabet of units that fold together or sit on edges, so values tie
// often, and differ in case, width, accents and length.
std::u16string RandomText(std::mt19937& rng, size_t maxUnits) {
  static const char16_t kUnits[] = {u'a',   u'A',    u'b',    u' ',   u'!',   u';',
                                    u'_',   u'\xe9', u'\xc9', 0xFF41, 0xFF21, 0xFF1B,
                                    0x3042, 0x007F,  0x207F,  0x207E, 0xFFFF, u'e'};
  std::u16string s;
  const size_t n = rng() % 4 == 0 ? rng() % (maxUnits + 1) : rng() % 4;
  for (size_t i = 0; i < n; ++i) s.push_back(kUnits[rng() % std::size(kUnits)]);
  if (rng() % 6 == 0) s = u"The " + s;
  return s;
}

std::vector<TestTrack> RandomTracks(uint32_t seed, size_t count) {
  std::mt19937 rng(seed);
  std::vector<std::u16string> genres, artists, albums;
  for (int i = 0; i < 12; ++i) genres.push_back(RandomText(rng, 35));
  for (int i = 0; i < 40; ++i) artists.push_back(RandomText(rng, 55));
  for (int i = 0; i < 60; ++i) albums.push_back(RandomText(rng, 55));
  std::vector<TestTrack> tracks;
  for (size_t i = 0; i < count; ++i) {
    TestTrack t;
    t.genre = genres[rng() % genres.size()];
    t.artist = artists[rng() % artists.size()];
    t.album = albums[rng() % albums.size()];
    t.title = RandomText(rng, 70);
    t.trackNumber = static_cast<int16_t>(rng() % 5 == 0 ? -1 : rng() % 4 == 0 ? rng() : rng() % 5);
    const std::string name = std::to_string(i);
    t.path = u"\\Music\\" + std::u16string(name.begin(), name.end()) + u".mp3";
    tracks.push_back(t);
  }
  return tracks;
}

TEST(CollationKey, RandomTracksCompareAlikeAndSortToTheSameOrder) {
  const std::vector<TestTrack> tracks = RandomTracks(11, 4000);
  Engine keyed;
  Engine plain(0);
  for (const TestTrack& t : tracks) {
    keyed.Add(t);
    plain.Add(t);
  }
  ASSERT_FALSE(plain.ctx->keysKept);
  ExpectKeysMatchTheComparison(*keyed.ctx, 200);
  // The quicksort leaves equal keys where the comparison of the strings leaves them.
  for (int key = 0; key < kSortKeys; ++key) {
    keyed.ctx->currentKey = plain.ctx->currentKey = static_cast<uint16_t>(key);
    ASSERT_EQ(kDone, SortBatch(*keyed.ctx));
    ASSERT_EQ(kDone, SortBatch(*plain.ctx));
    const auto& a = keyed.ctx->permutation;
    const auto& b = plain.ctx->permutation;
    ASSERT_TRUE(std::equal(a.begin(), a.begin() + tracks.size(), b.begin())) << "key " << key;
  }
}

// A create over `tracks`; the context is looked at before the creator closes.
struct RunResult {
  int code = 0;
  bool keysKept = false;
  uint32_t keysUsed = 0;
  int32_t batches = 0;
};
RunResult Create(MemoryFileSystem& fs, const std::vector<TestTrack>& tracks,
                 CreatorOptions options) {
  MemorySource source;
  for (const TestTrack& t : tracks) source.Add(t);
  TestOwner owner;
  CLibraryCreator creator(fs, source, options);
  RunResult r;
  r.code = creator.Open(kRoot, owner);
  for (size_t i = 0; r.code == 0 && i < tracks.size(); ++i)
    r.code = creator.AddFile(u"E:" + tracks[i].path, 3);
  if (r.code == 0) r.code = creator.SortAndWriteBatch(true);
  if (r.code == 0) r.code = creator.Finish();
  r.keysKept = creator.context()->keysKept;
  r.keysUsed = creator.context()->keysUsed;
  r.batches = creator.context()->batchesWritten;
  return r;
}

// Whole runs of many batches: with the keys, with keys that run out part of the way (the rest of
// the run compares the strings), and reading the written records back, the three files are the
// same.
TEST(CollationKey, RunsWithKeysWithoutAndRunningOutWriteTheSameLibrary) {
  for (uint32_t seed : {3u, 5u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::vector<TestTrack> tracks = RandomTracks(seed, 900);
    CreatorOptions options = SmallBatches(20000);  // some 150 tracks a batch
    MemoryFileSystem plainFs;
    options.keyBytes = 0;
    const RunResult plain = Create(plainFs, tracks, options);
    ASSERT_EQ(0, plain.code);
    ASSERT_GE(plain.batches, 5);
    EXPECT_FALSE(plain.keysKept);

    MemoryFileSystem keyedFs;
    options.keyBytes = kKeyBytes;
    const RunResult keyed = Create(keyedFs, tracks, options);
    ASSERT_EQ(0, keyed.code);
    EXPECT_TRUE(keyed.keysKept);

    MemoryFileSystem shortFs;
    options.keyBytes = keyed.keysUsed / 2;  // out of room after some batches were merged by key
    const RunResult runOut = Create(shortFs, tracks, options);
    ASSERT_EQ(0, runOut.code);
    EXPECT_FALSE(runOut.keysKept);

    for (auto path : {kTrackListPath, kBrowsePath, kSummaryPath}) {
      ExpectSameBytes(plainFs.Contents(path), keyedFs.Contents(path));
      ExpectSameBytes(plainFs.Contents(path), shortFs.Contents(path));
    }
  }
}

}  // namespace
}  // namespace deltrix::library::testing
