// The library builders as the run's drivers see them. The create driver calls, in this order:
// Open, AddFile once per found file, SortAndWriteBatch(final) when something was added, Finish,
// Close. Every result is an ErrorCode (0 success). The real builders wrap the library engine; tests
// hand the run doubles through the factory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "library/build_owner.h"
#include "library/times_file.h"
#include "platform/platform.h"

namespace deltrix::run {

class CreateBuilder {
 public:
  virtual ~CreateBuilder() = default;
  [[nodiscard]] virtual int Open() = 0;  // 0, or 3 when the engine refuses its memory
  // 0 taken in; 2 unreadable and skipped; 8 stop; 3 or 4 when writing a full batch failed.
  // `listedTime` is the file's modification time when the scan's listing gave it.
  [[nodiscard]] virtual int AddFile(std::u16string_view path, int tagLanguage,
                                    int64_t listedTime) = 0;
  [[nodiscard]] virtual int SortAndWriteBatch(bool final) = 0;  // 0, 3 or 4
  [[nodiscard]] virtual int Finish() = 0;                       // 0, 3 or 4
  // Once the run has succeeded, before Close: the times file of the library written. A failure
  // leaves no times file, which the next update that reads changed files says.
  virtual void WriteTimes() = 0;
  virtual void Close() = 0;
};

// What the run tells the user after an update's Open failed with 3.
inline constexpr std::u16string_view kLibraryNotUpdatableNotice =
    u"The library on the card is missing or damaged and cannot be updated. Create Library builds "
    u"it "
    u"anew.";

// The update driver calls: Open, CheckFile once per found file, KeepTracksBelow, Merge and Finish
// (also when nothing was found), Close.
class UpdateBuilder {
 public:
  virtual ~UpdateBuilder() = default;
  [[nodiscard]] virtual int Open() = 0;  // 0, or 3 when the library on the drive cannot be read
  // 0 looked up (known, or queued as new); 2 the file cannot be opened; 3 the library cannot be
  // read; 4 the add list cannot be written. `listedTime` as for CreateBuilder::AddFile.
  [[nodiscard]] virtual int CheckFile(std::u16string_view path, int64_t listedTime) = 0;
  // After Open: what was found of the times file (anything but kLoaded: sizes alone decide).
  virtual library::TimesFileState TimesState() const = 0;
  // Keeps the tracks not found below the folders the scan could not list (drive form). 0 or 3.
  [[nodiscard]] virtual int KeepTracksBelow(std::span<const std::u16string> folders) = 0;
  // The library's tracks, and how many of them the merge would drop.
  virtual uint32_t libraryTrackCount() const = 0;
  virtual uint32_t tracksToRemove() const = 0;
  // 0; 3 or 4; 8 the user aborted at an unreadable file; RunStopped the merge phase saw
  // a stop.
  [[nodiscard]] virtual int Merge(int tagLanguage) = 0;
  [[nodiscard]] virtual int Finish() = 0;  // 0, 3 or 4; writes nothing when nothing changed
  // Once the run has succeeded, before Close: the times file, when the library changed or the
  // times file was of no use to a run that reads changed files again.
  virtual void WriteTimes() = 0;
  virtual void Close() = 0;
};

struct BuilderRequest {
  platform::Platform& platform;
  std::u16string_view driveRoot;
  int fileSystemKind;
  library::BuildOwner& owner;
  bool rereadChanged = false;  // an update reads changed files again
};

using CreateBuilderFactory = std::function<std::unique_ptr<CreateBuilder>(const BuilderRequest&)>;
using UpdateBuilderFactory = std::function<std::unique_ptr<UpdateBuilder>(const BuilderRequest&)>;

// The builders a run may use.
struct BuilderFactories {
  CreateBuilderFactory create;
  UpdateBuilderFactory update;
};

}  // namespace deltrix::run
