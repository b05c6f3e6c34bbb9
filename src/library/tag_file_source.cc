#include "library/tag_file_source.h"

#include "tags/read_track_file.h"

namespace deltrix::library {

int TagFileSource::ReadTrack(std::u16string_view fullPath, int tagLanguage,
                             tags::TrackRecord* record) {
  return tags::ReadTrackFile(files_, text_, fullPath, record, tagLanguage) == 1 ? 1 : 0;
}

}  // namespace deltrix::library
