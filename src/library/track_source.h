// Where a builder gets a track's record from. The run hands a builder the tag reader
// (TagFileSource, tag_file_source.h); tests and the benchmark hand it records made in memory.
#pragma once

#include <string_view>

#include "tags/track_record.h"

namespace deltrix::library {

class TrackSource {
 public:
  virtual ~TrackSource() = default;
  // Fills `record` (fresh: initial values, every text empty) from the audio file at `fullPath`
  // (E:\Music\a.mp3), decoding 8-bit text for `tagLanguage`. 1 filled, 0 the file cannot be read.
  // Called on the worker thread.
  [[nodiscard]] virtual int ReadTrack(std::u16string_view fullPath, int tagLanguage,
                                      tags::TrackRecord* record) = 0;
};

}  // namespace deltrix::library
