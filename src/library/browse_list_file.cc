#include "library/browse_list_file.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "base/byte_order.h"
#include "base/byte_reader.h"
#include "base/error_code.h"
#include "library/group_tables.h"
#include "library/library_files.h"

namespace deltrix::library {

namespace {

// Gathers the file in the run's file buffer, writing it out whenever the filled part exceeds the
// buffer size minus the reserve. Lengths are known before writing, so the file is written once,
// front to back, with the same bytes a placeholder-and-rewrite would leave.
class Sink {
 public:
  Sink(platform::File& file, std::span<uint8_t> buffer) : file_(file), buffer_(buffer) {}
  bool Le32(uint32_t v) {
    PutLe32(buffer_.data() + used_, v);
    used_ += 4;
    return used_ <= buffer_.size() - kFlushReserve || Flush();
  }
  bool Tag(const char (&tag)[4]) {
    std::memcpy(buffer_.data() + used_, tag, 4);
    used_ += 4;
    return used_ <= buffer_.size() - kFlushReserve || Flush();
  }
  bool Bytes4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    const uint8_t v[4] = {a, b, c, d};
    return Le32(GetLe32(v));
  }
  bool Flush() {
    const bool ok = used_ == 0 || file_.Write(buffer_.data(), used_) == used_;
    used_ = 0;
    return ok;
  }

 private:
  platform::File& file_;
  std::span<uint8_t> buffer_;
  size_t used_ = 0;
};

uint32_t ListLength(uint32_t n, uint32_t rowBytes) { return kListHeadLength + rowBytes * n; }

}  // namespace

int WriteBrowseList(LibraryContext& ctx, platform::FileSystem& files) {
  if (!IsOpen(ctx)) return 0;
  const StepFailure fail{ctx, kSiteWriteBrowseList};
  const uint32_t total = ctx.totalTracks;
  uint32_t blockLength[kSortKeys];
  uint32_t fileLength = kBrowseListHeadLength;
  for (int key = 0; key < kSortKeys; ++key) {
    blockLength[key] = kBlockHeadLength + ListLength(total, 4);
    for (int level = 0; key < kTitle && level < LevelsOfKey(key); ++level) {
      const uint32_t n = StoredEntries(ctx, GroupTableIndex(key, level));
      ctx.listEntries[key][level] = n;
      blockLength[key] += ListLength(n, kGroupRowBytes);
    }
    fileLength += blockLength[key];
  }

  std::unique_ptr<platform::File> file =
      OpenLibraryFile(files, ctx.rootPath(), kBrowseListFile, "w+b");
  if (!file) return fail(1);
  Sink out(*file, ctx.fileBuffer);
  if (!out.Tag(kBrowseListTag) || !out.Le32(kBrowseListHeadLength) || !out.Le32(fileLength) ||
      !out.Le32(kSortKeys)) {
    return fail(2);
  }
  for (int key = 0; key < kSortKeys; ++key) {
    const int levels = key < kTitle ? LevelsOfKey(key) : 0;
    if (!out.Tag(kBlockTag) || !out.Le32(kBlockHeadLength) || !out.Le32(blockLength[key]) ||
        !out.Le32(static_cast<uint32_t>(levels + 1)) || !out.Le32(static_cast<uint32_t>(key))) {
      return fail(3);
    }
    if (!out.Tag(kListTag) || !out.Le32(kListHeadLength) || !out.Le32(ListLength(total, 4)) ||
        !out.Bytes4(kListKindTracks, kTrackListAttribute, 0, 0) || !out.Le32(total)) {
      return fail(4);
    }
    for (uint32_t p = 0; p < total; ++p) {
      if (!out.Le32(ctx.sortedLists[key][p])) return fail(4);
    }
    for (int level = 0; level < levels; ++level) {
      const uint32_t n = ctx.listEntries[key][level];
      const uint8_t attribute = static_cast<uint8_t>(key + level);  // key + (level from 1) - 1
      if (!out.Tag(kListTag) || !out.Le32(kListHeadLength) ||
          !out.Le32(ListLength(n, kGroupRowBytes)) ||
          !out.Bytes4(kListKindGroups, attribute, static_cast<uint8_t>(level + 1), 0) ||
          !out.Le32(n)) {
        return fail(6);
      }
      const auto table = ctx.Table(GroupTableIndex(key, level));
      for (uint32_t e = 0; e < n; ++e) {
        const GroupEntry& g = table[e];
        if (!out.Le32(g.firstTrack()) || !out.Le32(g.firstChild()) || !out.Le32(g.count()) ||
            !out.Le32(g.indexInParent())) {
          return fail(6);
        }
      }
    }
  }
  if (!out.Flush() || !file->Close()) return fail(8);
  return kDone;
}

