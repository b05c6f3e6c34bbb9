#include "library/times_file.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "base/byte_order.h"
#include "library/library_files.h"
#include "library/library_format.h"

namespace deltrix::library {

namespace {

constexpr char kTimesTag[4] = {'d', 'x', 't', 'm'};
constexpr uint32_t kTimesVersion = 1;
constexpr uint32_t kTimesHeadLength = 20;
constexpr uint32_t kOneHour = 3600;
constexpr size_t kReadChunk = 256 * 1024;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) c = kCrcTable[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// The whole content of a file no longer than `limit`; false when it cannot be read or is longer.
bool ReadAll(platform::File& file, uint64_t limit, std::vector<uint8_t>* bytes) {
  if (!file.Seek(0, platform::SeekFrom::End)) return false;
  const int64_t size = file.Tell();
  if (size < 0 || static_cast<uint64_t>(size) > limit || !file.Seek(0, platform::SeekFrom::Start))
    return false;
  bytes->resize(static_cast<size_t>(size));
  return file.Read(bytes->data(), bytes->size()) == bytes->size();
}

}  // namespace

std::u16string TimesFilePath(std::u16string_view root) {
  return std::u16string(root) + std::u16string(kDeviceFolder) + u"\\" + std::u16string(kTimesFile);
}

uint32_t StoredFileTime(int64_t seconds) {
  if (seconds == platform::kNoTime || seconds < 0 || seconds >= int64_t{kUnknownFileTime})
    return kUnknownFileTime;
  return static_cast<uint32_t>(seconds);
}

bool SameFileTime(uint32_t recorded, uint32_t now) {
  if (recorded == kUnknownFileTime || now == kUnknownFileTime) return true;
  const uint32_t difference = recorded > now ? recorded - now : now - recorded;
  return difference <= 2 || difference == kOneHour;
}

TimesFileState ReadTimesFile(platform::FileSystem& files, std::u16string_view root,
                             const LibraryStamp& library, std::vector<uint32_t>* times) {
  times->clear();
  std::unique_ptr<platform::File> file = files.Open(TimesFilePath(root), "rb");
  if (!file) return TimesFileState::kMissing;
  std::vector<uint8_t> bytes;
  if (!ReadAll(*file, kTimesHeadLength + 4 * uint64_t{kMaxTracks} + 4, &bytes) ||
      bytes.size() < kTimesHeadLength + 4) {
    return TimesFileState::kDamaged;
  }
  const uint8_t* p = bytes.data();
  const uint32_t count = GetLe32(p + 12);
  if (!HasTag(p, kTimesTag) || GetLe32(p + 4) != kTimesVersion || count > kMaxTracks ||
      bytes.size() != kTimesHeadLength + 4 * size_t{count} + 4 ||
      GetLe32(p + bytes.size() - 4) != Crc32(p, bytes.size() - 4)) {
    return TimesFileState::kDamaged;
  }
  const LibraryStamp stamp{GetLe32(p + 8), count, GetLe32(p + 16)};
  if (!(stamp == library)) return TimesFileState::kStale;
  times->resize(count);
  for (uint32_t i = 0; i < count; ++i) (*times)[i] = GetLe32(p + kTimesHeadLength + 4 * i);
  return TimesFileState::kLoaded;
}

bool StampTrackList(platform::FileSystem& files, std::u16string_view root, LibraryStamp* stamp,
                    std::vector<uint32_t>* ids) {
  ids->clear();
  std::unique_ptr<platform::File> file = OpenLibraryFile(files, root, kTrackListFile, "rb");
  if (!file) return false;
  uint8_t head[kTrackListHeadLength];
  if (file->Read(head, sizeof head) != sizeof head || !HasTag(head, kTrackListTag)) return false;
  const uint32_t length = GetLe32(head + 8);
  const uint32_t count = GetLe32(head + 12);
  if (GetLe32(head + 4) != kTrackListHeadLength || count > kMaxTracks) return false;
  // The records front to back through a buffer: only each head's length and id are wanted.
  std::vector<uint8_t> buffer(kReadChunk);
  uint64_t start = 0;
  size_t filled = 0;
  uint64_t offset = kTrackListHeadLength;
  uint32_t digest = kIdDigestSeed;
  ids->reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    if (offset + kRecordHeadLength > length) return false;
    if (offset < start || offset + kRecordHeadLength > start + filled) {
      start = offset;
      if (!file->Seek(static_cast<int64_t>(offset), platform::SeekFrom::Start)) return false;
      filled = file->Read(buffer.data(), static_cast<size_t>(std::min<uint64_t>(
                                             buffer.size(), uint64_t{length} - offset)));
      if (filled < kRecordHeadLength) return false;
    }
    const uint8_t* record = buffer.data() + (offset - start);
    const uint32_t recordLength = GetLe32(record + 8);
    if (!HasTag(record, kRecordTag) || recordLength < kRecordHeadLength) return false;
    const uint32_t id = GetLe32(record + 24);
    ids->push_back(id);
    digest = FoldTrackId(digest, id);
    offset += recordLength;
  }
  if (offset != length) return false;
  *stamp = LibraryStamp{length, count, digest};
  return true;
}

bool TrackTimes::Write(platform::FileSystem& files, std::u16string_view root) {
  const std::u16string path = TimesFilePath(root);
  LibraryStamp stamp;
  std::vector<uint32_t> ids;
  if (!StampTrackList(files, root, &stamp, &ids)) {
    (void)files.RemoveFile(path);
    return false;
  }
  std::sort(notes_.begin(), notes_.end());
  std::vector<uint8_t> bytes(kTimesHeadLength + 4 * ids.size() + 4);
  uint8_t* p = bytes.data();
  std::memcpy(p, kTimesTag, 4);
  PutLe32(p + 4, kTimesVersion);
  PutLe32(p + 8, stamp.trackListLength);
  PutLe32(p + 12, stamp.trackCount);
  PutLe32(p + 16, stamp.idDigest);
  for (size_t i = 0; i < ids.size(); ++i) {
    const auto it =
        std::lower_bound(notes_.begin(), notes_.end(), std::make_pair(ids[i], uint32_t{0}));
    const bool noted = it != notes_.end() && it->first == ids[i];
    PutLe32(p + kTimesHeadLength + 4 * i, noted ? it->second : kUnknownFileTime);
  }
  PutLe32(p + bytes.size() - 4, Crc32(p, bytes.size() - 4));
  std::unique_ptr<platform::File> file = files.Open(path, "wb");
  const bool written =
      file && file->Write(bytes.data(), bytes.size()) == bytes.size() && file->Close();
  if (!written) {
    file.reset();
    (void)files.RemoveFile(path);
  }
  return written;
}

}  // namespace deltrix::library
