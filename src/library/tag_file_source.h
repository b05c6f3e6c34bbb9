// The track source of a real run: the tag readers, through ReadTrackFile.
#pragma once

#include "library/track_source.h"
#include "platform/platform.h"

namespace deltrix::library {

class TagFileSource : public TrackSource {
 public:
  TagFileSource(platform::FileSystem& files, platform::TextCodec& text)
      : files_(files), text_(text) {}
  [[nodiscard]] int ReadTrack(std::u16string_view fullPath, int tagLanguage,
                              tags::TrackRecord* record) override;

 private:
  platform::FileSystem& files_;
  platform::TextCodec& text_;
};

}  // namespace deltrix::library
