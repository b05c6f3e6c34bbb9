// The working state of one library run (LibraryContext) and the track pool it collects tracks in.
// Everything is sized for kMaxTracks when the context is created; the run's owner hands it the
// three blocks (string pool, file buffer, quicksort stacks) at open, and nothing is allocated while
// tracks are added. One worker thread uses a context; nothing in it is locked.
//
// A pool entry (TrackEntry) is 4-byte aligned: id u32, fileSize s32, reservedA s32, reservedB s32,
// trackNumber s16, reservedC s16, packed word u32 (bits 0-23 reservedD with the flag in bit 23,
// bits 24-31 fileType), five u16 string descriptors (bits 0-11 the string's offset counted from the
// end of the descriptors, bit 15 set when stored in 8-bit units), 4 zero bytes, then genre, artist,
// album, title and path back to back, each terminated. A string whose units are all below U+0100
// and that fits its limit is kept in 8-bit units (made an even count with a zero byte); any other
// is kept as UTF-16LE. Entry sizes decide where batches end, so they are part of the output.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "base/error_code.h"
#include "library/collation.h"
#include "library/library_format.h"
#include "platform/platform.h"
#include "tags/track_record.h"

namespace deltrix::library {

inline constexpr uint32_t kLiveOpen = 0x48730002;
inline constexpr uint32_t kLiveClosed = 0x48730001;
inline constexpr uint8_t kFlagUpdate = 0x08;
inline constexpr uint8_t kFlagStatsValid = 0x10;

// Where a long operation has got to (the context's phase; informative only).
enum EnginePhase : int32_t {
  kPhaseClosed = 0,
  kPhaseOpen = 1,
  kPhaseRebuild = 3,     // an update drops the removed tracks from the sorted lists
  kPhaseNumbering = 4,   // an update numbers the groups of the kept tracks
  kPhaseIndexing = 8,    // an update indexes ZRTL.DB
  kPhaseRewriting = 13,  // an update rewrites the track list through ZRTB.DB
};

// What an update found changed (the context's change flags).
enum ChangeFlag : uint32_t {
  kTracksRemoved = 1,  // some tracks of the library were not found on the drive
  kFilesQueued = 2,    // files were queued for adding
};

// Where an engine failure happened; each failure appends (live mark, site, step) to the trace.
enum TraceSite : uint32_t {
  kSiteGroupBuild = 0x54290004,
  kSiteUpdateIndex = 0x5429000d,
  kSiteAddListCreate = 0x5429000e,
  kSiteReadBrowseList = 0x5429000f,
  kSiteCheckOpen = 0x54290010,
  kSiteRewrite = 0x54290011,
  kSiteRebuild = 0x54290013,
  kSiteReadAddList = 0x54290015,
  kSiteReadSummary = 0x54290016,
  kSiteReadStats = 0x54290017,
  kSiteAppendAddList = 0x54290018,
  kSiteReadRecord = 0x5429001a,
  kSiteWriteTrackList = 0x5429001b,
  kSiteWriteBrowseList = 0x5429001c,
  kSiteWriteSummary = 0x5429001d,
  kSitePatch = 0x5429001e,
};
inline constexpr int kTraceRecords = 16;
struct TraceRecord {
  uint32_t liveMark = 0;
  uint32_t site = 0;
  uint32_t step = 0;
};

// One entry of a group table, packed in three words: word 0 first track; word 1 bits 0-20 count,
// bits 21-31 the low 11 bits of the index in parent; word 2 bits 0-9 its high 10 bits, bits 10-31
// the first child. Every byte 0xFF marks a free entry (count 0x1FFFFF).
struct GroupEntry {
  static constexpr uint32_t kNone21 = 0x1FFFFF;
  uint32_t word[3] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};

