#include "library/library_index.h"

#include <algorithm>
#include <limits>
#include <span>

#include "base/byte_order.h"
#include "library/browse_list_file.h"
#include "library/library_files.h"
#include "library/summary_file.h"

namespace deltrix::library {

namespace {

// Serves ZRTL.DB front to back through the file buffer, refilling it from the asked offset.
class SequentialReader {
 public:
  SequentialReader(platform::File& file, std::span<uint8_t> buffer, uint64_t fileLength)
      : file_(file), buffer_(buffer), fileLength_(fileLength) {}
  // The bytes [offset, offset + want), fewer at the file's end; empty when they cannot be read.
  std::span<const uint8_t> At(uint64_t offset, size_t want) {
    if (offset >= fileLength_) return {};
    want = static_cast<size_t>(std::min<uint64_t>(want, fileLength_ - offset));
    if (offset < start_ || offset + want > start_ + filled_) {
      filled_ = 0;
      start_ = offset;
      if (!file_.Seek(static_cast<int64_t>(offset), platform::SeekFrom::Start)) return {};
      filled_ =
          file_.Read(buffer_.data(),
                     static_cast<size_t>(std::min<uint64_t>(buffer_.size(), fileLength_ - offset)));
    }
    const size_t have = static_cast<size_t>(std::min<uint64_t>(want, start_ + filled_ - offset));
    return {buffer_.data() + (offset - start_), have};
  }

