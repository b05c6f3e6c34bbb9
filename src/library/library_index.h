// An update's reading of the library it is to change, at its open: ZRTL.DB indexed by path (the
// path index in the front of the pool, path_index.h), the four sorted lists of ZRBL.DB and the
// summary into the context. Each file is checked as it is read, with the rules of the library check
// that need no second pass over the card: every record whole and sound (track_record_view.h),
// carrying its own index and group numbers, its id given once; the records ending where the header
// says; ZRBL.DB laid out as the writer lays it out, each sorted list naming every track once, the
// group numbers counting up along it and each group list what a finish would build; a summary with
// a next track id above every id in ZRTL.DB and room for 150000 more, and, when it has its
// sections, counts, title and path totals and a list directory that fit the other two files. The
// order of the sorted lists and where their values change are not checked: that needs the strings
// in list order.
#pragma once

#include <cstdint>
#include <span>

#include "library/library_context.h"
#include "library/path_index.h"
#include "library/summary_file.h"
#include "library/times_file.h"
#include "library/track_record_view.h"
#include "platform/platform.h"

namespace deltrix::library {

class LibraryIndex {
 public:
  // `area` (kPathIndexBytes) holds the path index.
  explicit LibraryIndex(std::span<uint8_t> area) : paths_(area) {}

  // Reads and checks the three files of the library on ctx's drive. kDone, or 0 after the trace
  // record of the first fault (sites kSiteUpdateIndex, kSiteReadBrowseList, kSiteReadSummary).
  [[nodiscard]] int Read(LibraryContext& ctx, platform::FileSystem& files);
  const PathIndex& paths() const { return paths_; }
  // What ties a times file to the library read (times_file.h).
  const LibraryStamp& stamp() const { return stamp_; }

 private:
  // What the records say the summary's title and path totals can be.
  struct Figures {
    uint64_t least[2] = {};  // title, path
    uint64_t most[2] = {};
    void Add(const TrackRecordView& record);
  };

  [[nodiscard]] int IndexTrackList(LibraryContext& ctx, platform::FileSystem& files);
  [[nodiscard]] int ReadListsAndSummary(LibraryContext& ctx, platform::FileSystem& files);
  bool SummaryFits(const LibraryContext& ctx, const SummaryContents& summary) const;

  PathIndex paths_;
  Figures figures_;
  uint32_t maxTrackId_ = 0;  // the highest track id in ZRTL.DB
  LibraryStamp stamp_;
};

}  // namespace deltrix::library