  uint32_t firstTrack() const { return word[0]; }
  uint32_t count() const { return word[1] & kNone21; }
  uint32_t indexInParent() const { return word[1] >> 21 | (word[2] & 0x3FF) << 11; }
  uint32_t firstChild() const { return word[2] >> 10; }
  void SetFirstTrack(uint32_t v) { word[0] = v; }
  void SetCount(uint32_t v) { word[1] = (word[1] & ~kNone21) | (v & kNone21); }
  void SetIndexInParent(uint32_t v) {
    word[1] = (word[1] & kNone21) | (v & 0x7FF) << 21;
    word[2] = (word[2] & ~0x3FFu) | (v >> 11 & 0x3FF);
  }
  void SetFirstChild(uint32_t v) { word[2] = (word[2] & 0x3FF) | v << 10; }
};

// The group tables: key 0 genre (1000), artist in genre, album in artist in genre; key 1 artist,
// album in artist; key 2 album (150000 each).
inline constexpr int kGroupTables = 6;
inline constexpr int GroupTableIndex(int key, int level) {
  return key == 0 ? level : key == 1 ? 3 + level : 5;
}
inline constexpr uint32_t GroupTableCapacity(int table) {
  return table == 0 ? kMaxGenreGroups : kMaxTracks;
}

// The blocks a run's owner allocates and hands to the context; they must outlive it.
struct EngineMemory {
  std::span<uint8_t> pool;        // kPoolBytes in a run
  std::u16string_view root;       // the drive root, E:\ (at most 255 units)
  std::span<uint8_t> fileBuffer;  // kFileBufferBytes in a run
  std::span<uint32_t> aux;        // kAuxBytes / 4 entries: the two quicksort stacks
  std::span<uint8_t> keys = {};   // a create's collation keys (kKeyBytes in a run); may be empty
};

// A pool entry's fixed part and what a batch must keep free for the largest entry.
inline constexpr uint32_t kEntryFixedBytes = 38;
inline constexpr uint32_t kEntryDescriptors = 24;     // offset of the descriptor array
inline constexpr uint32_t kEntryDescriptorsEnd = 34;  // string offsets count from here
inline constexpr uint32_t kEntryStringArea = 892;     // 60 + 96 + 96 + 128 + 512
inline constexpr uint32_t kEntryHeadroom = 930;
inline constexpr size_t kMinFileBufferBytes = 4096;

