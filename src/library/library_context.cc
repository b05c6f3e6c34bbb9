#include "library/library_context.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "base/byte_order.h"
#include "base/utf16.h"

namespace deltrix::library {

namespace {

constexpr size_t kRecordCapacity[kStringCount] = {
    tags::kGenreUnits, tags::kArtistUnits, tags::kAlbumUnits, tags::kTitleUnits, tags::kPathUnits};

bool Aligned(const void* p) { return reinterpret_cast<uintptr_t>(p) % 4 == 0; }

bool AllBelow100(const char16_t* text, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    if (text[i] >= 0x100) return false;
  }
  return true;
}

uint32_t RoundUpEven(uint32_t n) { return (n + 1) & ~1u; }

// Units of a record field: up to its terminator, never beyond its capacity; a field that is not
// terminated (no reader leaves one so) keeps capacity - 1 units, as a stored text would.
uint32_t FieldUnits(const char16_t* field, size_t capacity) {
  return static_cast<uint32_t>(std::min(U16Length(field, capacity), capacity - 1));
}

// Stores n units at dst in 8-bit units when all are below U+0100 and the terminator falls within
// the first `limit` units, else as UTF-16LE cut so that the stored form stays within `limit` bytes.
// Returns the bytes stored; *narrow tells the form.
uint32_t StoreString(uint8_t* dst, const char16_t* text, uint32_t n, uint32_t limit, bool* narrow) {
  if (n < limit && AllBelow100(text, n)) {
    *narrow = true;
    for (uint32_t i = 0; i < n; ++i) dst[i] = static_cast<uint8_t>(text[i]);
    dst[n] = 0;
    const uint32_t stored = RoundUpEven(n + 1);
    if (stored > n + 1) dst[n + 1] = 0;
    return stored;
  }
  *narrow = false;
  const uint32_t m = std::min(n, limit / 2 - 1);
  for (uint32_t i = 0; i < m; ++i) PutLe16(dst + 2 * i, text[i]);
  PutLe16(dst + 2 * m, 0);
  return 2 * m + 2;
}

// Appends the key block of the entry at `entry` (track `track`) to the context's keys; when fewer
// than kMaxKeyBlockBytes are free, stops keeping keys for the rest of the run.
void KeepTrackKeys(LibraryContext& ctx, const uint8_t* entry, uint32_t track) {
  if (ctx.keys.size() - ctx.keysUsed < kMaxKeyBlockBytes) {
    ctx.keysKept = false;
    return;
  }
  uint8_t* head = ctx.keys.data() + ctx.keysUsed;
  uint8_t* body = head + kKeyBlockHead;
  uint32_t at = 0;
  const uint16_t number = EntryTrackNumber(entry);
  head[3] = 0;
  for (int s = kGenre; s <= kTitle; ++s) {
    const StoredText t = EntryText(entry, s);
    const KeyText text = MakeKeyText(t.bytes, t.units, t.wide, s);
    if (s == kTitle) {
      body[at++] = static_cast<uint8_t>(number >> 8);
      body[at++] = static_cast<uint8_t>(number);
    } else {
      head[s] = static_cast<uint8_t>(t.units | (text.Narrow() ? 0x80 : 0));
    }
    if (s > kGenre) PutLe16(head + 4 + 2 * (s - 1), static_cast<uint16_t>(at));
    at += EncodeKeyText(text, body + at);
  }
  body[at++] = static_cast<uint8_t>(number >> 8);
  body[at++] = static_cast<uint8_t>(number);
  PutLe16(head + 10, static_cast<uint16_t>(at));
  ctx.keyBlocks[track] = ctx.keysUsed;
  ctx.keysUsed += kKeyBlockHead + at;
}

int OpenCommon(LibraryContext& ctx, const EngineMemory& memory, size_t poolSkip) {
  if (memory.pool.empty() || !Aligned(memory.pool.data()) || memory.root.empty() ||
      memory.root.size() > ctx.root.size() - 1 || memory.fileBuffer.size() < kMinFileBufferBytes ||
      !Aligned(memory.fileBuffer.data()) || memory.aux.size() < kAuxBytes / 4 ||
      !Aligned(memory.aux.data()) || memory.pool.size() < poolSkip + kEntryHeadroom) {
    return 0;
  }
  // Clear the whole context.
  ctx.phase = kPhaseClosed;
  ctx.flags = 0;
  ctx.currentKey = 0;
  ctx.batchTable.fill(0);
  ctx.mergeList.fill(0);
  ctx.stats.fill(StringStats{});
  ctx.permutation.fill(0);
  ctx.recordOffsets.fill(0);
  ctx.trackListLength = 0;
  ctx.trackListScratch.reset();
  ctx.recordBuffer.fill(0);
  ctx.keys = memory.keys;
  ctx.keysUsed = 0;
  ctx.keysKept = !memory.keys.empty();
  ctx.previousPath.fill(0);
  ctx.previousPathUnits = 0;
  ctx.root.fill(0);
  for (auto& row : ctx.listEntries) row.fill(0);
  ctx.changeFlags = ctx.addListReadPosition = ctx.addListFilled = 0;
  ctx.libraryTrackCount = ctx.filesToAdd = ctx.removedTracks = 0;
  ctx.presentFlags = {};

  ctx.pool = memory.pool.subspan(poolSkip);
  ctx.genreTable.fill(GroupEntry{});
  for (auto& table : ctx.otherTables) table.fill(GroupEntry{});
  for (auto& numbers : ctx.groupNumbers) numbers.fill(kGroupNumberUnset);
  for (auto& list : ctx.sortedLists) std::iota(list.begin(), list.end(), 0u);
  ctx.fileBuffer = memory.fileBuffer;
  ctx.stackLo = memory.aux.first(kMaxTracks);
  ctx.stackHi = memory.aux.subspan(kMaxTracks, kMaxTracks);
  ctx.flags = kFlagStatsValid;
  std::copy(memory.root.begin(), memory.root.end(), ctx.root.begin());
  ctx.rootUnits = static_cast<uint32_t>(memory.root.size());
  ctx.totalTracks = ctx.batchCount = ctx.tracksWritten = 0;
  ctx.nextTrackId = 0;
  ctx.batchesWritten = 0;
  ctx.poolPosition = 0;
  ctx.trace.fill(TraceRecord{});
  ctx.traceCount = 0;
  ctx.liveMark = kLiveOpen;
  ctx.phase = kPhaseOpen;
  return kDone;
}

}  // namespace

