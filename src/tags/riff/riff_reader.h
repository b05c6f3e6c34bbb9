// RIFF INFO lists of "WAVE" and "RMP3" files: title, artist, album and genre from the items of the
// first "LIST" chunk. The chunk walk understands "fmt " and "fact" (WAVE only), "data" and "LIST";
// any other chunk ends it. Chunk sizes are not rounded to even; INFO item sizes are. Nothing here
// makes a file fail: the caller ignores the result, and what was stored before an error stays.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "tags/tag_file.h"
#include "tags/track_record.h"

namespace deltrix::tags {

// Walks the RIFF chunks from the start of the file. Returns the content offset of a "data" chunk
// that reaches the end of the file (the walk ends there), 0 when the walk ended otherwise (not a
// RIFF file, a chunk it does not walk past, after the "LIST" chunk), -1 when a read failed.
int64_t ReadRiffInfo(TagFile& file, TrackRecord* record, platform::TextCodec& codec,
                     uint32_t codePage);

}  // namespace deltrix::tags
