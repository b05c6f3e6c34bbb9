#include "library/track_list_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/byte_order.h"
#include "base/byte_reader.h"
#include "base/error_code.h"
#include "library/library_files.h"
#include "library/track_record_view.h"

namespace deltrix::library {

namespace {

uint32_t RoundUp4(uint32_t n) { return (n + 3) & ~3u; }
uint32_t RoundUpEven(uint32_t n) { return (n + 1) & ~1u; }

void PutTag(uint8_t* p, const char (&tag)[4]) { std::memcpy(p, tag, 4); }

void PutHeader(uint8_t* p, uint32_t fileLength, uint32_t count) {
  PutTag(p, kTrackListTag);
  PutLe32(p + 4, kTrackListHeadLength);
  PutLe32(p + 8, fileLength);
  PutLe32(p + 12, count);
}

bool NarrowUnits(const StoredText& t, uint32_t from) {
  if (!t.wide) return true;
  for (uint32_t i = from; i < t.units; ++i) {
    if (GetLe16(t.bytes + 2 * i) >= 0x100) return false;
  }
  return true;
}

char16_t UnitOf(const StoredText& t, uint32_t i) {
  return t.wide ? static_cast<char16_t>(GetLe16(t.bytes + 2 * i)) : t.bytes[i];
}

// In update mode the title and path statistics are counted as records are written.
void CountWrittenStrings(LibraryContext& ctx, const StoredText& title, const StoredText& path,
                         uint32_t trackIndex) {
  const uint32_t w = 2 * title.units + 2;
  StringStats& ts = ctx.stats[kTitle];
  ts.total += w;
  ts.compact += NarrowUnits(title, 0) ? RoundUpEven(w / 2) : w;
  ++ts.count;

  // The path's compact size is counted from its data length.
  char16_t units[kPathUnits];
  const uint32_t n = std::min<uint32_t>(path.units, kPathUnits);
  for (uint32_t i = 0; i < n; ++i) units[i] = UnitOf(path, i);
  CountPathStatistics(ctx, std::u16string_view(units, n), 2 * path.units + 2,
                      RoundUp4(2 * path.units + 2), trackIndex % kPathShareInterval == 0);
}

// Builds the record of batch entry `e` (track index t) at dst; returns its length (at most 1060).
uint32_t BuildRecord(LibraryContext& ctx, uint32_t e, uint32_t t, uint8_t* dst) {
  const uint8_t* entry = EntryAt(ctx, e);
  const uint32_t packed = GetLe32(entry + 20);
  PutTag(dst, kRecordTag);
  PutLe32(dst + 4, kRecordHeadLength);
  PutLe32(dst + 12, kStringCount);
  dst[16] = static_cast<uint8_t>(packed >> 24);
  dst[17] = static_cast<uint8_t>(packed >> 23 & 1);
  dst[18] = dst[19] = 0;
  PutLe32(dst + 20, t);
  std::memcpy(dst + 24, entry + 0, 4);   // id
  std::memcpy(dst + 28, entry + 4, 4);   // fileSize
  std::memcpy(dst + 32, entry + 8, 4);   // reservedA
  std::memcpy(dst + 36, entry + 16, 2);  // trackNumber
  std::memcpy(dst + 38, entry + 18, 2);  // reservedC
  std::memcpy(dst + 40, entry + 12, 4);  // reservedB
  dst[44] = static_cast<uint8_t>(packed);
  dst[45] = static_cast<uint8_t>(packed >> 8);
  dst[46] = static_cast<uint8_t>(packed >> 16 & 0x7F);
  dst[47] = 0;

  uint32_t pos = kRecordHeadLength;
  StoredText texts[kStringCount];
  for (int s = 0; s < kStringCount; ++s) {
    const StoredText text = EntryText(entry, s);
    texts[s] = text;
    const uint32_t dataLength = RoundUp4(2 * text.units + 2);
    uint8_t* chunk = dst + pos;
    PutTag(chunk, kStringChunkTag);
    PutLe32(chunk + 4, kStringChunkHeadLength);
    PutLe32(chunk + 8, kStringChunkHeadLength + dataLength);
    PutLe32(chunk + 12, static_cast<uint32_t>(s));
    PutLe32(chunk + 16, s <= kAlbum ? ctx.groupNumbers[s][t] : 0);
    PutLe32(chunk + 20, dataLength);
    uint8_t* data = chunk + kStringChunkHeadLength;
    for (uint32_t i = 0; i < text.units; ++i) PutLe16(data + 2 * i, UnitOf(text, i));
    std::memset(data + 2 * text.units, 0, dataLength - 2 * text.units);
    pos += kStringChunkHeadLength + dataLength;
  }
  PutLe32(dst + 8, pos);
  if (ctx.flags & kFlagUpdate) CountWrittenStrings(ctx, texts[kTitle], texts[kPath], t);
  return pos;
}

bool WriteAll(platform::File& file, const uint8_t* p, size_t n) { return file.Write(p, n) == n; }

// Byte span of track t's record, from the offsets (records are contiguous).
uint32_t RecordSpan(const LibraryContext& ctx, uint32_t t) {
  const uint32_t begin = ctx.recordOffsets[t];
  const uint32_t end = t + 1 < ctx.tracksWritten ? ctx.recordOffsets[t + 1] : ctx.trackListLength;
  return end > begin ? end - begin : 0;
}

}  // namespace

int WriteTrackListBatch(LibraryContext& ctx, platform::FileSystem& files) {
  if (!IsOpen(ctx)) return 0;
  const bool append = ctx.tracksWritten != 0;
  const StepFailure fail{ctx, kSiteWriteTrackList};
  std::unique_ptr<platform::File> file;
  uint8_t head[kTrackListHeadLength];
  uint32_t fileLength = 0;
  if (!append) {
    file = OpenLibraryFile(files, ctx.rootPath(), kTrackListFile, "w+b");
    if (!file) return fail(1);
    PutHeader(head, kTrackListHeadLength, ctx.totalTracks);
    if (!WriteAll(*file, head, sizeof head)) return fail(2);
    fileLength = kTrackListHeadLength;
  } else {
    file = OpenLibraryFile(files, ctx.rootPath(), kTrackListFile, "a+b");
    if (!file) return fail(6);
    if (!file->Seek(0, platform::SeekFrom::Start) || file->Read(head, sizeof head) != sizeof head)
      return fail(7);
    if (!HasTag(head, kTrackListTag)) return fail(8);
    if (GetLe32(head + 12) != ctx.tracksWritten) return fail(9);
    fileLength = GetLe32(head + 8);
    // Offsets are counted from the header's length: it must be where the appends land.
    if (!file->Seek(0, platform::SeekFrom::End) ||
        file->Tell() != static_cast<int64_t>(fileLength)) {
      return fail(9);
    }
  }

  uint8_t* buffer = ctx.fileBuffer.data();
  const size_t flushAt = ctx.fileBuffer.size() - kFlushReserve;
  size_t gathered = 0;
  for (uint32_t e = 0; e < ctx.batchCount; ++e) {
    const uint32_t t = ctx.tracksWritten + e;
    ctx.recordOffsets[t] = fileLength + static_cast<uint32_t>(gathered);
    gathered += BuildRecord(ctx, e, t, buffer + gathered);
    if (gathered > flushAt) {
      if (!WriteAll(*file, buffer, gathered)) return fail(append ? 10 : 3);
      fileLength += static_cast<uint32_t>(gathered);
      gathered = 0;
    }
  }
  if (gathered > 0 && !WriteAll(*file, buffer, gathered)) return fail(append ? 11 : 4);
  fileLength += static_cast<uint32_t>(gathered);

  if (append) {
    const bool closed = file->Close();
    file.reset();
    if (!closed) return fail(11);
    file = OpenLibraryFile(files, ctx.rootPath(), kTrackListFile, "r+b");
    if (!file) return fail(12);
  }
  PutHeader(head, fileLength, ctx.totalTracks);
  if (!file->Seek(0, platform::SeekFrom::Start) || !WriteAll(*file, head, sizeof head) ||
      !file->Close()) {
    return fail(append ? 12 : 5);
  }
  ctx.trackListLength = fileLength;
  ctx.tracksWritten = ctx.totalTracks;
  return kDone;
}

int PatchGroupNumbers(LibraryContext& ctx, platform::FileSystem& files) {
  if (!IsOpen(ctx)) return 0;
  const StepFailure fail{ctx, kSitePatch};
  std::unique_ptr<platform::File> file =
      OpenLibraryFile(files, ctx.rootPath(), kTrackListFile, "r+b");
  if (!file) return fail(1);
  uint8_t head[kTrackListHeadLength];
  if (file->Read(head, sizeof head) != sizeof head) return fail(2);
  if (!HasTag(head, kTrackListTag)) return fail(3);

  // Records are contiguous: each run that fits the buffer is read, patched and written back whole.
  uint8_t* buffer = ctx.fileBuffer.data();
  const size_t room = ctx.fileBuffer.size() - kFlushReserve;
  uint32_t i = 0;
  while (i < ctx.totalTracks) {
    const uint32_t runStart = ctx.recordOffsets[i];
    size_t gathered = 0;
    uint32_t j = i;
    while (j < ctx.totalTracks && (j == i || gathered + RecordSpan(ctx, j) <= room)) {
      gathered += RecordSpan(ctx, j);
      ++j;
    }
    if (gathered > ctx.fileBuffer.size()) return fail(4);
    if (!file->Seek(runStart, platform::SeekFrom::Start) ||
        file->Read(buffer, gathered) != gathered)
      return fail(4);
    size_t pos = 0;
    for (uint32_t t = i; t < j; ++t) {
      const uint32_t span = RecordSpan(ctx, t);
      uint8_t* base = buffer + pos;
      if (span < kRecordHeadLength || !HasTag(base, kRecordTag)) return fail(5);
      uint32_t at = GetLe32(base + 4);  // the first chunk follows the head
      for (int s = 0; s <= kAlbum; ++s) {
        if (at > span || span - at < kStringChunkHeadLength || !HasTag(base + at, kStringChunkTag))
          return fail(5);
        const uint32_t chunkLength = GetLe32(base + at + 8);
        if (chunkLength < kStringChunkHeadLength || chunkLength > span - at) return fail(5);
        PutLe32(base + at + 16, ctx.groupNumbers[s][t]);
        at += chunkLength;
      }
      pos += span;
    }
    const bool last = j >= ctx.totalTracks;
    if (!file->Seek(runStart, platform::SeekFrom::Start) ||
        file->Write(buffer, gathered) != gathered) {
      return fail(last ? 7 : 6);
    }
    i = j;
  }
  if (!file->Close()) return fail(7);
  return kDone;
}

int ParseRecordSlot(std::span<const uint8_t> bytes, int key, SortSlot* slot) {
  if (bytes.size() < kRecordHeadLength) return 4;
  TrackRecordView record;
  if (ParseTrackRecord(bytes, &record) != kRecordSound) return 5;
  slot->trackNumber = record.trackNumber;
  for (int s = key; s <= kTitle; ++s)
    slot->text[s] = MakeKeyText(bytes.data() + record.dataAt[s], record.units[s], true, s);
  return kDone;
}

}  // namespace deltrix::library
