// Fuzz target: any bytes, as a file of every extension, through ReadTrackFile (ReadTags, the
// clean-up and the title and path it supplies). Nothing may read outside a buffer, hang or leave a
// record that breaks its contract; a broken contract traps. Built as a libFuzzer target with clang
// (DELTRIX_FUZZ=ON, scripts/fuzz_tags.sh) and, in the normal test command, as a replay of the
// fixtures (fuzz_replay_main.cc).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/utf16.h"
#include "support/memory_drive.h"
#include "tags/read_track_file.h"
#include "tags/track_record.h"

namespace {

using deltrix::platform::DirListing;
using deltrix::platform::File;

// One file's bytes, whatever path is opened.
class OneFileSystem : public deltrix::platform::FileSystem {
 public:
  OneFileSystem(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  std::unique_ptr<File> Open(std::u16string_view, const char*) override {
    return deltrix::testing::MemoryReadFile(deltrix::testing::Bytes(data_, data_ + size_));
  }
  std::unique_ptr<DirListing> List(std::u16string_view) override { return nullptr; }
  uint32_t Attributes(std::u16string_view) override { return deltrix::platform::kNoAttributes; }
  int64_t ModifiedTime(std::u16string_view) override { return deltrix::platform::kNoTime; }
  bool SetAttributes(std::u16string_view, uint32_t) override { return false; }
  bool MakeFolder(std::u16string_view) override { return false; }
  bool RemoveFile(std::u16string_view) override { return false; }
  bool Move(std::u16string_view, std::u16string_view) override { return false; }
  bool Replace(std::u16string_view, std::u16string_view) override { return false; }
  bool Copy(std::u16string_view, std::u16string_view) override { return false; }
  std::unique_ptr<File> OpenScratch() override { return nullptr; }

 private:
  const uint8_t* data_;
  size_t size_;
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool Terminated(const char16_t* field, size_t capacity) {
  return deltrix::U16Length(field, capacity) < capacity;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using deltrix::tags::FileType;
  struct Name {
    std::u16string_view path;
    FileType type;
  };
  static constexpr Name kNames[] = {
      {u"E:\\Music\\f.mp3", FileType::Mp3},  {u"E:\\Music\\f.aac", FileType::Aac},
      {u"E:\\Music\\f.m4a", FileType::M4a},  {u"E:\\Music\\f.mp4", FileType::Mp4},
      {u"E:\\Music\\f.wav", FileType::Wav},  {u"E:\\Music\\f.aiff", FileType::Aiff},
      {u"E:\\Music\\f.ogg", FileType::None},
  };
  OneFileSystem files(data, size);
  deltrix::testing::WideningCodec codec;
  for (const Name& name : kNames) {
    deltrix::tags::TrackRecord record;
    const int result = deltrix::tags::ReadTrackFile(files, codec, name.path, &record, 3);
    Check(result == 0 || result == 1);
    if (result != 1) {
      Check(name.type == FileType::None || name.type == FileType::Mp4 ||
            name.type == FileType::M4a || name.type == FileType::Mp3 ||
            name.type == FileType::Aac || name.type == FileType::Wav);
      continue;
    }
    Check(record.fileType == name.type);
    Check(record.fileSize == static_cast<int32_t>(size));
    Check(record.reservedA == -1 && record.reservedB == -1 && record.reservedC == -1);
    Check(record.PackedWord() == (0xFFFFFFu | uint32_t{static_cast<uint8_t>(name.type)} << 24));
    Check(Terminated(record.genre, deltrix::tags::kGenreUnits));
    Check(Terminated(record.artist, deltrix::tags::kArtistUnits));
    Check(Terminated(record.album, deltrix::tags::kAlbumUnits));
    Check(Terminated(record.title, deltrix::tags::kTitleUnits));
    Check(record.title[0] != 0);
    Check(std::u16string_view(record.path) == name.path.substr(2));
  }
  return 0;
}
