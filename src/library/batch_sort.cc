#include "library/batch_sort.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <utility>

#include "base/byte_order.h"
#include "base/error_code.h"
#include "library/library_files.h"
#include "library/track_list_file.h"

namespace deltrix::library {

namespace {

// The partition step: i climbs past entries the pivot is greater than, j descends past entries it
// is less than, then they swap. Where equal keys end up depends on every detail here, and libraries
// already on players have them in this order. `pivotVersus(p)` compares the pivot with the entry at
// position p (slot 1 of the comparison); `swap(i, j)` swaps the entries at two positions.
template <typename PivotVersus, typename Swap>
int64_t Partition(PivotVersus pivotVersus, Swap swap, int64_t lo, int64_t hi) {
  int64_t i = lo;
  int64_t j = hi;
  if (i > j) return i;
  for (;;) {
    if (j == 0) return i;
    while (i < hi && pivotVersus(i) > 0) ++i;
    while (lo < j && pivotVersus(j) < 0) --j;
    if (i >= j) return i;
    swap(i, j);
    ++i;
    --j;
    if (i > j) return i;
  }
}

// Group numbering of the final pass: walks the merged order of one key.
class Numbering {
 public:
  Numbering(LibraryContext& ctx, int key, bool active)
      : ctx_(ctx), key_(key), active_(active && key < kTitle) {
    if (active_) ctx_.stats[key_] = StringStats{};
  }
  bool active() const { return active_; }

  void Add(uint32_t track, const KeyText& text) {
    if (!any_ || !SameKeyValue(previous_, text)) {
      if (any_) ++counter_;
      any_ = true;
      current_ = counter_ >= kGroupLimit[key_] ? kGroupNumberOverflow : counter_;
      StringStats& st = ctx_.stats[key_];
      st.total += 2 * text.length + 2;
      st.compact += (text.Narrow() ? text.length : 2 * text.length) + 2;
      // The group's first value stands for the previous track: every track of a group has the same
      // normalised value.
      for (uint32_t i = text.begin; i < text.end; ++i)
        PutLe16(copy_ + 2 * (i - text.begin), text.Unit(i));
      previous_ = KeyText{copy_, text.size(), 0, text.size(), true};
    }
    ctx_.groupNumbers[key_][track] = current_;
  }

  // The same from the kept keys: a new group where the value's key differs from the group's first.
  void AddKept(uint32_t track) {
    const KeyBytes value = TrackKeyValue(ctx_, track, key_);
    if (!any_ || CompareKeyBytes(first_, value) != 0) {
      if (any_) ++counter_;
      any_ = true;
      current_ = counter_ >= kGroupLimit[key_] ? kGroupNumberOverflow : counter_;
      bool narrow = false;
      const uint32_t units = TrackKeyUnits(ctx_, track, key_, &narrow);
      StringStats& st = ctx_.stats[key_];
      st.total += 2 * units + 2;
      st.compact += (narrow ? units : 2 * units) + 2;
      first_ = value;
    }
    ctx_.groupNumbers[key_][track] = current_;
  }

  void Finish() {
    if (active_) ctx_.stats[key_].count = any_ ? std::min(counter_ + 1, kGroupLimit[key_]) : 0;
  }