struct LibraryContext {
  EnginePhase phase = kPhaseClosed;
  uint8_t flags = 0;
  uint16_t currentKey = 0;
  uint32_t totalTracks = 0;
  uint32_t batchCount = 0;
  uint32_t tracksWritten = 0;
  int32_t nextTrackId = 0;
  uint32_t poolPosition = 0;  // offset in `pool` where the next entry goes
  int32_t batchesWritten = 0;
  std::span<uint8_t> pool;  // pool base and capacity (after the update's present flags)
  std::array<uint32_t, kMaxTracks>
      batchTable{};  // pool offsets of the batch's entries, by entry number
  std::array<std::array<uint32_t, kMaxTracks>, 3> groupNumbers{};  // keys 0-2, by track index
  std::array<std::array<uint32_t, kMaxTracks>, kSortKeys>
      sortedLists{};  // track indexes in key order
  std::array<uint32_t, kMaxTracks> mergeList{};
  std::array<GroupEntry, kMaxGenreGroups> genreTable{};
  std::array<std::array<GroupEntry, kMaxTracks>, kGroupTables - 1> otherTables{};
  std::array<StringStats, kStringCount> stats{};
  std::array<uint32_t, kMaxTracks> permutation{};  // the batch's entry numbers in sorted order
  std::array<uint32_t, kMaxTracks>
      recordOffsets{};           // byte offset of each track's record in ZRTL.DB
  uint32_t trackListLength = 0;  // bytes of ZRTL.DB as last written
  // A create's track list while it has more than one batch: gathered on the computer's disk, laid
  // out as ZRTL.DB, and written to the drive once at the end. Null otherwise.
  std::unique_ptr<platform::File> trackListScratch;
  std::array<uint8_t, kRecordReadBytes> recordBuffer{};
  // The collation keys of every track added (see TrackKey), by track index: each track's key block
  // starts at keyBlocks[t] in `keys`. While keysKept, the sort and the merges compare these bytes;
  // once the block is too full for one more track (or in an update) they read the strings.
  std::span<uint8_t> keys;
  uint32_t keysUsed = 0;
  bool keysKept = false;
  std::array<uint32_t, kMaxTracks> keyBlocks{};
  // The quicksort's copy of the first 16 bytes of each batch entry's key (batch_sort.cc).
  std::array<std::array<uint64_t, 2>, kMaxTracks> sortPrefix{};
  std::array<char16_t, 256> previousPath{};  // the last added path, for the path statistics
  uint32_t previousPathUnits = 0;
  std::array<char16_t, 256> root{};
  uint32_t rootUnits = 0;
  std::span<uint8_t> fileBuffer;
  std::span<uint32_t> stackLo;
  std::span<uint32_t> stackHi;
  // Group list entries written to ZRBL.DB per key and level, for ZRDB.DB's list directory.
  std::array<std::array<uint32_t, 3>, 3> listEntries{};
  // Update mode.
  uint32_t changeFlags = 0;
  uint32_t addListReadPosition = 0;
  uint32_t addListFilled = 0;
  bool addListCreated = false;  // ZRTA.LST exists on the drive (made at its first append)
  uint32_t libraryTrackCount = 0;
  uint32_t filesToAdd = 0;
  uint32_t removedTracks = 0;
  std::span<uint8_t> presentFlags;
  std::array<TraceRecord, kTraceRecords> trace{};
  uint32_t traceCount = 0;
  uint32_t liveMark = 0;

  std::span<GroupEntry> Table(int table) {
    return table == 0 ? std::span<GroupEntry>(genreTable)
                      : std::span<GroupEntry>(otherTables[table - 1]);
  }
  std::span<const GroupEntry> Table(int table) const {
    return table == 0 ? std::span<const GroupEntry>(genreTable)
                      : std::span<const GroupEntry>(otherTables[table - 1]);
  }
  std::u16string_view rootPath() const { return {root.data(), rootUnits}; }
};

// Open for create: kDone, or 0 refused (a block missing or not 4-byte aligned, the stacks smaller
// than kAuxBytes, a pool too small for one entry, a file buffer under kMinFileBufferBytes, a root
// that is empty or longer than 255 units). Clears the context, fills the group tables and group
// numbers with 0xFF bytes and sets every sorted list to 0, 1, 2 ...
[[nodiscard]] int OpenForCreate(LibraryContext& ctx, const EngineMemory& memory);
// Open for update: as above; the first kMaxTracks bytes of the pool become the still-present flags
// (cleared), update flag set, batches written 1.
[[nodiscard]] int OpenForUpdate(LibraryContext& ctx, const EngineMemory& memory);
// What adding a track did.
enum AddResult : int {
  kRefused = -1,  // nothing added: the context is not open, the library already holds
                  // kMaxTracks, or a full batch was not written (a caller that ignored
                  // kBatchFull)
  kAdded = 0,
  kBatchFull = 1,    // added; sort and write the batch before the next addition
  kLibraryFull = 2,  // added, and the library now holds kMaxTracks
};
// Copies one track into the pool; the record's path separators become "/" in place.
[[nodiscard]] AddResult AddTrack(LibraryContext& ctx, tags::TrackRecord& record);
// Adds one path to the path statistics: `total` bytes to the total, and to the compact size what is
// left of `counted` bytes once the prefix shared with the path counted before is taken off (unless
// `restart`, as at every 20th track), halved and rounded up to even when that rest is 8-bit text.
// The path becomes the previous path. A create, an update's writing of new records and its recount
// of kept ones each count their paths this one way, with the figures they are given.
void CountPathStatistics(LibraryContext& ctx, std::u16string_view path, uint32_t total,
                         uint32_t counted, bool restart);

