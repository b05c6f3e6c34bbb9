#include "tags/read_track_file.h"

#include <cstdint>
#include <limits>

#include "base/utf16.h"
#include "tags/id3/id3_reader.h"
#include "tags/mp4/mp4_reader.h"
#include "tags/riff/riff_reader.h"
#include "tags/tag_file.h"
#include "tags/text_decoding.h"

namespace deltrix::tags {

namespace {

void ResetRecord(TrackRecord* record) {
  record->fileSize = -1;
  record->reservedA = -1;
  record->reservedB = -1;
  record->trackNumber = -1;
  record->reservedC = -1;
  record->reservedD = kReservedDAllSet;
  record->reservedFlag = 1;
  record->fileType = FileType::None;
  record->modifiedTime = platform::kNoTime;
  for (char16_t& c : record->genre) c = 0;
  for (char16_t& c : record->artist) c = 0;
  for (char16_t& c : record->album) c = 0;
  for (char16_t& c : record->title) c = 0;
}

bool EndsWith(std::u16string_view upperTail, std::u16string_view suffix) {
  return upperTail.size() >= suffix.size() &&
         upperTail.substr(upperTail.size() - suffix.size()) == suffix;
}

// Reads the tags of an open, measured file of a type other than AIFF. Returns 1 when read, 0 when
// not.
int ReadOpenFile(TagFile& file, FileType type, TrackRecord* record, platform::TextCodec& codec,
                 uint32_t codePage) {
  const int v1 = ReadId3v1(file, record, codec, codePage);
  if (v1 < 0) return 0;
  const int64_t v2 = ReadId3v2(file, record, codec, codePage);
  if (v2 < 0) return 0;
  const bool tagFound = v1 > 0 || v2 > 0;
  switch (type) {
    case FileType::Mp3:
    case FileType::Aac:
      // An untagged MP3 or AAC file keeps its texts as they are (all empty).
      if (tagFound) CleanUpTextFields(record);
      return 1;
    case FileType::Mp4:
    case FileType::M4a:
      // The atom walk starts after an ID3v2 tag, with the whole file size as its budget.
      if (ReadMp4Atoms(file, v2, static_cast<uint32_t>(file.size()), record) != 1) return 0;
      CleanUpTextFields(record);
      return 1;
    case FileType::Wav:
      // Errors in the RIFF walk do not make the file fail; what was stored stays.
      (void)ReadRiffInfo(file, record, codec, codePage);
      CleanUpTextFields(record);
      return 1;
    case FileType::Aiff:
    case FileType::None:
      break;
  }
  return 0;
}

}  // namespace

FileType ClassifyExtension(std::u16string_view fullPath) {
  // The last five characters, upper-cased; the last four are compared first, in this order.
  char16_t tail[5];
  const size_t n = fullPath.size() < 5 ? fullPath.size() : 5;
  for (size_t i = 0; i < n; ++i) tail[i] = AsciiUpper(fullPath[fullPath.size() - n + i]);
  const std::u16string_view upper(tail, n);
  struct Entry {
    std::u16string_view extension;
    FileType type;
  };
  static constexpr Entry kTable[] = {{u".MP3", FileType::Mp3},  {u".M4A", FileType::M4a},
                                     {u".MP4", FileType::Mp4},  {u".AAC", FileType::Aac},
                                     {u".WAV", FileType::Wav},  {u".AIF", FileType::Aiff},
                                     {u".AIFF", FileType::Aiff}};
  for (const Entry& e : kTable) {
    if (EndsWith(upper, e.extension)) return e.type;
  }
  return FileType::None;
}

int ReadTags(platform::FileSystem& files, platform::TextCodec& codec, std::u16string_view fullPath,
             TrackRecord* record, uint32_t codePage) {
  ResetRecord(record);
  if (fullPath.size() > kMaxFullPathUnits) return 0;
  std::unique_ptr<platform::File> file = files.Open(fullPath, "rb");
  if (!file) return 0;
  record->modifiedTime = file->ModifiedTime();  // free where the open learned it
  if (!file->Seek(0, platform::SeekFrom::End)) return 0;
  const int64_t size = file->Tell();
  // The record holds the size in 32 bits; a larger file cannot be described and is not read.
  if (size < 0 || size > std::numeric_limits<int32_t>::max()) return 0;
  record->fileSize = static_cast<int32_t>(size);

  const FileType type = ClassifyExtension(fullPath);
  record->fileType = type;
  if (type == FileType::Aiff) return 1;  // recognised, no tags read, no clean-up
  if (type == FileType::None) return 0;
  // The file stands at its end; the tag file seeks where it first reads.
  TagFile tagFile(*file, size, size);
  return ReadOpenFile(tagFile, type, record, codec, codePage);
}

int ReadTrackFile(platform::FileSystem& files, platform::TextCodec& codec,
                  std::u16string_view fullPath, TrackRecord* record, int tagLanguage) {
  const std::u16string_view stored = fullPath.substr(fullPath.size() < 2 ? fullPath.size() : 2);
  if (stored.size() > kPathUnits - 1) return 0;
  if (ReadTags(files, codec, fullPath, record, TagLanguageCodePage(tagLanguage)) != 1) return 0;
  if (record->title[0] == 0) {
    // Exactly the file name, extension included, cut at 63 units and terminated: whatever an
    // earlier, longer title left in the buffer is overwritten.
    const size_t slash = fullPath.rfind(u'\\');
    const std::u16string_view name =
        slash == std::u16string_view::npos ? fullPath : fullPath.substr(slash + 1);
    StoreFieldText(name.data(), name.size(), record->title, kTitleUnits);
  }
  StoreFieldText(stored.data(), stored.size(), record->path, kPathUnits);
  return 1;
}

}  // namespace deltrix::tags
