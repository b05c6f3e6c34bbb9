// A ZRTL.DB (or ZRTB.DB) record read back, parsed once against every rule a written record keeps:
// the layout of track_list_file.h, and strings that a track can hold (each terminated within its
// data, zero-padded to its data length, no longer than its stored form allows, a path without a
// backslash and no longer than a file's). The engine reads records back through this one parser.
#pragma once

#include <cstdint>
#include <span>

#include "library/library_format.h"

namespace deltrix::library {

// Where each string of a record lies, and the fields the engine reads back.
struct TrackRecordView {
  uint32_t length = 0;  // the record length
  uint32_t index = 0;   // field 20: the track index it was written with
  uint32_t id = 0;
  uint16_t trackNumber = 0;
  uint32_t groupNumber[3] = {};            // field 16 of the chunks of strings 0-2
  uint32_t dataAt[kStringCount] = {};      // of each string's data, from the record's start
  uint32_t dataLength[kStringCount] = {};  // field 20 of each chunk: UTF-16 bytes rounded up to 4
  uint32_t units[kStringCount] = {};       // before the terminator
};

// What is wrong with a record, numbered as the trace steps of the update's indexing number it.
enum RecordFault : uint32_t {
  kRecordSound = 0,
  kNotATrackRecord = 7,  // short, mistagged, framed wrongly, or a string it cannot hold
  kNoPathChunk = 8,      // its string chunks end before the path's
};

// The longest path a file may have without its drive letter and colon, as a create accepts it.
inline constexpr uint32_t kMaxRelativePathUnits = 255;

// Parses the record at the start of `bytes` (which may run on past it).
[[nodiscard]] RecordFault ParseTrackRecord(std::span<const uint8_t> bytes, TrackRecordView* out);

// True when the string's units [from, units) are all below U+0100 (it can be stored in 8 bits).
bool NarrowUnits(const uint8_t* data, uint32_t from, uint32_t units);

}  // namespace deltrix::library
