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

void PrintJson(const TagsInput& input, const tags::TrackRecord* record, std::ostream& out) {
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
  out << line.dump() << '\n';
}

void PrintText(const TagsInput& input, const tags::TrackRecord* record, std::ostream& out) {
  if (!record) {
    out << input.userArg << ": cannot be read\n";
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
    const bool read = !input.drivePath.empty() &&
                      tags::ReadTrackFile(files, codec, input.drivePath, &record, tagLanguage) == 1;
    if (!read) status = kSomeUnreadable;
    if (json) {
      PrintJson(input, read ? &record : nullptr, out);
    } else {
      PrintText(input, read ? &record : nullptr, out);
    }
  }
  return status;
}

}  // namespace deltrix::cli
