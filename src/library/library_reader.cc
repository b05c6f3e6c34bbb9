#include "library/library_reader.h"

#include <cstdio>
#include <memory>

#include "base/byte_order.h"
#include "base/byte_reader.h"
#include "base/utf16.h"
#include "library/library_files.h"
#include "library/library_format.h"

namespace deltrix::library {

namespace {

// Larger than any library the player can hold (150000 records of at most 1060 bytes).
constexpr int64_t kMaxFileBytes = int64_t{256} << 20;

std::string TagText(const uint8_t* p) {
  std::string s;
  for (int i = 0; i < 4; ++i)
    s.push_back(p[i] >= 0x20 && p[i] < 0x7F ? static_cast<char>(p[i]) : '?');
  return s;
}

bool ReadWhole(platform::FileSystem& files, std::u16string_view root, std::u16string_view name,
               std::vector<uint8_t>* bytes, ProblemList& problems) {
  const std::u16string path = LibraryFilePath(root, name);
  std::unique_ptr<platform::File> file = path.empty() ? nullptr : files.Open(path, "rb");
  if (!file) {
    problems.Add("missing or cannot be opened");
    return false;
  }
  int64_t size = -1;
  if (file->Seek(0, platform::SeekFrom::End)) size = file->Tell();
  if (size < 0 || size > kMaxFileBytes || !file->Seek(0, platform::SeekFrom::Start)) {
    problems.Add("cannot be read (size %lld)", static_cast<long long>(size));
    return false;
  }
  bytes->resize(static_cast<size_t>(size));
  if (file->Read(bytes->data(), bytes->size()) != bytes->size()) {
    problems.Add("cannot be read to its end");
    return false;
  }
  return true;
}

uint32_t RoundUp4(uint32_t n) { return (n + 3) & ~3u; }

// --- ZRTL.DB ----------------------------------------------------------------------------------

bool ParseChunk(uint32_t at, ByteReader chunk, uint32_t chunkNumber, ImageTrack* track, bool* seen,
                ProblemList& problems) {
  const uint8_t* p = chunk.data();
  const uint32_t t = track->index;
  if (!HasTag(p, kStringChunkTag)) {
    problems.Add("record %u: chunk %u has tag \"%s\", not \"zrst\"", t, chunkNumber,
                 TagText(p).c_str());
    return false;
  }
  const uint32_t headLength = GetLe32(p + 4);
  const uint32_t index = GetLe32(p + 12);
  const uint32_t group = GetLe32(p + 16);
  const uint32_t dataLength = GetLe32(p + 20);
  if (headLength != kStringChunkHeadLength)
    problems.Add("record %u: chunk %u head length %u", t, chunkNumber, headLength);
  if (headLength < kStringChunkHeadLength || headLength > chunk.remaining() ||
      dataLength != chunk.remaining() - headLength) {
    problems.Add("record %u: chunk %u data length %u does not match its chunk length %zu", t,
                 chunkNumber, dataLength, chunk.remaining());
    return false;
  }
  if (index != chunkNumber)
    problems.Add("record %u: chunk %u holds string index %u", t, chunkNumber, index);
  if (index >= kStringCount || seen[index]) return true;
  seen[index] = true;
  if (index <= kAlbum) {
    track->groupNumber[index] = group;
  } else if (group != 0) {
    problems.Add("record %u: chunk of string %u has field 16 = %u, not 0", t, index, group);
  }
  const uint8_t* data = p + headLength;
  uint32_t units = 0;
  while (2 * units + 1 < dataLength && GetLe16(data + 2 * units) != 0) ++units;
  if (2 * units + 2 > dataLength) {
    problems.Add("record %u: string %u is not terminated within its data", t, index);
    return true;
  }
  for (uint32_t i = 0; i < units; ++i)
    track->text[index].push_back(static_cast<char16_t>(GetLe16(data + 2 * i)));
  track->textAt[index] = at + headLength;
  if (dataLength != RoundUp4(2 * units + 2)) {
    problems.Add("record %u: string %u of %u units has data length %u, not %u", t, index, units,
                 dataLength, RoundUp4(2 * units + 2));
  }
  for (uint32_t i = 2 * units; i < dataLength; ++i) {
    if (data[i] != 0) {
      problems.Add("record %u: string %u has non-zero padding", t, index);
      break;
    }
  }
  return true;
}

// The first bytes every library file starts with: a tag, then (for the track and browse lists) the
// header length, the file length and a count. False when the file is too short or not of this
// kind; the lengths are checked and noted in `problems`, and the count is returned in `*count`.
bool ParseFileHead(const std::vector<uint8_t>& file, const char (&tag)[4], uint32_t headLength,
                   const char* kind, ProblemList& problems, uint32_t* count = nullptr) {
  if (file.size() < headLength) {
    problems.Add("shorter than its header (%zu bytes)", file.size());
    return false;
  }
  if (!HasTag(file.data(), tag)) {
    problems.Add("not %s (tag \"%s\")", kind, TagText(file.data()).c_str());
    return false;
  }
  if (!count) return true;
  const uint32_t storedHead = GetLe32(file.data() + 4);
  const uint32_t fileLength = GetLe32(file.data() + 8);
  *count = GetLe32(file.data() + 12);
  if (storedHead != headLength) problems.Add("header length %u, not %u", storedHead, headLength);
  if (fileLength != file.size())
    problems.Add("header says %u bytes, the file has %zu", fileLength, file.size());
  return storedHead >= headLength;
}

bool ParseTrackList(const std::vector<uint8_t>& file, LibraryImage* image, ProblemList& problems) {
  ByteReader in(file);
  uint32_t count = 0;
  if (!ParseFileHead(file, kTrackListTag, kTrackListHeadLength, "a track list", problems, &count) ||
      !in.Skip(GetLe32(file.data() + 4)))
    return false;
  if (count > kMaxTracks) problems.Add("%u records, more than a library can hold", count);
  for (uint32_t i = 0; i < count; ++i) {
    if (in.remaining() < kRecordHeadLength) {
      problems.Add("record %u of %u lies beyond the end of the file", i, count);
      return false;
    }
    const uint8_t* p = in.data();
    const uint32_t at = static_cast<uint32_t>(p - file.data());
    if (!HasTag(p, kRecordTag)) {
      problems.Add("record %u has tag \"%s\", not \"zrti\"", i, TagText(p).c_str());
      return false;
    }
    const uint32_t recordHead = GetLe32(p + 4);
    const uint32_t recordLength = GetLe32(p + 8);
    const uint32_t chunks = GetLe32(p + 12);
    ByteReader record;
    if (recordHead < kRecordHeadLength || recordLength < recordHead ||
        !in.Sub(recordLength, &record)) {
      problems.Add("record %u: head length %u and record length %u do not fit the file", i,
                   recordHead, recordLength);
      return false;
    }
    if (recordHead != kRecordHeadLength)
      problems.Add("record %u: head length %u, not 48", i, recordHead);
    ImageTrack track;
    track.offset = at;
    track.length = recordLength;
    track.fileType = p[16];
    track.reservedFlag = p[17];
    track.index = GetLe32(p + 20);
    track.id = GetLe32(p + 24);
    track.fileSize = static_cast<int32_t>(GetLe32(p + 28));
    track.reservedA = static_cast<int32_t>(GetLe32(p + 32));
    track.trackNumber = static_cast<int16_t>(GetLe16(p + 36));
    track.reservedC = static_cast<int16_t>(GetLe16(p + 38));
    track.reservedB = static_cast<int32_t>(GetLe32(p + 40));
    track.reservedD = p[44] | uint32_t{p[45]} << 8 | uint32_t{p[46]} << 16;
    if (track.index != i) problems.Add("record %u carries track index %u", i, track.index);
    if (chunks != kStringCount) problems.Add("record %u: %u string chunks, not 5", i, chunks);
    if (p[17] > 1 || p[18] != 0 || p[19] != 0 || (p[46] & 0x80) != 0 || p[47] != 0) {
      problems.Add("record %u: reserved bits of the head are set", i);
    }
    if (!record.Skip(recordHead)) return false;
    bool seen[kStringCount] = {};
    for (uint32_t c = 0; c < chunks && record.remaining() > 0; ++c) {
      const uint8_t* chunkStart = record.data();
      ByteReader chunk;
      uint32_t chunkLength = 0;
      if (record.remaining() < kStringChunkHeadLength ||
          (chunkLength = GetLe32(chunkStart + 8)) < kStringChunkHeadLength ||
          !record.Sub(chunkLength, &chunk)) {
        problems.Add("record %u: chunk %u does not fit its record", i, c);
        return false;
      }
      if (!ParseChunk(static_cast<uint32_t>(chunkStart - file.data()), chunk, c, &track, seen,
                      problems)) {
        return false;
      }
    }
    if (record.remaining() != 0)
      problems.Add("record %u: %zu bytes after its chunks", i, record.remaining());
    for (int s = 0; s < kStringCount; ++s) {
      if (!seen[s]) problems.Add("record %u has no chunk for string %d", i, s);
    }
    image->tracks.push_back(std::move(track));
  }
  if (in.remaining() != 0) problems.Add("%zu bytes after the last record", in.remaining());
  return true;
}

// --- ZRBL.DB ----------------------------------------------------------------------------------

bool ParseBrowseList(const std::vector<uint8_t>& file, LibraryImage* image, ProblemList& problems) {
  ByteReader in(file);
  uint32_t blocks = 0;
  if (!ParseFileHead(file, kBrowseListTag, kBrowseListHeadLength, "a browse list file", problems,
                     &blocks))
    return false;
  if (blocks != kSortKeys) problems.Add("%u blocks, not 4", blocks);
  if (!in.Skip(GetLe32(file.data() + 4))) return false;
  for (uint32_t b = 0; b < blocks; ++b) {
    if (in.remaining() < kBlockHeadLength || !HasTag(in.data(), kBlockTag)) {
      problems.Add("block %u is missing or not tagged \"zrbi\"", b);
      return false;
    }
    const uint8_t* p = in.data();
    const uint32_t blockHead = GetLe32(p + 4);
    const uint32_t blockLength = GetLe32(p + 8);
    const uint32_t lists = GetLe32(p + 12);
    ImageBlock block;
    block.key = GetLe32(p + 16);
    ByteReader body;
    if (blockHead < kBlockHeadLength || blockLength < blockHead || !in.Sub(blockLength, &body)) {
      problems.Add("block %u: head length %u and block length %u do not fit the file", b, blockHead,
                   blockLength);
      return false;
    }
    if (blockHead != kBlockHeadLength)
      problems.Add("block %u: head length %u, not 20", b, blockHead);
    if (!body.Skip(blockHead)) return false;
    for (uint32_t l = 0; l < lists; ++l) {
      if (body.remaining() < kListHeadLength || !HasTag(body.data(), kListTag)) {
        problems.Add("block %u: list %u is missing or not tagged \"zrba\"", b, l);
        return false;
      }
      const uint8_t* q = body.data();
      const uint32_t listHead = GetLe32(q + 4);
      const uint32_t listLength = GetLe32(q + 8);
      ImageList list;
      list.kind = q[12];
      list.attribute = q[13];
      list.level = q[14];
      const uint32_t n = GetLe32(q + 16);
      ByteReader data;
      if (listHead < kListHeadLength || listLength < listHead || !body.Sub(listLength, &data)) {
        problems.Add("block %u: list %u length %u does not fit its block", b, l, listLength);
        return false;
      }
      if (listHead != kListHeadLength)
        problems.Add("block %u: list %u head length %u, not 20", b, l, listHead);
      if (q[15] != 0) problems.Add("block %u: list %u byte 15 is %u, not 0", b, l, q[15]);
      if (!data.Skip(listHead)) return false;
      const uint32_t row = list.kind == kListKindTracks   ? 4
                           : list.kind == kListKindGroups ? kGroupRowBytes
                                                          : 0;
      if (row == 0) {
        problems.Add("block %u: list %u of unknown kind %u", b, l, list.kind);
        continue;
      }
      if (data.remaining() / row != n || data.remaining() % row != 0) {
        problems.Add("block %u: list %u holds %zu bytes for %u entries", b, l, data.remaining(), n);
        return false;
      }
      uint32_t v[4];
      for (uint32_t e = 0; e < n; ++e) {
        if (list.kind == kListKindTracks) {
          if (!data.ReadLe32(&v[0])) return false;
          list.tracks.push_back(v[0]);
        } else {
          for (uint32_t& x : v) {
            if (!data.ReadLe32(&x)) return false;
          }
          list.groups.push_back(ImageGroupRow{v[0], v[1], v[2], v[3]});
        }
      }
      block.lists.push_back(std::move(list));
    }
    if (body.remaining() != 0)
      problems.Add("block %u: %zu bytes after its lists", b, body.remaining());
    image->blocks.push_back(std::move(block));
  }
  if (in.remaining() != 0) problems.Add("%zu bytes after the last block", in.remaining());
  return true;
}

// --- ZRDB.DB ----------------------------------------------------------------------------------

bool ExpectLe32(const uint8_t* p, uint32_t want, const char* what, ProblemList& problems) {
  const uint32_t v = GetLe32(p);
  if (v == want) return true;
  problems.Add("%s is %u, not %u", what, v, want);
  return false;
}

bool ParseSummary(const std::vector<uint8_t>& file, LibraryImage* image, ProblemList& problems) {
  if (!ParseFileHead(file, kSummaryTag, kSummaryHeadLength, "a summary", problems)) return false;
  const uint8_t* p = file.data();
  ExpectLe32(p + 4, 32, "header length", problems);
  ExpectLe32(p + 8, 32, "header field 8", problems);
  ExpectLe32(p + 12, 2, "header field 12", problems);
  ExpectLe32(p + 16, 0, "header field 16", problems);
  ExpectLe32(p + 20, 1, "header field 20", problems);
  image->nextTrackId = GetLe32(p + 24);
  if (GetLe16(p + 28) != 2) problems.Add("header field 28 is %u, not 2", GetLe16(p + 28));
  const uint32_t sections = GetLe16(p + 30);
  if (sections != 0 && sections != 2) problems.Add("%u sections, not 2 or 0", sections);
  ByteReader in(std::span<const uint8_t>(file).subspan(kSummaryHeadLength));
  bool sawStats = false;
  bool sawDirectory = false;
  for (uint32_t s = 0; s < sections; ++s) {
    std::span<const uint8_t> head;
    if (!in.ReadSpan(kSectionHeadLength, &head)) {
      problems.Add("section %u lies beyond the end of the file", s);
      return false;
    }
    const uint8_t* h = head.data();
    const uint32_t entries = GetLe32(h + 12);
    if (HasTag(h, kStatsSectionTag) && !sawStats) {
      sawStats = true;
      ExpectLe32(h + 4, kSectionHeadLength, "statistics head length", problems);
      ExpectLe32(h + 8, kStatsSectionLength, "statistics section length", problems);
      ExpectLe32(h + 12, kStringCount, "statistics entries", problems);
      for (uint32_t e = 0; e < entries; ++e) {
        std::span<const uint8_t> entry;
        if (!in.ReadSpan(kStatsEntryLength, &entry)) {
          problems.Add("statistics entry %u lies beyond the end of the file", e);
          return false;
        }
        const uint8_t* q = entry.data();
        const uint32_t index = GetLe32(q + 12);
        if (!HasTag(q, kStatsEntryTag) || GetLe32(q + 4) != 24 ||
            GetLe32(q + 8) != kStatsEntryLength || index != e || GetLe32(q + 20) != 2 ||
            !HasTag(q + 24, kStatsValueTag) || GetLe32(q + 28) != 24 || GetLe32(q + 32) != 24 ||
            GetLe32(q + 36) != 0 || GetLe32(q + 40) != 0 || !HasTag(q + 48, kStatsValueTag) ||
            GetLe32(q + 52) != 24 || GetLe32(q + 56) != 24 ||
            GetLe32(q + 60) != (e == kPath ? 3u : 1u) ||
            GetLe32(q + 64) != (e == kPath ? kPathShareInterval : 0u)) {
          problems.Add("statistics entry %u is not laid out as expected", e);
          continue;
        }
        if (e < kStringCount)
          image->stats[e] = StringStats{
              .total = GetLe32(q + 44), .compact = GetLe32(q + 68), .count = GetLe32(q + 16)};
      }
    } else if (HasTag(h, kDirectorySectionTag) && !sawDirectory) {
      sawDirectory = true;
      ExpectLe32(h + 4, kSectionHeadLength, "directory head length", problems);
      ExpectLe32(h + 8, kDirectoryEntries * kDirectoryEntryLength, "directory length", problems);
      ExpectLe32(h + 12, kDirectoryEntries, "directory entries", problems);
      for (uint32_t e = 0; e < entries; ++e) {
        std::span<const uint8_t> entry;
        if (!in.ReadSpan(kDirectoryEntryLength, &entry)) {
          problems.Add("directory entry %u lies beyond the end of the file", e);
          return false;
        }
        const uint8_t* q = entry.data();
        if (!HasTag(q, kDirectoryEntryTag) || GetLe32(q + 4) != 24 || GetLe32(q + 8) != 24 ||
            q[19] != 0) {
          problems.Add("directory entry %u is not laid out as expected", e);
        }
        image->directory.push_back(
            DirectoryEntry{GetLe32(q + 12), q[16], q[17], q[18], GetLe32(q + 20)});
      }
    } else {
      problems.Add("section %u has tag \"%s\"", s, TagText(h).c_str());
      return false;
    }
  }
  image->hasSections = sawStats && sawDirectory;
  if (sections == 2 && !image->hasSections)
    problems.Add("the statistics or the list directory is missing");
  if (in.remaining() != 0) problems.Add("%zu bytes after the last section", in.remaining());
  return true;
}

}  // namespace

bool ReadLibraryImage(platform::FileSystem& files, std::u16string_view root, LibraryImage* image,
                      std::vector<std::string>* problems) {
  *image = LibraryImage{};
  ProblemList tl("ZRTL.DB", problems);
  ProblemList bl("ZRBL.DB", problems);
  ProblemList db("ZRDB.DB", problems);
  std::vector<uint8_t> browse;
  std::vector<uint8_t> summary;
  bool ok = ReadWhole(files, root, kTrackListFile, &image->trackListBytes, tl) &&
            ParseTrackList(image->trackListBytes, image, tl);
  ok = ReadWhole(files, root, kBrowseListFile, &browse, bl) && ParseBrowseList(browse, image, bl) &&
       ok;
  ok = ReadWhole(files, root, kSummaryFile, &summary, db) && ParseSummary(summary, image, db) && ok;
  return ok;
}

}  // namespace deltrix::library
