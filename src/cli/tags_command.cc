#include "cli/tags_command.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "base/utf16.h"
#include "tags/read_track_file.h"
#include "tags/track_record.h"

namespace deltrix::cli {

namespace {

constexpr int kSomeUnreadable = 2;

std::string Text(const char16_t* field, size_t capacity) {
  return ToUtf8(std::u16string_view(field, U16Length(field, capacity)));
}

const char* TypeName(tags::FileType type) {
  switch (type) {
    case tags::FileType::Mp3:
      return "MP3";
    case tags::FileType::Aac:
      return "AAC";
    case tags::FileType::Mp4:
      return "MP4";
    case tags::FileType::M4a:
      return "M4A";
    case tags::FileType::Wav:
      return "WAV";
    case tags::FileType::Aiff:
      return "AIFF";
    case tags::FileType::None:
      break;
  }
  return "none";
}

// Why no record can be made of the file, or null when one can be tried.
const char* WhyNoRecord(platform::FileSystem& files, std::u16string_view drivePath) {
  if (drivePath.empty()) return "no such file";
  // The stored path is the full path without the drive letter and colon.
  if (drivePath.size() > tags::kMaxFullPathUnits || drivePath.size() - 2 > tags::kPathUnits - 1) {
    return "its path on the card would be longer than the library's 255 units";
  }
  const uint32_t attributes = files.Attributes(drivePath);
  if (attributes == platform::kNoAttributes) return "no such file";
  if (attributes & platform::kAttrDirectory) return "a folder, not an audio file";
  if (tags::ClassifyExtension(drivePath) == tags::FileType::None) {
    return "not an audio file (.mp3, .m4a, .mp4, .aac, .wav, .aif, .aiff)";
  }
  return nullptr;
}

void PrintJson(const TagsInput& input, const tags::TrackRecord* record, const char* why,
               std::ostream& out) {
  nlohmann::ordered_json line;
  if (record) {
    line["fileSize"] = record->fileSize;
    line["trackNumber"] = record->trackNumber;
    line["fileType"] = static_cast<int>(record->fileType);
    line["genre"] = Text(record->genre, tags::kGenreUnits);
    line["artist"] = Text(record->artist, tags::kArtistUnits);
    line["album"] = Text(record->album, tags::kAlbumUnits);
    line["title"] = Text(record->title, tags::kTitleUnits);
    line["path"] = Text(record->path, tags::kPathUnits);
  } else {
    for (const char* key :
         {"fileSize", "trackNumber", "fileType", "genre", "artist", "album", "title", "path"}) {
      line[key] = nullptr;
    }
  }
  // Arguments are bytes from the command line; ones that are not UTF-8 are shown with replacements.
  line["file"] = ToUtf8(FromUtf8(input.userArg));
  if (!record) line["error"] = why;
  out << line.dump() << '\n';
}

void PrintText(const TagsInput& input, const tags::TrackRecord* record, const char* why,
               std::ostream& out) {
  if (!record) {
    out << input.userArg << ": no record: " << why << "\n";
    return;
  }
  out << input.userArg << '\n'
      << "  title:       " << Text(record->title, tags::kTitleUnits) << '\n'
      << "  artist:      " << Text(record->artist, tags::kArtistUnits) << '\n'
      << "  album:       " << Text(record->album, tags::kAlbumUnits) << '\n'
      << "  genre:       " << Text(record->genre, tags::kGenreUnits) << '\n'
      << "  trackNumber: " << record->trackNumber << '\n'
      << "  fileType:    " << static_cast<int>(record->fileType) << " ("
      << TypeName(record->fileType) << ")\n"
      << "  fileSize:    " << record->fileSize << '\n'
      << "  path:        " << Text(record->path, tags::kPathUnits) << '\n';
}

}  // namespace

int RunTagsCommand(platform::FileSystem& files, platform::TextCodec& codec,
                   const std::vector<TagsInput>& inputs, int tagLanguage, bool json,
                   std::ostream& out) {
  int status = 0;
  tags::TrackRecord record;
  for (const TagsInput& input : inputs) {
    record.path[0] = 0;
    const char* why = WhyNoRecord(files, input.drivePath);
    if (!why && tags::ReadTrackFile(files, codec, input.drivePath, &record, tagLanguage) != 1) {
      why = "unreadable (it cannot be opened, or its tags are damaged)";
    }
    if (why) status = kSomeUnreadable;
    if (json) {
      PrintJson(input, why ? nullptr : &record, why, out);
    } else {
      PrintText(input, why ? nullptr : &record, why, out);
    }
  }
  return status;
}

}  // namespace deltrix::cli