 private:
  LibraryContext& ctx_;
  const int key_;
  const bool active_;
  bool any_ = false;
  uint32_t counter_ = 0;
  uint32_t current_ = 0;
  uint8_t copy_[2 * 256] = {};
  KeyText previous_;
  KeyBytes first_;
};

KeyText EntryKeyText(const uint8_t* entry, int key) {
  const StoredText t = EntryText(entry, key);
  return MakeKeyText(t.bytes, t.units, t.wide, key);
}

// Reads written track `track` back from ZRTL.DB into the record buffer and loads `slot` from it.
int LoadWrittenSlot(LibraryContext& ctx, platform::File& file, uint32_t track, int key,
                    SortSlot* slot) {
  const uint32_t offset = ctx.recordOffsets[track];
  const uint32_t end =
      track + 1 < ctx.tracksWritten ? ctx.recordOffsets[track + 1] : ctx.trackListLength;
  const size_t want =
      end > offset ? std::min<size_t>(end - offset, kRecordReadBytes) : kRecordReadBytes;
  size_t got = 0;
  if (file.Seek(offset, platform::SeekFrom::Start)) got = file.Read(ctx.recordBuffer.data(), want);
  const int parsed =
      ParseRecordSlot(std::span<const uint8_t>(ctx.recordBuffer.data(), got), key, slot);
  if (parsed != kDone) Trace(ctx, kSiteReadRecord, static_cast<uint32_t>(parsed));
  return parsed;
}

// The merge over the kept keys: the written tracks' keys are in memory, nothing is read back.
void MergeKept(LibraryContext& ctx, int key, Numbering& numbering) {
  const uint32_t batch = ctx.batchCount;
  const uint32_t written = ctx.tracksWritten;
  auto& list = ctx.sortedLists[key];
  auto& out = ctx.mergeList;
  uint32_t w = 0;
  uint32_t b = 0;
  uint32_t n = 0;
  if (w < written && b < batch) {
    KeyBytes writtenKey = TrackKey(ctx, list[w], key);
    KeyBytes batchKey = TrackKey(ctx, ctx.permutation[b] + written, key);
    for (;;) {
      // On equal keys the batch's track goes first.
      if (CompareKeyBytes(writtenKey, batchKey) < 0) {
        out[n++] = list[w];
        if (++w == written) break;
        writtenKey = TrackKey(ctx, list[w], key);
      } else {
        out[n++] = ctx.permutation[b] + written;
        if (++b == batch) break;
        batchKey = TrackKey(ctx, ctx.permutation[b] + written, key);
      }
    }
  }
  for (; w < written; ++w) out[n++] = list[w];
  for (; b < batch; ++b) out[n++] = ctx.permutation[b] + written;
  if (numbering.active()) {
    for (uint32_t p = 0; p < n; ++p) numbering.AddKept(out[p]);
  }
  numbering.Finish();
  std::copy(out.begin(), out.begin() + n, list.begin());
}

}  // namespace

int SortBatch(LibraryContext& ctx) {
  if (!IsOpen(ctx)) return 0;
  const int key = ctx.currentKey;
  auto& perm = ctx.permutation;
  const uint32_t n = ctx.batchCount;
  for (uint32_t e = 0; e < n; ++e) perm[e] = e;
  if (n == 0) return kDone;
  // Keyed, the first 16 bytes of each entry's key (two big-endian words, zero padded) move with
  // the entry, by position: keys that differ there compare without their key block.
  auto& prefix = ctx.sortPrefix;
  if (ctx.keysKept) {
    for (uint32_t e = 0; e < n; ++e) {
      const KeyBytes k = TrackKey(ctx, ctx.tracksWritten + e, key);
      for (uint32_t half = 0; half < 2; ++half) {
        uint64_t word = 0;
        for (uint32_t i = 8 * half; i < 8 * half + 8; ++i)
          word = word << 8 | (i < k.size ? k.bytes[i] : 0);
        prefix[e][half] = word;
      }
    }
  }
  int64_t lo = 0;
  int64_t hi = n - 1;
  size_t depth = 0;
  SortSlot pivot;
  const uint32_t written = ctx.tracksWritten;
  for (;;) {
    while (hi <= lo) {
      if (depth == 0) return kDone;
      --depth;
      lo = ctx.stackLo[depth];
      hi = ctx.stackHi[depth];
    }
    const int64_t middle = (lo + hi) / 2 + 1;
    int64_t c = 0;
    if (ctx.keysKept) {
      const KeyBytes pivotKey = TrackKey(ctx, written + perm[middle], key);
      const std::array<uint64_t, 2> pivotPrefix = prefix[middle];
      c = Partition(
          [&](int64_t p) {
            if (pivotPrefix[0] != prefix[p][0]) return pivotPrefix[0] < prefix[p][0] ? -1 : 1;
            if (pivotPrefix[1] != prefix[p][1]) return pivotPrefix[1] < prefix[p][1] ? -1 : 1;
            return CompareKeyBytes(pivotKey, TrackKey(ctx, written + perm[p], key));
          },
          [&](int64_t i, int64_t j) {
            std::swap(perm[i], perm[j]);
            std::swap(prefix[i], prefix[j]);
          },
          lo, hi);
    } else {
      LoadEntrySlot(EntryAt(ctx, perm[middle]), key, &pivot);
      c = Partition(
          [&](int64_t p) { return CompareSlotWithEntry(pivot, EntryAt(ctx, perm[p]), key); },
          [&](int64_t i, int64_t j) { std::swap(perm[i], perm[j]); }, lo, hi);
    }
    if (c > lo + 1) {
      if (depth >= ctx.stackLo.size()) return 0;
      ctx.stackLo[depth] = static_cast<uint32_t>(c);
      ctx.stackHi[depth] = static_cast<uint32_t>(hi);
      ++depth;
      hi = c - 1;
    } else {
      lo = c;
    }
  }
}

int MergeBatch(LibraryContext& ctx, platform::FileSystem& files, bool final) {
  if (!IsOpen(ctx)) return 0;
  const int key = ctx.currentKey;
  const uint32_t batch = ctx.batchCount;
  const uint32_t written = ctx.tracksWritten;
  auto& list = ctx.sortedLists[key];
  Numbering numbering(ctx, key, final);
  if (final && key == kTitle) {
    ctx.stats[kTitle].count = ctx.totalTracks;
    ctx.stats[kPath].count = ctx.totalTracks;
  }

  if (ctx.batchesWritten == 0 || written == 0) {
    // Nothing written yet: the batch order is the list.
    for (uint32_t p = 0; p < batch; ++p) {
      const uint32_t e = ctx.permutation[p];
      list[p] = e + written;
      if (!numbering.active()) continue;
      if (ctx.keysKept) {
        numbering.AddKept(e + written);
      } else {
        numbering.Add(e + written, EntryKeyText(EntryAt(ctx, e), key));
      }
    }
    numbering.Finish();
    return kDone;
  }
  if (ctx.keysKept) {
    MergeKept(ctx, key, numbering);
    return kDone;
  }

  std::unique_ptr<platform::File> file = OpenWrittenTrackList(ctx, files);
  if (!file) {
    Trace(ctx, kSiteReadRecord, 1);
    return 0;
  }
  auto& out = ctx.mergeList;
  SortSlot writtenSlot;  // slot 0
  SortSlot batchSlot;    // slot 1
  uint32_t w = 0;
  uint32_t b = 0;
  uint32_t n = 0;
  bool writtenLoaded = false;
  auto loadWritten = [&]() {
    writtenLoaded = LoadWrittenSlot(ctx, *file, list[w], key, &writtenSlot) == kDone;
    return writtenLoaded;
  };
  auto loadBatch = [&]() { LoadEntrySlot(EntryAt(ctx, ctx.permutation[b]), key, &batchSlot); };

  if (batch > 0) {
    if (!loadWritten()) return 0;
    loadBatch();
  }
  while (w < written && b < batch) {
    if (CompareSlots(writtenSlot, batchSlot, key) < 0) {
      out[n++] = list[w];
      if (numbering.active()) numbering.Add(list[w], writtenSlot.text[key]);
      writtenLoaded = false;
      if (++w < written && !loadWritten()) return 0;
    } else {
      const uint32_t track = ctx.permutation[b] + written;
      out[n++] = track;
      if (numbering.active()) numbering.Add(track, batchSlot.text[key]);
      if (++b < batch) loadBatch();
    }
  }
  for (; w < written; ++w) {
    if (numbering.active()) {
      if (!writtenLoaded && !loadWritten()) return 0;
      numbering.Add(list[w], writtenSlot.text[key]);
      writtenLoaded = false;
    }
    out[n++] = list[w];
  }
  for (; b < batch; ++b) {
    const uint32_t track = ctx.permutation[b] + written;
    if (numbering.active())
      numbering.Add(track, EntryKeyText(EntryAt(ctx, ctx.permutation[b]), key));
    out[n++] = track;
  }
  numbering.Finish();
  std::copy(out.begin(), out.begin() + n, list.begin());
  return kDone;
}

int SortAndWriteBatch(LibraryContext& ctx, platform::FileSystem& files, bool final) {
  for (int key = 0; key < kSortKeys; ++key) {
    ctx.currentKey = static_cast<uint16_t>(key);
    if (SortBatch(ctx) != kDone) return CreateDataFailed;
    if (MergeBatch(ctx, files, final) != kDone) return CreateDataFailed;
  }
  if (WriteTrackListBatch(ctx, files, final) != kDone) return WriteFileFailed;
  ResetBatch(ctx);
  return Success;
}

}  // namespace deltrix::library
