#include "library/summary_file.h"

#include <memory>

#include "base/byte_order.h"
#include "base/byte_reader.h"
#include "base/byte_writer.h"
#include "base/error_code.h"
#include "library/library_files.h"

namespace deltrix::library {

namespace {

void Tag(ByteWriter& out, const char (&tag)[4]) { out.Bytes(tag, 4); }

void StatsEntry(ByteWriter& out, uint32_t index, const StringStats& st) {
  Tag(out, kStatsEntryTag);
  out.Le32(24);
  out.Le32(kStatsEntryLength);
  out.Le32(index);
  out.Le32(st.count);
  out.Le32(2);
  Tag(out, kStatsValueTag);
  out.Le32(24);
  out.Le32(24);
  out.Le32(0);
  out.Le32(0);
  out.Le32(st.total);
  Tag(out, kStatsValueTag);
  out.Le32(24);
  out.Le32(24);
  out.Le32(index == kPath ? 3 : 1);
  out.Le32(index == kPath ? kPathShareInterval : 0);
  out.Le32(st.compact);
}

// The sections of an existing summary. Of the statistics the context takes the title's and the
// path's (the final merge recounts the others); every count and total, and the list directory, go
// to `contents`. False when the sections cannot be parsed.
bool ParseSections(LibraryContext& ctx, ByteReader in, uint32_t sections,
                   SummaryContents* contents) {
  for (uint32_t s = 0; s < sections; ++s) {
    std::span<const uint8_t> head;
    if (!in.ReadSpan(kSectionHeadLength, &head)) return false;
    const uint32_t headLength = GetLe32(head.data() + 4);
    const uint32_t length = GetLe32(head.data() + 8);
    const uint32_t entries = GetLe32(head.data() + 12);
    if (HasTag(head.data(), kDirectorySectionTag)) {
      // The head's length field gives the entries' length only.
      if (entries != kDirectoryEntries || length != entries * kDirectoryEntryLength) return false;
      for (uint32_t e = 0; e < entries; ++e) {
        std::span<const uint8_t> entry;
        if (!in.ReadSpan(kDirectoryEntryLength, &entry)) return false;
        const uint8_t* q = entry.data();
        if (!HasTag(q, kDirectoryEntryTag) || q[19] != 0) return false;
        contents->directory[e] = {GetLe32(q + 12), q[16], q[17], q[18], GetLe32(q + 20)};
      }
      contents->hasDirectory = true;
      continue;
    }
    if (!HasTag(head.data(), kStatsSectionTag)) {
      if (length < kSectionHeadLength || !in.Skip(length - kSectionHeadLength)) return false;
      continue;
    }
    if (headLength < kSectionHeadLength || !in.Skip(headLength - kSectionHeadLength)) return false;
    for (uint32_t e = 0; e < entries; ++e) {
      std::span<const uint8_t> entry;
      if (!in.ReadSpan(24, &entry)) return false;
      const uint32_t entryLength = GetLe32(entry.data() + 8);
      const uint32_t index = GetLe32(entry.data() + 12);
      const uint32_t values = GetLe32(entry.data() + 20);
      if (index >= kStringCount) {
        if (entryLength < 24 || !in.Skip(entryLength - 24)) return false;
        continue;
      }
      StringStats read;
      read.count = GetLe32(entry.data() + 16);
      for (uint32_t v = 0; v < values; ++v) {
        std::span<const uint8_t> value;
        if (!in.ReadSpan(24, &value) || !HasTag(value.data(), kStatsValueTag)) return false;
        const uint32_t valueLength = GetLe32(value.data() + 8);
        const uint32_t kind = GetLe32(value.data() + 12);
        if (kind == 0) read.total = GetLe32(value.data() + 20);
        if (kind == 1 || (kind == 3 && index == kPath)) read.compact = GetLe32(value.data() + 20);
        if (valueLength > 24 && !in.Skip(valueLength - 24)) return false;
      }
      contents->stats[index] = read;
      if (index == kTitle || index == kPath) ctx.stats[index] = read;
    }
    contents->hasStatistics = true;
  }
  return true;
}

}  // namespace

int WriteSummary(LibraryContext& ctx, platform::FileSystem& files) {
  if (!IsOpen(ctx)) return 0;
  const bool sections = (ctx.flags & kFlagStatsValid) != 0;
  ByteWriter out(ctx.fileBuffer);
  Tag(out, kSummaryTag);
  out.Le32(kSummaryHeadLength);
  out.Le32(32);
  out.Le32(2);
  out.Le32(0);
  out.Le32(1);
  out.Le32(static_cast<uint32_t>(ctx.nextTrackId));
  out.Le16(2);
  out.Le16(sections ? 2 : 0);
  if (sections) {
    Tag(out, kStatsSectionTag);
    out.Le32(kSectionHeadLength);
    out.Le32(kStatsSectionLength);
    out.Le32(kStringCount);
    for (int s = 0; s < kStringCount; ++s) StatsEntry(out, static_cast<uint32_t>(s), ctx.stats[s]);
    Tag(out, kDirectorySectionTag);
    out.Le32(kSectionHeadLength);
    out.Le32(kDirectoryEntries * kDirectoryEntryLength);
    out.Le32(kDirectoryEntries);
    for (int i = 0; i < kSortKeys; ++i) {
      for (int j = 0; j <= 3 - i; ++j) {
        const bool trackList = j == 3 - i;
        Tag(out, kDirectoryEntryTag);
        out.Le32(kDirectoryEntryLength);
        out.Le32(kDirectoryEntryLength);
        out.Le32(static_cast<uint32_t>(i));
        out.U8(trackList ? kListKindTracks : kListKindGroups);
        out.U8(static_cast<uint8_t>(i + j));
        out.U8(static_cast<uint8_t>(j));
        out.U8(0);
        out.Le32(trackList ? ctx.totalTracks : ctx.listEntries[i][j]);
      }
    }
  }
  std::unique_ptr<platform::File> file = OpenLibraryFile(files, ctx.rootPath(), kSummaryFile, "wb");
  if (!file) {
    Trace(ctx, kSiteWriteSummary, 1);
    return 0;
  }
  if (out.overflowed() || file->Write(out.written().data(), out.size()) != out.size() ||
      !file->Close()) {
    Trace(ctx, kSiteWriteSummary, 2);
    return 0;
  }
  return kDone;
}

int ReadSummary(LibraryContext& ctx, platform::FileSystem& files, SummaryContents* contents) {
  SummaryContents local;
  if (contents == nullptr) contents = &local;
  *contents = SummaryContents{};
  if (!IsOpen(ctx)) return 0;
  std::unique_ptr<platform::File> file = OpenLibraryFile(files, ctx.rootPath(), kSummaryFile, "rb");
  if (!file) {
    Trace(ctx, kSiteReadSummary, 1);
    return 0;
  }
  uint8_t* buffer = ctx.fileBuffer.data();
  const size_t got = file->Read(buffer, ctx.fileBuffer.size());
  if (got < kSummaryHeadLength || !HasTag(buffer, kSummaryTag)) {
    Trace(ctx, kSiteReadSummary, 2);
    return 0;
  }
  ctx.nextTrackId = static_cast<int32_t>(GetLe32(buffer + 24));
  const uint32_t sections = GetLe16(buffer + 30);
  ByteReader rest(std::span<const uint8_t>(buffer + kSummaryHeadLength, got - kSummaryHeadLength));
  if (sections == 0) {
    ctx.flags &= static_cast<uint8_t>(~kFlagStatsValid);
  } else if (!ParseSections(ctx, rest, sections, contents)) {
    Trace(ctx, kSiteReadStats, 1);
    ctx.flags &= static_cast<uint8_t>(~kFlagStatsValid);
  }
  return kDone;
}

}  // namespace deltrix::library
