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

// The length BuildRecord gives the record of a pool entry.
uint32_t RecordLength(const uint8_t* entry) {
  uint32_t length = kRecordHeadLength;
  for (int s = 0; s < kStringCount; ++s)
    length += kStringChunkHeadLength + RoundUp4(2 * EntryText(entry, s).units + 2);
  return length;
}

// Builds the batch's records in the file buffer and writes them to `file` at its position, which
// is *fileLength bytes into the track list; notes each record's offset. 0 done, 1 a write while
// gathering failed, 2 the last write failed.
int AppendRecords(LibraryContext& ctx, platform::File& file, uint32_t* fileLength) {
  uint8_t* buffer = ctx.fileBuffer.data();
  const size_t flushAt = ctx.fileBuffer.size() - kFlushReserve;
  size_t gathered = 0;
  for (uint32_t e = 0; e < ctx.batchCount; ++e) {
    const uint32_t t = ctx.tracksWritten + e;
    ctx.recordOffsets[t] = *fileLength + static_cast<uint32_t>(gathered);
    gathered += BuildRecord(ctx, e, t, buffer + gathered);
    if (gathered > flushAt) {
      if (!WriteAll(file, buffer, gathered)) return 1;
      *fileLength += static_cast<uint32_t>(gathered);
      gathered = 0;
    }
  }
  if (gathered > 0 && !WriteAll(file, buffer, gathered)) return 2;
  *fileLength += static_cast<uint32_t>(gathered);
  return 0;
}

// Byte span of track t's record, from the offsets (records are contiguous).
uint32_t RecordSpan(const LibraryContext& ctx, uint32_t t) {
  const uint32_t begin = ctx.recordOffsets[t];
  const uint32_t end = t + 1 < ctx.tracksWritten ? ctx.recordOffsets[t + 1] : ctx.trackListLength;
  return end > begin ? end - begin : 0;
}

// The records of tracks [i, j) as read into `buffer` (contiguous from track i's): writes the group
// numbers of keys 0-2 into the chunks of strings 0-2. False when a record is not well formed.
bool PatchRecords(LibraryContext& ctx, uint8_t* buffer, uint32_t i, uint32_t j) {
  size_t pos = 0;
  for (uint32_t t = i; t < j; ++t) {
    const uint32_t span = RecordSpan(ctx, t);
    uint8_t* base = buffer + pos;
    if (span < kRecordHeadLength || !HasTag(base, kRecordTag)) return false;
    uint32_t at = GetLe32(base + 4);  // the first chunk follows the head
    for (int s = 0; s <= kAlbum; ++s) {
      if (at > span || span - at < kStringChunkHeadLength || !HasTag(base + at, kStringChunkTag))
        return false;
      const uint32_t chunkLength = GetLe32(base + at + 8);
      if (chunkLength < kStringChunkHeadLength || chunkLength > span - at) return false;
      PutLe32(base + at + 16, ctx.groupNumbers[s][t]);
      at += chunkLength;
    }
    pos += span;
  }
  return true;
}

// From track i on, as many whole records as fit `room` bytes (at least one): returns the track
// after the last, and their bytes in *gathered.
uint32_t RecordRun(const LibraryContext& ctx, uint32_t i, size_t room, size_t* gathered) {
  *gathered = 0;
  uint32_t j = i;
  while (j < ctx.totalTracks && (j == i || *gathered + RecordSpan(ctx, j) <= room)) {
    *gathered += RecordSpan(ctx, j);
    ++j;
  }
  return j;
}

// A create's track list of a single batch: its length is known before the first byte, so the
// header goes first and the file is written front to back, once.
int WriteWholeTrackList(LibraryContext& ctx, platform::FileSystem& files) {
  const StepFailure fail{ctx, kSiteWriteTrackList};
  uint32_t length = kTrackListHeadLength;
  for (uint32_t e = 0; e < ctx.batchCount; ++e) length += RecordLength(EntryAt(ctx, e));
  std::unique_ptr<platform::File> file =
      OpenLibraryFile(files, ctx.rootPath(), kTrackListFile, "wb");
  if (!file) return fail(1);
  uint8_t head[kTrackListHeadLength];
  PutHeader(head, length, ctx.totalTracks);
  if (!WriteAll(*file, head, sizeof head)) return fail(2);
  uint32_t fileLength = kTrackListHeadLength;
  if (const int failed = AppendRecords(ctx, *file, &fileLength); failed != 0)
    return fail(failed == 1 ? 3 : 4);
  if (fileLength != length || !file->Close()) return fail(5);
  ctx.trackListLength = fileLength;
  ctx.tracksWritten = ctx.totalTracks;
  return kDone;
}

