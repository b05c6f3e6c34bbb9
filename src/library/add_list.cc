#include "library/add_list.h"

#include <algorithm>
#include <memory>

#include "base/byte_order.h"
#include "base/byte_reader.h"
#include "base/utf16.h"
#include "library/library_files.h"
#include "tags/read_track_file.h"

namespace deltrix::library {

namespace {

uint32_t RoundUp4(uint32_t n) { return (n + 3) & ~3u; }

}  // namespace

uint32_t AddListKind(std::u16string_view path) {
  // The tag readers' table of extensions; the add list numbers the kinds its own way.
  switch (tags::ClassifyExtension(path)) {
    case tags::FileType::Mp3:
      return 1;
    case tags::FileType::M4a:
      return 2;
    case tags::FileType::Aac:
      return 3;
    case tags::FileType::Mp4:
      return 4;
    case tags::FileType::Wav:
      return 12;
    case tags::FileType::Aiff:
      return 13;
    case tags::FileType::None:
      break;
  }
  return 0;
}

int CreateAddList(LibraryContext& ctx, platform::FileSystem& /*files*/) {
  if (!IsOpen(ctx)) return 0;
  ctx.addListFilled = 0;
  ctx.addListReadPosition = 0;
  ctx.addListCreated = false;
  return kDone;
}

int QueueAddListRecord(LibraryContext& ctx, platform::FileSystem& files, uint32_t fileSize,
                       uint32_t kind, std::u16string_view relativePath) {
  if (!IsOpen(ctx)) return 0;
  if (relativePath.size() > kAddListMaxPathUnits ||
      ctx.fileBuffer.size() - ctx.addListFilled < kAddListRecordMax) {
    Trace(ctx, kSiteAppendAddList, 3);
    return 0;
  }
  const uint32_t d = static_cast<uint32_t>(2 * relativePath.size());
  const uint32_t pathData = RoundUp4(d);
  uint8_t* p = ctx.fileBuffer.data() + ctx.addListFilled;
  PutLe32(p + 0, 12 + 12 + 8 + pathData);
  PutLe32(p + 4, fileSize);
  PutLe32(p + 8, kind);
  PutLe32(p + 12, 12);
  PutLe32(p + 16, 1);
  PutLe32(p + 20, 0);
  PutLe32(p + 24, 8 + pathData);
  PutLe32(p + 28, d);
  uint8_t* data = p + kAddListHeadBytes;
  for (size_t i = 0; i < relativePath.size(); ++i) PutLe16(data + 2 * i, relativePath[i]);
  std::fill(data + d, data + pathData, uint8_t{0});
  ctx.addListFilled += kAddListHeadBytes + pathData;
  if (ctx.addListFilled > ctx.fileBuffer.size() - kAddListFlushReserve)
    return FlushAddList(ctx, files);
  return kDone;
}

int FlushAddList(LibraryContext& ctx, platform::FileSystem& files) {
  if (!IsOpen(ctx)) return 0;
  if (ctx.addListFilled == 0) return kDone;
  std::unique_ptr<platform::File> file =
      OpenLibraryFile(files, ctx.rootPath(), kAddListFile, ctx.addListCreated ? "a+b" : "w+b");
  if (!file) {
    if (ctx.addListCreated) {
      Trace(ctx, kSiteAppendAddList, 1);
    } else {
      Trace(ctx, kSiteAddListCreate, 1);
    }
    return 0;
  }
  ctx.addListCreated = true;
  const size_t n = ctx.addListFilled;
  const bool written = file->Write(ctx.fileBuffer.data(), n) == n;
  if (!file->Close() || !written) {
    Trace(ctx, kSiteAppendAddList, 2);
    return 0;
  }
  ctx.addListFilled = 0;
  return kDone;
}

AddListRead AddListReader::Next(std::span<char16_t> path, uint32_t* units) {
  auto fail = [&]() {
    Trace(ctx_, kSiteReadAddList, 1);
    return kAddListBroken;
  };
  if (!IsOpen(ctx_) || path.size() < kAddListMaxPathUnits) return fail();
  if (!opened_) {
    opened_ = true;
    ctx_.addListReadPosition = 0;
    file_ = OpenLibraryFile(files_, ctx_.rootPath(), kAddListFile, "rb");
  }
  if (!file_) return fail();
  uint8_t bytes[kAddListReadBytes];
  if (!file_->Seek(ctx_.addListReadPosition, platform::SeekFrom::Start)) return fail();
  const size_t got = file_->Read(bytes, sizeof bytes);
  if (got == 0) return kAddListEnded;
  ByteReader in(std::span<const uint8_t>(bytes, got));
  uint32_t recordLength = 0, fileSize = 0, kind = 0, nameBlock = 0, pathBlock = 0, d = 0;
  if (!in.ReadLe32(&recordLength) || !in.ReadLe32(&fileSize) || !in.ReadLe32(&kind) ||
      !in.ReadLe32(&nameBlock)) {
    return fail();
  }
  // The name block (its length counted from its own first field) and the path block fill the rest.
  if (nameBlock < 4 || recordLength < 12 || nameBlock > recordLength - 12 ||
      !in.Skip(nameBlock - 4) || !in.ReadLe32(&pathBlock) || !in.ReadLe32(&d)) {
    return fail();
  }
  if (pathBlock < 8 || recordLength > kAddListReadBytes ||
      recordLength != uint64_t{12} + nameBlock + pathBlock || d % 2 != 0 || d > pathBlock - 8 ||
      d > 2 * kAddListMaxPathUnits || d > in.remaining()) {
    return fail();
  }
  *units = d / 2;
  for (uint32_t i = 0; i < *units; ++i) path[i] = static_cast<char16_t>(GetLe16(in.data() + 2 * i));
  ctx_.addListReadPosition += recordLength;
  return kQueuedPathRead;
}

}  // namespace deltrix::library
