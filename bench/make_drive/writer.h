// Puts a plan on disk below a root folder: creates the folders, writes each file in one write,
// marks hidden and system entries with the user.DOSATTRIB extended attribute ("0x2", "0x4" or
// "0x6", the text form a FAT attribute byte takes on Linux), and deletes the files a generation
// removed. Files are spread over a few threads; what each holds depends only on the plan.
#pragma once

#include <cstdint>
#include <string>

#include "plan.h"

namespace deltrix::bench {

struct SyncStats {
  uint64_t filesWritten = 0;  // audio files and decoys
  uint64_t bytesWritten = 0;
  uint64_t filesRemoved = 0;
  uint64_t foldersMade = 0;
  uint64_t decoyFiles = 0;  // non-collected files written (decoys and passed-over audio)
};

// Brings the tree under `root` from generation `from` to generation `to` of `plan`. `from` < 0
// means an empty root: everything present at `to` is written, the decoys included. Returns false
// with a message in `error` on the first failure.
bool SyncTree(const Plan& plan, const std::string& root, int64_t from, uint32_t to, int threads,
              SyncStats* stats, std::string* error);

}  // namespace deltrix::bench