void Trace(LibraryContext& ctx, TraceSite site, uint32_t step) {
  if (ctx.traceCount >= kTraceRecords) return;
  ctx.trace[ctx.traceCount++] = TraceRecord{ctx.liveMark, site, step};
}

int OpenForCreate(LibraryContext& ctx, const EngineMemory& memory) {
  return OpenCommon(ctx, memory, 0);
}

int OpenForUpdate(LibraryContext& ctx, const EngineMemory& memory) {
  if (OpenCommon(ctx, memory, kMaxTracks) != kDone) return 0;
  ctx.presentFlags = memory.pool.first(kMaxTracks);
  std::fill(ctx.presentFlags.begin(), ctx.presentFlags.end(), uint8_t{0});
  ctx.flags = kFlagUpdate | kFlagStatsValid;
  ctx.batchesWritten = 1;
  ctx.keysKept = false;  // the library's tracks have no keys: its records are read back
  return kDone;
}

AddResult AddTrack(LibraryContext& ctx, tags::TrackRecord& record) {
  if (!IsOpen(ctx) || ctx.totalTracks >= kMaxTracks || ctx.batchCount >= kMaxTracks ||
      ctx.pool.size() - ctx.poolPosition < kEntryHeadroom) {
    return kRefused;
  }
  const uint32_t start = ctx.poolPosition;
  uint8_t* entry = ctx.pool.data() + start;
  ctx.batchTable[ctx.batchCount] = start;
  std::memset(entry, 0, kEntryFixedBytes + kEntryStringArea);
  uint32_t pos = start + kEntryFixedBytes;
  const bool create = (ctx.flags & kFlagUpdate) == 0;

  const char16_t* fields[kStringCount] = {record.genre, record.artist, record.album, record.title,
                                          record.path};
  uint32_t units[kStringCount];
  for (int s = 0; s < kStringCount; ++s) units[s] = FieldUnits(fields[s], kRecordCapacity[s]);

  auto store = [&](int s) {
    bool narrow = false;
    const uint32_t offset = pos - (start + kEntryDescriptorsEnd);
    const uint32_t stored =
        StoreString(ctx.pool.data() + pos, fields[s], units[s], kStoredLimit[s], &narrow);
    PutLe16(entry + kEntryDescriptors + 2 * s,
            static_cast<uint16_t>((offset & 0xFFF) | (narrow ? 0x8000 : 0)));
    pos += stored;
    return stored;
  };
  for (int s = kGenre; s <= kAlbum; ++s) store(s);
  const uint32_t titleStored = store(kTitle);
  if (create) {
    ctx.stats[kTitle].total += 2 * units[kTitle] + 2;
    ctx.stats[kTitle].compact += titleStored;
  }

  // The player's paths use "/". A path from a listing is UTF-16 and never uses the yen sign as a
  // separator: it is a character of the file's name and stays.
  char16_t* path = record.path;
  const uint32_t pathUnits = units[kPath];
  for (uint32_t i = 0; i < pathUnits; ++i) {
    if (path[i] == u'\\') path[i] = u'/';
  }
  if (create) {
    const uint32_t n = 2 * pathUnits + 2;
    CountPathStatistics(ctx, std::u16string_view(path, pathUnits), n, n,
                        ctx.totalTracks % kPathShareInterval == 0);
  }
  store(kPath);

  PutLe32(entry + 0, static_cast<uint32_t>(ctx.nextTrackId));
  PutLe32(entry + 4, static_cast<uint32_t>(record.fileSize));
  PutLe32(entry + 8, static_cast<uint32_t>(record.reservedA));
  PutLe32(entry + 12, static_cast<uint32_t>(record.reservedB));
  PutLe16(entry + 16, static_cast<uint16_t>(record.trackNumber));
  PutLe16(entry + 18, static_cast<uint16_t>(record.reservedC));
  PutLe32(entry + 20, record.PackedWord());
  ++ctx.nextTrackId;
  if (ctx.keysKept) KeepTrackKeys(ctx, entry, ctx.totalTracks);

  ctx.poolPosition = (pos + 3) & ~3u;
  ++ctx.totalTracks;
  ++ctx.batchCount;
  if (ctx.totalTracks >= kMaxTracks) return kLibraryFull;
  if (ctx.batchCount >= kMaxTracks || ctx.poolPosition + kEntryHeadroom >= ctx.pool.size())
    return kBatchFull;
  return kAdded;
}

