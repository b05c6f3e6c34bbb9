// MP4 and M4A metadata: title, artist, album, genre and track number from the item list at
// "moov" -> "udta" -> "meta" -> "ilst". The walk has five levels, each with a byte budget (unsigned
// 32-bit) from which every atom's size is taken; a level that meets its budget exactly ends the
// whole walk with success, and the walk never returns to a parent level. Atoms are passed by seeks;
// only atom headers and the contents of the items that are stored are read.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "tags/tag_file.h"
#include "tags/track_record.h"

namespace deltrix::tags {

// Walks the atoms from file offset `start` with `budget` bytes for the top level (the file size,
// also when the walk starts after an ID3v2 tag). Returns 1 on success, 0 when the walk fails: a
// failed read, a top-level size of 0xFFFFFFFF, or an atom size below 8 (an atom that runs to the
// end of the file, or one with a 64-bit size, is not walked).
[[nodiscard]] int ReadMp4Atoms(TagFile& file, int64_t start, uint32_t budget, TrackRecord* record);

}  // namespace deltrix::tags
