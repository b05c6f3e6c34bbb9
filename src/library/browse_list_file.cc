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
  auto fail = [&](uint32_t step) {
    Trace(ctx, kSiteWriteBrowseList, step);
    return 0;
  };
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

int ReadSortedLists(LibraryContext& ctx, platform::FileSystem& files, uint32_t counts[4]) {
  if (!IsOpen(ctx)) return 0;
  auto fail = [&](uint32_t step) {
    Trace(ctx, kSiteReadBrowseList, step);
    return 0;
  };
  std::unique_ptr<platform::File> file =
      OpenLibraryFile(files, ctx.rootPath(), kBrowseListFile, "rb");
  if (!file) return fail(1);
  uint8_t head[kBlockHeadLength];
  if (file->Read(head, kBrowseListHeadLength) != kBrowseListHeadLength ||
      !HasTag(head, kBrowseListTag)) {
    return fail(2);
  }
  uint64_t blockAt = GetLe32(head + 4);
  for (int key = 0; key < kSortKeys; ++key) {
    if (!file->Seek(static_cast<int64_t>(blockAt), platform::SeekFrom::Start) ||
        file->Read(head, kBlockHeadLength) != kBlockHeadLength || !HasTag(head, kBlockTag)) {
      return fail(3);
    }
    const uint32_t blockHead = GetLe32(head + 4);
    const uint32_t blockLength = GetLe32(head + 8);
    if (blockHead < kBlockHeadLength || blockLength < blockHead) return fail(3);
    uint64_t listAt = blockAt + blockHead;
    const uint64_t blockEnd = blockAt + blockLength;
    for (;;) {
      if (listAt + kListHeadLength > blockEnd ||
          !file->Seek(static_cast<int64_t>(listAt), platform::SeekFrom::Start) ||
          file->Read(head, kListHeadLength) != kListHeadLength || !HasTag(head, kListTag)) {
        return fail(4);
      }
      const uint32_t listLength = GetLe32(head + 8);
      if (listLength < kListHeadLength || listAt + listLength > blockEnd) return fail(4);
      if (head[12] == kListKindTracks) {
        const uint32_t n = GetLe32(head + 16);
        if (n > kMaxTracks || listLength != ListLength(n, 4)) return fail(5);
        // Read through the file buffer; indexes are little-endian on every host.
        uint32_t done = 0;
        while (done < n) {
          const uint32_t chunk =
              std::min<uint32_t>(n - done, static_cast<uint32_t>(ctx.fileBuffer.size() / 4));
          if (file->Read(ctx.fileBuffer.data(), 4 * size_t{chunk}) != 4 * size_t{chunk})
            return fail(5);
          for (uint32_t i = 0; i < chunk; ++i)
            ctx.sortedLists[key][done + i] = GetLe32(ctx.fileBuffer.data() + 4 * i);
          done += chunk;
        }
        counts[key] = n;
        break;
      }
      listAt += listLength;
    }
    blockAt = blockEnd;
  }
  return kDone;
}

}  // namespace deltrix::library