void CountPathStatistics(LibraryContext& ctx, std::u16string_view path, uint32_t total,
                         uint32_t counted, bool restart) {
  const uint32_t units = static_cast<uint32_t>(std::min(path.size(), ctx.previousPath.size() - 1));
  uint32_t shared = 0;
  if (!restart) {
    const uint32_t common = std::min(units, ctx.previousPathUnits);
    while (shared < common && path[shared] == ctx.previousPath[shared]) ++shared;
  }
  const uint32_t rest = counted - 2 * shared;
  StringStats& st = ctx.stats[kPath];
  st.total += total;
  st.compact += AllBelow100(path.data() + shared, units - shared) ? RoundUpEven(rest / 2) : rest;
  std::copy(path.begin(), path.begin() + units, ctx.previousPath.begin());
  ctx.previousPath[units] = 0;
  ctx.previousPathUnits = units;
}

void ResetBatch(LibraryContext& ctx) {
  if (!IsOpen(ctx)) return;
  ++ctx.batchesWritten;
  ctx.batchCount = 0;
  ctx.poolPosition = 0;
}

void CloseContext(LibraryContext& ctx) {
  if (!IsOpen(ctx)) return;
  ctx.trackListScratch.reset();
  ctx.liveMark = kLiveClosed;
}

StoredText EntryText(const uint8_t* entry, int index) {
  const uint16_t d = GetLe16(entry + kEntryDescriptors + 2 * index);
  const uint32_t offset = d & 0xFFF;
  StoredText t;
  t.bytes = entry + kEntryDescriptorsEnd + offset;
  t.wide = (d & 0x8000) == 0;
  if (index < kPath) {
    // The next string starts where this one's stored bytes end.
    const uint32_t stored = (GetLe16(entry + kEntryDescriptors + 2 * (index + 1)) & 0xFFF) - offset;
    if (t.wide) {
      t.units = stored / 2 - 1;
    } else {
      t.units = (stored >= 2 && t.bytes[stored - 2] != 0) ? stored - 1 : stored - 2;
    }
  } else if (t.wide) {
    while (t.units < kStoredLimit[kPath] / 2 && GetLe16(t.bytes + 2 * t.units) != 0) ++t.units;
  } else {
    while (t.units < kStoredLimit[kPath] && t.bytes[t.units] != 0) ++t.units;
  }
  return t;
}

KeyBytes TrackKeyValue(const LibraryContext& ctx, uint32_t track, int index) {
  const uint8_t* head = ctx.keys.data() + ctx.keyBlocks[track];
  const uint32_t from = index == kGenre ? 0 : GetLe16(head + 4 + 2 * (index - 1));
  // The album's key ends where the track number before the title starts.
  const uint32_t to = GetLe16(head + 4 + 2 * index) - (index == kAlbum ? 2 : 0);
  return KeyBytes{head + kKeyBlockHead + from, to - from};
}

uint32_t TrackKeyUnits(const LibraryContext& ctx, uint32_t track, int index, bool* narrow) {
  const uint8_t b = ctx.keys[ctx.keyBlocks[track] + index];
  *narrow = (b & 0x80) != 0;
  return b & 0x7F;
}

void LoadEntrySlot(const uint8_t* entry, int key, SortSlot* slot) {
  for (int s = key; s <= kTitle; ++s) {
    const StoredText t = EntryText(entry, s);
    slot->text[s] = MakeKeyText(t.bytes, t.units, t.wide, s);
  }
  slot->trackNumber = EntryTrackNumber(entry);
}

int CompareSlotWithEntry(const SortSlot& a, const uint8_t* entry, int key) {
  const int last = key < kTitle ? kAlbum : kTitle;
  for (int s = key; s <= last; ++s) {
    const StoredText t = EntryText(entry, s);
    if (const int c = CompareKeyText(a.text[s], MakeKeyText(t.bytes, t.units, t.wide, s)); c != 0)
      return c;
  }
  const uint16_t number = EntryTrackNumber(entry);
  if (a.trackNumber != number) return a.trackNumber < number ? -1 : 1;
  if (key == kTitle) return 0;
  const StoredText title = EntryText(entry, kTitle);
  return CompareKeyText(a.text[kTitle], MakeKeyText(title.bytes, title.units, title.wide, kTitle));
}

}  // namespace deltrix::library
