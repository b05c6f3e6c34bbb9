// Helpers of the library tests: a byte builder for golden files that shares no code with the
// writers, test tracks turned into records, a track source and a builder owner for the creator,
// and a whole create run over an in-memory drive.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "library/build_owner.h"
#include "library/library_check.h"
#include "library/library_creator.h"
#include "library/track_source.h"
#include "support/memory_drive.h"
#include "tags/track_record.h"

namespace deltrix::library::testing {

using deltrix::testing::MemoryFileSystem;

inline constexpr std::u16string_view kRoot = u"E:\\";
inline constexpr std::u16string_view kTrackListPath = u"E:\\KORVANE\\LIBRARY\\ZRTL.DB";
inline constexpr std::u16string_view kBrowsePath = u"E:\\KORVANE\\LIBRARY\\ZRBL.DB";
inline constexpr std::u16string_view kSummaryPath = u"E:\\KORVANE\\LIBRARY\\ZRDB.DB";

// Little-endian fields appended one by one.
class BytesBuilder {
 public:
  BytesBuilder& Tag(const char* four) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(four[i]));
    return *this;
  }
  BytesBuilder& U8(uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  BytesBuilder& Le16(uint16_t v) {
    return U8(static_cast<uint8_t>(v)).U8(static_cast<uint8_t>(v >> 8));
  }
  BytesBuilder& Le32(uint32_t v) {
    return Le16(static_cast<uint16_t>(v)).Le16(static_cast<uint16_t>(v >> 16));
  }
  // UTF-16LE units, a zero terminator, zero padding to a multiple of 4.
  BytesBuilder& Utf16Data(std::u16string_view s) {
    for (char16_t c : s) Le16(c);
    Le16(0);
    while (bytes_.size() % 4 != 0) U8(0);
    return *this;
  }
  BytesBuilder& Append(const BytesBuilder& other) {
    bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
    return *this;
  }
  size_t size() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

// Names the first differing offset rather than dumping both buffers.
inline void ExpectSameBytes(const std::vector<uint8_t>& want, const std::vector<uint8_t>& got) {
  const size_t n = std::min(want.size(), got.size());
  for (size_t i = 0; i < n; ++i) {
    if (want[i] != got[i]) {
      ADD_FAILURE() << "first difference at offset " << i << ": want 0x" << std::hex << int{want[i]}
                    << ", got 0x" << int{got[i]} << std::dec << " (sizes " << want.size() << " and "
                    << got.size() << ")";
      return;
    }
  }
  EXPECT_EQ(want.size(), got.size()) << "equal for " << n << " bytes";
}

struct TestTrack {
  std::u16string genre;
  std::u16string artist;
  std::u16string album;
  std::u16string title;
  std::u16string path;  // without drive: \Music\a.mp3
  int16_t trackNumber = -1;
  int32_t fileSize = 1000;
  tags::FileType fileType = tags::FileType::Mp3;
};

inline void FillRecord(const TestTrack& track, tags::TrackRecord* r) {
  *r = tags::TrackRecord{};
  r->fileSize = track.fileSize;
  r->trackNumber = track.trackNumber;
  r->fileType = track.fileType;
  tags::StoreFieldText(track.genre.data(), track.genre.size(), r->genre, tags::kGenreUnits);
  tags::StoreFieldText(track.artist.data(), track.artist.size(), r->artist, tags::kArtistUnits);
  tags::StoreFieldText(track.album.data(), track.album.size(), r->album, tags::kAlbumUnits);
  tags::StoreFieldText(track.title.data(), track.title.size(), r->title, tags::kTitleUnits);
  tags::StoreFieldText(track.path.data(), track.path.size(), r->path, tags::kPathUnits);
}

// Records by full path (E: + track.path); any other path cannot be read.
class MemorySource : public TrackSource {
 public:
  void Add(const TestTrack& track) { tracks_[u"E:" + track.path] = track; }
  int ReadTrack(std::u16string_view fullPath, int, tags::TrackRecord* record) override {
    auto it = tracks_.find(std::u16string(fullPath));
    if (it == tracks_.end()) return 0;
    FillRecord(it->second, record);
    return 1;
  }

 private:
  std::map<std::u16string, TestTrack> tracks_;
};

class TestOwner : public BuildOwner {
 public:
  int AskSkipFile() override {
    ++asked;
    return answer;
  }
  void SetBatchInProgress(bool on) override { marks.push_back(on); }
  int answer = 2;
  int asked = 0;
  std::vector<bool> marks;
};

// A create run as the driver makes it: open, add every track, final batch, finish, close. Returns
// the first code that is not 0 (or 0).
inline int CreateLibrary(MemoryFileSystem& fs, const std::vector<TestTrack>& tracks,
                         CreatorOptions options = {}, TestOwner* owner = nullptr) {
  MemorySource source;
  for (const TestTrack& t : tracks) source.Add(t);
  TestOwner localOwner;
  TestOwner& o = owner != nullptr ? *owner : localOwner;
  CLibraryCreator creator(fs, source, options);
  int code = creator.Open(kRoot, o);
  for (size_t i = 0; code == 0 && i < tracks.size(); ++i)
    code = creator.AddFile(u"E:" + tracks[i].path, 3);
  if (code == 0) code = creator.SortAndWriteBatch(true);
  if (code == 0) code = creator.Finish();
  creator.Close();
  return code;
}

// A pool that holds only a few small entries per batch.
inline CreatorOptions SmallBatches(size_t poolBytes = 1400) {
  CreatorOptions options;
  options.poolBytes = poolBytes;
  options.fileBufferBytes = 8192;
  return options;
}

inline TestTrack Track(std::u16string genre, std::u16string artist, std::u16string album,
                       std::u16string title, std::u16string path, int16_t number = -1) {
  TestTrack t;
  t.genre = std::move(genre);
  t.artist = std::move(artist);
  t.album = std::move(album);
  t.title = std::move(title);
  t.path = std::move(path);
  t.trackNumber = number;
  return t;
}

inline uint32_t Le32At(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 |
         uint32_t{b[at + 3]} << 24;
}

}  // namespace deltrix::library::testing