// After a batch was written: the pool starts over.
void ResetBatch(LibraryContext& ctx);
void CloseContext(LibraryContext& ctx);
inline bool IsOpen(const LibraryContext& ctx) { return ctx.liveMark == kLiveOpen; }

// Appends a trace record; records beyond 16 are dropped.
void Trace(LibraryContext& ctx, TraceSite site, uint32_t step);

// How an engine step fails: fail(step) appends the step's trace record and answers 0 (not done).
struct StepFailure {
  LibraryContext& ctx;
  TraceSite site;
  int operator()(uint32_t step) const {
    Trace(ctx, site, step);
    return 0;
  }
};

// --- collation keys of the tracks ------------------------------------------------------------
// A key block: 12 bytes of head (bytes 0-2 the stored units of genre, artist and album, bit 7 set
// when every unit is below U+0100; byte 3 zero; u16 where the keys of sort keys 1, 2 and 3 start
// and u16 where the block ends, counted from the end of the head), then the keys (EncodeKeyText) of
// genre, artist and album, the track number (2 bytes, big-endian), the title's key and the track
// number again. Sort key k compares the tail from string k (from the title for key 3): the same
// fields in the same order as CompareSlots, so memcmp gives its order and its ties.
inline constexpr uint32_t kKeyBlockHead = 12;
inline constexpr uint32_t kMaxKeyBlockBytes =
    kKeyBlockHead +
    3 * (kCompareLimit[0] + kCompareLimit[1] + kCompareLimit[2] + kCompareLimit[3]) + 4 + 2 * 2;
struct KeyBytes {
  const uint8_t* bytes = nullptr;
  uint32_t size = 0;
};
// The key of track `track` under sort key `key` (0-3).
inline KeyBytes TrackKey(const LibraryContext& ctx, uint32_t track, int key) {
  const uint8_t* head = ctx.keys.data() + ctx.keyBlocks[track];
  const uint32_t from = key == kGenre ? 0 : GetLe16(head + 4 + 2 * (key - 1));
  return KeyBytes{head + kKeyBlockHead + from, GetLe16(head + 10) - from};
}
// The key of one string (kGenre .. kAlbum) of track `track`: equal bytes, the same group.
KeyBytes TrackKeyValue(const LibraryContext& ctx, uint32_t track, int index);
// The stored units of string `index` (kGenre .. kAlbum) of track `track`, and whether all are below
// U+0100 (what the string statistics count).
uint32_t TrackKeyUnits(const LibraryContext& ctx, uint32_t track, int index, bool* narrow);
// -1, 0 or 1, as memcmp over the shorter, then the shorter first.
inline int CompareKeyBytes(const KeyBytes& a, const KeyBytes& b) {
  const int c = std::memcmp(a.bytes, b.bytes, a.size < b.size ? a.size : b.size);
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size == b.size ? 0 : (a.size < b.size ? -1 : 1);
}

// --- reading pool entries ---------------------------------------------------------------------
inline const uint8_t* EntryAt(const LibraryContext& ctx, uint32_t entryNumber) {
  return ctx.pool.data() + ctx.batchTable[entryNumber];
}
// One stored string of an entry: its units (no terminator), where they are and their width.
struct StoredText {
  const uint8_t* bytes = nullptr;
  uint32_t units = 0;
  bool wide = false;
};
StoredText EntryText(const uint8_t* entry, int index);
inline uint16_t EntryTrackNumber(const uint8_t* entry) { return GetLe16(entry + 16); }
// The sort slot of an entry for key `key`: the strings from the key on (the title always).
void LoadEntrySlot(const uint8_t* entry, int key, SortSlot* slot);
// CompareSlots(a, the entry's slot, key), reading only the entry's strings the comparison reaches.
int CompareSlotWithEntry(const SortSlot& a, const uint8_t* entry, int key);

}  // namespace deltrix::library