int ReadBrowseList(LibraryContext& ctx, platform::FileSystem& files, uint32_t count) {
  if (!IsOpen(ctx) || count > kMaxTracks) return 0;
  const StepFailure fail{ctx, kSiteReadBrowseList};
  std::unique_ptr<platform::File> file =
      OpenLibraryFile(files, ctx.rootPath(), kBrowseListFile, "rb");
  if (!file) return fail(1);
  uint8_t head[kBlockHeadLength];
  if (file->Read(head, kBrowseListHeadLength) != kBrowseListHeadLength ||
      !HasTag(head, kBrowseListTag) || GetLe32(head + 4) != kBrowseListHeadLength ||
      GetLe32(head + 12) != kSortKeys) {
    return fail(2);
  }
  const uint32_t fileLength = GetLe32(head + 8);
  // Reads one list head at `at` and checks it frames `n` rows of `rowBytes` as the writer does.
  auto listHead = [&](uint64_t at, uint8_t kind, uint8_t attribute, uint8_t level, uint32_t* n) {
    if (!file->Seek(static_cast<int64_t>(at), platform::SeekFrom::Start) ||
        file->Read(head, kListHeadLength) != kListHeadLength || !HasTag(head, kListTag) ||
        GetLe32(head + 4) != kListHeadLength || head[12] != kind || head[13] != attribute ||
        head[14] != level || head[15] != 0) {
      return false;
    }
    *n = GetLe32(head + 16);
    const uint32_t rowBytes = kind == kListKindTracks ? 4 : kGroupRowBytes;
    return *n <= kMaxTracks && GetLe32(head + 8) == ListLength(*n, rowBytes);
  };
  // Rows are read through the file buffer; values are little-endian on every host.
  auto readRows = [&](uint32_t n, uint32_t rowBytes, const auto& take) {
    const uint32_t perRead = static_cast<uint32_t>(ctx.fileBuffer.size() / rowBytes);
    for (uint32_t done = 0; done < n;) {
      const uint32_t chunk = std::min(n - done, perRead);
      const size_t bytes = size_t{rowBytes} * chunk;
      if (file->Read(ctx.fileBuffer.data(), bytes) != bytes) return false;
      for (uint32_t i = 0; i < chunk; ++i) {
        if (!take(done + i, ctx.fileBuffer.data() + size_t{rowBytes} * i)) return false;
      }
      done += chunk;
    }
    return true;
  };

  // The group tables are built from the lists and the records' group numbers as a finish builds
  // them, and the file's group lists must be what a finish would write. The tables are cleared
  // again afterwards: the update's own finish builds them from scratch.
  const uint32_t totalTracks = ctx.totalTracks;
  ctx.totalTracks = count;
  std::span<uint32_t> seen(ctx.mergeList.data(), count);
  uint64_t blockAt = kBrowseListHeadLength;
  int result = kDone;
  for (int key = 0; key < kSortKeys && result == kDone; ++key) {
    const int levels = key < kTitle ? LevelsOfKey(key) : 0;
    if (!file->Seek(static_cast<int64_t>(blockAt), platform::SeekFrom::Start) ||
        file->Read(head, kBlockHeadLength) != kBlockHeadLength || !HasTag(head, kBlockTag) ||
        GetLe32(head + 4) != kBlockHeadLength || GetLe32(head + 12) != uint32_t(levels + 1) ||
        GetLe32(head + 16) != uint32_t(key)) {
      result = fail(3);
      break;
    }
    const uint64_t blockEnd = blockAt + GetLe32(head + 8);
    uint64_t listAt = blockAt + kBlockHeadLength;
    uint32_t n = 0;
    if (!listHead(listAt, kListKindTracks, kTrackListAttribute, 0, &n)) {
      result = fail(4);
      break;
    }
    // Every track once, in a list as long as the library.
    std::fill(seen.begin(), seen.end(), 0u);
    auto& list = ctx.sortedLists[key];
    if (n != count || !readRows(n, 4, [&](uint32_t p, const uint8_t* row) {
          const uint32_t t = GetLe32(row);
          if (t >= count || seen[t] != 0) return false;
          seen[t] = 1;
          list[p] = t;
          return true;
        })) {
      result = fail(5);
      break;
    }
    listAt += ListLength(n, 4);
    if (key == kTitle) {
      if (listAt != blockEnd) result = fail(3);
      blockAt = blockEnd;
      break;
    }
    // The group numbers under the key count up from 0 along its list, by one where the value
    // changes, until the key's limit.
    uint32_t counter = 0;
    for (uint32_t p = 0; p < count; ++p) {
      const uint32_t number = ctx.groupNumbers[key][list[p]];
      if (p > 0 && number != ctx.groupNumbers[key][list[p - 1]]) ++counter;
      if (number != (counter >= kGroupLimit[key] ? kGroupNumberOverflow : counter)) {
        result = fail(6);
        break;
      }
    }
    if (result != kDone || BuildGroupTables(ctx, key) != kDone) {
      result = fail(6);
      break;
    }
    for (int level = 0; level < levels && result == kDone; ++level) {
      const int table = GroupTableIndex(key, level);
      const auto entries = ctx.Table(table);
      const uint32_t stored = StoredEntries(ctx, table);
      const uint8_t attribute = static_cast<uint8_t>(key + level);
      if (!listHead(listAt, kListKindGroups, attribute, static_cast<uint8_t>(level + 1), &n) ||
          n != stored || !readRows(n, kGroupRowBytes, [&](uint32_t e, const uint8_t* row) {
            const GroupEntry& g = entries[e];
            return GetLe32(row) == g.firstTrack() && GetLe32(row + 4) == g.firstChild() &&
                   GetLe32(row + 8) == g.count() && GetLe32(row + 12) == g.indexInParent();
          })) {
        result = fail(7);
        break;
      }
      ctx.listEntries[key][level] = n;
      listAt += ListLength(n, kGroupRowBytes);
    }
    if (result == kDone && listAt != blockEnd) result = fail(3);
    blockAt = blockEnd;
  }
  // The file ends with the last block, where its header says.
  int64_t size = -1;
  if (result == kDone && file->Seek(0, platform::SeekFrom::End)) size = file->Tell();
  if (result == kDone && (blockAt != fileLength || size != int64_t{fileLength})) result = fail(2);
  ctx.totalTracks = totalTracks;
  ctx.genreTable.fill(GroupEntry{});
  for (auto& table : ctx.otherTables) table.fill(GroupEntry{});
  return result;
}

}  // namespace deltrix::library