// A create's batch that is not its only one: appended to the track list gathered in the scratch
// file (made with the first batch, with a header that the write to the drive replaces).
int AppendToScratch(LibraryContext& ctx, platform::FileSystem& files) {
  const StepFailure fail{ctx, kSiteWriteTrackList};
  const bool first = !ctx.trackListScratch;
  uint32_t fileLength = ctx.trackListLength;
  if (first) {
    ctx.trackListScratch = files.OpenScratch();
    if (!ctx.trackListScratch) return fail(1);
    uint8_t head[kTrackListHeadLength];
    PutHeader(head, kTrackListHeadLength, 0);
    if (!WriteAll(*ctx.trackListScratch, head, sizeof head)) return fail(2);
    fileLength = kTrackListHeadLength;
  } else if (!ctx.trackListScratch->Seek(fileLength, platform::SeekFrom::Start)) {
    return fail(9);  // the merge's reads moved the position
  }
  if (const int failed = AppendRecords(ctx, *ctx.trackListScratch, &fileLength); failed != 0)
    return fail(first ? (failed == 1 ? 3 : 4) : (failed == 1 ? 10 : 11));
  ctx.trackListLength = fileLength;
  ctx.tracksWritten = ctx.totalTracks;
  return kDone;
}

// Reads the scratch file it borrows; closing it leaves the scratch file open.
class BorrowedFile : public platform::File {
 public:
  explicit BorrowedFile(platform::File& file) : file_(file) {}
  size_t Read(void* dst, size_t size) override { return open_ ? file_.Read(dst, size) : 0; }
  size_t Write(const void*, size_t) override { return 0; }
  bool Seek(int64_t offset, platform::SeekFrom from) override {
    return open_ && file_.Seek(offset, from);
  }
  int64_t Tell() override { return open_ ? file_.Tell() : -1; }
  bool Close() override {
    const bool was = open_;
    open_ = false;
    return was;
  }

 private:
  platform::File& file_;
  bool open_ = true;
};

// An update's batch: appended to ZRTL.DB on the drive, whose header is then rewritten.
int AppendOnDrive(LibraryContext& ctx, platform::FileSystem& files) {
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

  if (const int failed = AppendRecords(ctx, *file, &fileLength); failed != 0)
    return fail(failed == 1 ? (append ? 10 : 3) : (append ? 11 : 4));

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

}  // namespace

int WriteTrackListBatch(LibraryContext& ctx, platform::FileSystem& files, bool last) {
  if (!IsOpen(ctx)) return 0;
  if ((ctx.flags & kFlagUpdate) != 0) return AppendOnDrive(ctx, files);
  if (ctx.tracksWritten == 0 && last && !ctx.trackListScratch)
    return WriteWholeTrackList(ctx, files);
  return AppendToScratch(ctx, files);
}

std::unique_ptr<platform::File> OpenWrittenTrackList(LibraryContext& ctx,
                                                     platform::FileSystem& files) {
  if (ctx.trackListScratch) return std::make_unique<BorrowedFile>(*ctx.trackListScratch);
  return OpenLibraryFile(files, ctx.rootPath(), kTrackListFile, "rb");
}

int WriteTrackListFromScratch(LibraryContext& ctx, platform::FileSystem& files) {
  if (!IsOpen(ctx) || !ctx.trackListScratch) return CreateDataFailed;
  auto fail = [&ctx](uint32_t step, int code) {
    Trace(ctx, kSitePatch, step);
    return code;
  };
  platform::File& scratch = *ctx.trackListScratch;
  std::unique_ptr<platform::File> file =
      OpenLibraryFile(files, ctx.rootPath(), kTrackListFile, "wb");
  if (!file) return fail(1, WriteFileFailed);
  uint8_t head[kTrackListHeadLength];
  PutHeader(head, ctx.trackListLength, ctx.totalTracks);
  if (!WriteAll(*file, head, sizeof head)) return fail(2, WriteFileFailed);

  // Runs of whole records, read from the scratch file, numbered and written on in order.
  uint8_t* buffer = ctx.fileBuffer.data();
  const size_t room = ctx.fileBuffer.size() - kFlushReserve;
  uint32_t i = 0;
  while (i < ctx.totalTracks) {
    size_t gathered = 0;
    const uint32_t j = RecordRun(ctx, i, room, &gathered);
    if (gathered > ctx.fileBuffer.size() ||
        !scratch.Seek(ctx.recordOffsets[i], platform::SeekFrom::Start) ||
        scratch.Read(buffer, gathered) != gathered) {
      return fail(4, CreateDataFailed);
    }
    if (!PatchRecords(ctx, buffer, i, j)) return fail(5, CreateDataFailed);
    if (!WriteAll(*file, buffer, gathered)) return fail(6, WriteFileFailed);
    i = j;
  }
  if (!file->Close()) return fail(7, WriteFileFailed);
  ctx.trackListScratch.reset();
  return Success;
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
    const uint32_t j = RecordRun(ctx, i, room, &gathered);
    if (gathered > ctx.fileBuffer.size()) return fail(4);
    if (!file->Seek(runStart, platform::SeekFrom::Start) ||
        file->Read(buffer, gathered) != gathered)
      return fail(4);
    if (!PatchRecords(ctx, buffer, i, j)) return fail(5);
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
