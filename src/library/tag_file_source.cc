#include "library/tag_file_source.h"

#if __has_include("tags/read_track_file.h")
#include "tags/read_track_file.h"
#else
namespace deltrix::tags {
// The tag readers' entry point: 1 filled, 0 not readable.
int ReadTrackFile(platform::FileSystem& files, platform::TextCodec& text,
                  std::u16string_view fullPath, TrackRecord* record, int tagLanguage);
}  // namespace deltrix::tags
#endif

namespace deltrix::library {

int TagFileSource::ReadTrack(std::u16string_view fullPath, int tagLanguage,
                             tags::TrackRecord* record) {
  return tags::ReadTrackFile(files_, text_, fullPath, record, tagLanguage) == 1 ? 1 : 0;
}

}  // namespace deltrix::library
