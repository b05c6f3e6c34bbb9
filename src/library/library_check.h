// The invariants that tie the three library files together, checked on an image read by the library
// reader (library_reader.h): records and their strings, each sorted list a permutation of the
// tracks in the player's order, group numbers changing exactly at value boundaries, the group
// tables against the lists and each other, ZRDB.DB's directory against ZRBL.DB and its statistics
// against the records. Nothing is shared with the writers but the collation rules and the record
// parser's limits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace deltrix::library {

struct LibraryImage;

struct CheckOptions {
  // Recompute the statistics of ZRDB.DB from the records: every count, the totals and compact
  // sizes of genre, artist and album exactly, and the title's and path's totals and compact sizes,
  // which creates and updates gather in different ways, within the least and the most those ways
  // can give.
  bool statistics = true;
};

// One line per violation in *problems (may be null); true when none.
bool CheckLibraryImage(const LibraryImage& image, std::vector<std::string>* problems,
                       CheckOptions options = {});

// ReadLibraryImage then CheckLibraryImage. True only for a present, sound library. `problems` may
// be null.
bool CheckLibrary(platform::FileSystem& files, std::u16string_view root,
                  std::vector<std::string>* problems, CheckOptions options = {});

}  // namespace deltrix::library