 private:
  platform::File& file_;
  std::span<uint8_t> buffer_;
  uint64_t fileLength_;
  uint64_t start_ = 0;
  size_t filled_ = 0;
};

}  // namespace

int LibraryIndex::Read(LibraryContext& ctx, platform::FileSystem& files) {
  maxTrackId_ = 0;
  if (IndexTrackList(ctx, files) != kDone) return 0;
  return ReadListsAndSummary(ctx, files);
}

int LibraryIndex::IndexTrackList(LibraryContext& ctx, platform::FileSystem& files) {
  ctx.phase = kPhaseIndexing;
  const StepFailure fail{ctx, kSiteUpdateIndex};
  // Read only: an update that changes nothing must not open a library file for writing.
  std::unique_ptr<platform::File> file =
      OpenLibraryFile(files, ctx.rootPath(), kTrackListFile, "rb");
  if (!file) return fail(1);
  uint8_t head[kTrackListHeadLength];
  if (file->Read(head, sizeof head) != sizeof head || !HasTag(head, kTrackListTag)) return fail(3);
  const uint32_t headLength = GetLe32(head + 4);
  const uint32_t fileLength = GetLe32(head + 8);
  const uint32_t count = GetLe32(head + 12);
  int64_t size = -1;
  if (file->Seek(0, platform::SeekFrom::End)) size = file->Tell();
  // Appends land at the header's length, and every offset is counted from it: it must be the end.
  if (count > kMaxTracks || size != int64_t{fileLength} || headLength != kTrackListHeadLength ||
      headLength > fileLength) {
    return fail(3);
  }
  paths_.Clear();
  figures_ = Figures{};
  std::span<uint32_t> ids(ctx.permutation.data(), count);
  SequentialReader in(*file, ctx.fileBuffer, fileLength);
  uint32_t offset = headLength;
  uint32_t digest = kIdDigestSeed;
  for (uint32_t i = 0; i < count; ++i) {
    // Each record as it is read: whole and sound, carrying its own index and group numbers.
    const std::span<const uint8_t> bytes = in.At(offset, kRecordReadBytes);
    TrackRecordView record;
    if (const RecordFault fault = ParseTrackRecord(bytes, &record); fault != kRecordSound)
      return fail(fault);
    if (record.index != i) return fail(kNotATrackRecord);
    for (int key = 0; key < kTitle; ++key) {
      if (record.groupNumber[key] == kGroupNumberUnset) return fail(kNotATrackRecord);
      ctx.groupNumbers[key][i] = record.groupNumber[key];
    }
    ctx.presentFlags[i] = 0;
    ctx.recordOffsets[i] = offset;
    ids[i] = record.id;
    digest = FoldTrackId(digest, record.id);
    figures_.Add(record);
    PathHash hash;
    const uint8_t* path = bytes.data() + record.dataAt[kPath];
    for (uint32_t u = 0; u < record.units[kPath]; ++u)
      hash.Add(static_cast<char16_t>(GetLe16(path + 2 * u)));
    if (!paths_.Add(hash.Bucket(), i, record.dataAt[kPath])) return fail(3);
    offset += record.length;  // within the file: the record lies inside what was read
  }
  if (offset != fileLength) return fail(3);  // records must end where the header says
  // Track ids are never given twice.
  std::sort(ids.begin(), ids.end());
  if (std::adjacent_find(ids.begin(), ids.end()) != ids.end()) return fail(9);
  maxTrackId_ = count > 0 ? ids.back() : 0;
  ctx.libraryTrackCount = count;
  ctx.trackListLength = fileLength;
  stamp_ = LibraryStamp{fileLength, count, digest};
  return kDone;
}

void LibraryIndex::Figures::Add(const TrackRecordView& record) {
  // A create counts a string's UTF-16 bytes with its terminator; an update that drops tracks
  // recounts it from its data length + 2. The summary holds one of the two for every track.
  for (int s = kTitle; s <= kPath; ++s) {
    const uint32_t bytes = 2 * record.units[s] + 2;
    least[s - kTitle] += bytes;
    most[s - kTitle] += record.dataLength[s] + 2;
  }
}

int LibraryIndex::ReadListsAndSummary(LibraryContext& ctx, platform::FileSystem& files) {
  const uint32_t count = ctx.libraryTrackCount;
  if (ReadBrowseList(ctx, files, count) != kDone) return 0;
  // The records' group numbers have been held against the lists; a merge numbers them again.
  for (auto& numbers : ctx.groupNumbers) numbers.fill(kGroupNumberUnset);
  // A summary that announces sections it does not hold is cut short or damaged: left as it is, an
  // update would write the library again without its statistics and its list directory.
  const uint32_t traced = ctx.traceCount;
  SummaryContents summary;
  if (ReadSummary(ctx, files, &summary) != kDone) return 0;
  for (uint32_t r = traced; r < ctx.traceCount; ++r) {
    if (ctx.trace[r].site == kSiteReadStats) return 0;
  }
  // New tracks take ids from here on: each must be new, and 150000 of them must fit.
  if (ctx.nextTrackId < 0 ||
      ctx.nextTrackId > std::numeric_limits<int32_t>::max() - int32_t{kMaxTracks} ||
      (count > 0 && static_cast<uint32_t>(ctx.nextTrackId) <= maxTrackId_)) {
    Trace(ctx, kSiteReadSummary, 3);
    return 0;
  }
  // What the summary says of the library must be what the other files say: its counts, the title
  // and path totals and the list directory (a summary taken from another library does not fit).
  if ((ctx.flags & kFlagStatsValid) != 0 && !SummaryFits(ctx, summary)) {
    Trace(ctx, kSiteReadSummary, 4);
    return 0;
  }
  return kDone;
}

bool LibraryIndex::SummaryFits(const LibraryContext& ctx, const SummaryContents& summary) const {
  const uint32_t count = ctx.libraryTrackCount;
  if (!summary.hasStatistics || !summary.hasDirectory) return false;
  for (int s = kGenre; s < kTitle; ++s) {
    if (summary.stats[s].count != ctx.listEntries[s][0]) return false;
  }
  for (int s = kTitle; s <= kPath; ++s) {
    const uint32_t total = summary.stats[s].total;
    if (summary.stats[s].count != count || total < figures_.least[s - kTitle] ||
        total > figures_.most[s - kTitle]) {
      return false;
    }
  }
  size_t e = 0;
  for (uint32_t i = 0; i < kSortKeys; ++i) {
    for (uint32_t j = 0; j <= 3 - i; ++j, ++e) {
      const bool trackList = j == 3 - i;
      const DirectoryEntry& d = summary.directory[e];
      if (d.key != i || d.kind != (trackList ? kListKindTracks : kListKindGroups) ||
          d.attribute != i + j || d.level != j ||
          d.entries != (trackList ? count : ctx.listEntries[i][j])) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace deltrix::library
