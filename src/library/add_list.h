// ZRTA.LST, an update's add list: the audio files on the drive that the library does not hold yet.
// The check pass queues one record per new file in the run's file buffer and appends the buffer to
// the file whenever it fills; the merge reads the records back once, in order; the update deletes
// the file when it closes. The player never reads it. All integers little-endian. One record:
//
//   0 u32 record length (12 + name block + path block) | 4 u32 file size (low 32 bits) |
//   8 u32 kind code of the extension (AddListKind) | 12 u32 name block length, 12 |
//  16 u32 1 (the name is always empty: its units with the terminator) | 20 4 zero bytes |
//  24 u32 path block length (8 + path data) | 28 u32 path bytes d, without a terminator |
//  32 the path without drive letter and colon, "/" as separator, UTF-16LE, zero-padded to a
//     multiple of 4 (the path data: d rounded up to a multiple of 4)
//
// A file name may hold the yen sign U+00A5: it is a character of the name, kept as it is here and
// in the stored track path, so that the merge reads the file where it lies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "library/library_context.h"
#include "platform/platform.h"

namespace deltrix::library {

inline constexpr uint32_t kAddListHeadBytes = 32;      // a record up to its path data
inline constexpr uint32_t kAddListMaxPathUnits = 255;  // without drive letter and colon
inline constexpr uint32_t kAddListRecordMax = kAddListHeadBytes + 2 * 256;
inline constexpr size_t kAddListReadBytes = 1052;     // read back one record at a time
inline constexpr size_t kAddListFlushReserve = 2048;  // appended when fewer bytes are left

// The kind code of a path's extension, from its lower-cased last 4 units (5 for ".aiff"):
// ".mp3" 1, ".m4a" 2, ".aac" 3, ".mp4" 4, ".wav" 12, ".aif" and ".aiff" 13, anything else 0.
// These are not the file types of the track records.
uint32_t AddListKind(std::u16string_view path);

// Starts an empty add list. ZRTA.LST itself is created ("w+b") only when the first records are
// written to it, so an update that finds no new file writes nothing to the card. kDone, or 0 when
// the context is not open.
[[nodiscard]] int CreateAddList(LibraryContext& ctx, platform::FileSystem& files);

// Queues the record of one new file in the file buffer. `relativePath` is the path without drive
// letter and colon with "/" separators, at most kAddListMaxPathUnits units. When the filled part
// exceeds the buffer size minus 2048 the buffer is appended to ZRTA.LST and emptied. kDone, or 0
// after a trace record of site kSiteAppendAddList (1 open, 2 write or close; 3 a path too long).
[[nodiscard]] int QueueAddListRecord(LibraryContext& ctx, platform::FileSystem& files,
                                     uint32_t fileSize, uint32_t kind,
                                     std::u16string_view relativePath);

// Appends what the buffer holds to ZRTA.LST and empties it; nothing to do is kDone too. The first
// append creates the file ("w+b", replacing any left by an interrupted run), later ones use "a+b".
// kDone, or 0 after a trace record: kSiteAddListCreate (1) when the file cannot be created,
// kSiteAppendAddList (1 open, 2 write or close).
[[nodiscard]] int FlushAddList(LibraryContext& ctx, platform::FileSystem& files);

enum AddListRead {
  kQueuedPathRead,  // path[0..*units) is a queued path as stored ("/" separators)
  kAddListEnded,
  kAddListBroken,  // the file cannot be opened or read, or a record is malformed (trace record of
                   // site kSiteReadAddList, 1)
};

// Reads ZRTA.LST back from the start, one record at a time from ctx.addListReadPosition.
class AddListReader {
 public:
  AddListReader(LibraryContext& ctx, platform::FileSystem& files) : ctx_(ctx), files_(files) {}
  // The next record. `path` must hold kAddListMaxPathUnits units.
  [[nodiscard]] AddListRead Next(std::span<char16_t> path, uint32_t* units);

 private:
  LibraryContext& ctx_;
  platform::FileSystem& files_;
  std::unique_ptr<platform::File> file_;
  bool opened_ = false;
};

}  // namespace deltrix::library
