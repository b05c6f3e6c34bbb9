// ZRTL.DB, the track list: one record per track, in track index order. Every other library file
// names tracks by their index here (the record's position, from 0). A create of one batch writes
// it to the drive straight away, front to back. A create of several gathers it in a scratch file
// on the computer's disk, one append per batch, and writes it to the drive once at the end with
// the final group numbers patched in as it goes. An update appends its batches to the ZRTL.DB on
// the drive and patches the group numbers in place; its rewrite (ZRTB.DB) has the same layout.
// All integers little-endian.
//
// Header, 16 bytes:   0 "zrtl" | 4 u32 16 (where the first record starts) | 8 u32 file length |
//                    12 u32 number of records
// Record head, 48:    0 "zrti" | 4 u32 48 | 8 u32 record length (48 + its chunks) | 12 u32 5 chunks
// |
//                    16 u8 fileType | 17 u8 bit 23 of reservedD | 18 two zero bytes |
//                    20 u32 track index | 24 u32 track id | 28 s32 fileSize | 32 s32 reservedA |
//                    36 s16 trackNumber | 38 s16 reservedC | 40 s32 reservedB |
//                    44 3 bytes bits 0-22 of reservedD (top bit 0) | 47 u8 0
// String chunk:       0 "zrst" | 4 u32 24 | 8 u32 24 + data length | 12 u32 string index 0-4 |
//                    16 u32 group number under sort key 0, 1, 2 for strings 0, 1, 2; else 0 |
//                    20 u32 data length | 24 the string as UTF-16LE with its terminator,
//                    zero-padded to a multiple of 4 (an empty string has data length 4)
// The five chunks follow in string order genre, artist, album, title, path (without drive letter
// and colon, "/" as separator), each present even when empty.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "library/library_context.h"
#include "platform/platform.h"

namespace deltrix::library {

// Writes the current batch (entry e becomes track tracksWritten + e), stores each record's offset
// and sets tracks written = total tracks. A create's `last` batch that is also its first is the
// whole track list, written to the drive; any other create batch is appended to the scratch file
// (made with the first); an update's is appended to ZRTL.DB on the drive, whose header is
// rewritten. kDone, or 0 after a trace record of site kSiteWriteTrackList (the caller reports error
// 4).
[[nodiscard]] int WriteTrackListBatch(LibraryContext& ctx, platform::FileSystem& files, bool last);

// The written track list, to read records back: a borrowed view of the scratch file while a
// create gathers one (closing it keeps the scratch file), else ZRTL.DB on the drive. Null when it
// cannot be opened.
std::unique_ptr<platform::File> OpenWrittenTrackList(LibraryContext& ctx,
                                                     platform::FileSystem& files);

// A create's track list gathered in the scratch file, written to the drive's ZRTL.DB front to
// back with the group numbers of keys 0-2 patched in, then the scratch file closed. Success;
// CreateDataFailed when the scratch file cannot be read back or holds a record that is not well
// formed, WriteFileFailed when ZRTL.DB cannot be written (both after a trace record of site
// kSitePatch).
[[nodiscard]] int WriteTrackListFromScratch(LibraryContext& ctx, platform::FileSystem& files);

// Writes the group numbers of keys 0-2 into the chunks of strings 0-2 of every record of ZRTL.DB
// on the drive, in place (an update).
// kDone, or 0 after a trace record of site kSitePatch.
[[nodiscard]] int PatchGroupNumbers(LibraryContext& ctx, platform::FileSystem& files);

// Reads the sort strings (from `key` on) and the track number of a record read back into `bytes`;
// the slot's texts point into `bytes`. kDone, or 4 when fewer than 48 bytes arrived, 5 when the
// bytes are not a well-formed track record (the trace steps of site kSiteReadRecord).
[[nodiscard]] int ParseRecordSlot(std::span<const uint8_t> bytes, int key, SortSlot* slot);

}  // namespace deltrix::library
