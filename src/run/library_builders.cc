#include "run/library_builders.h"

#include "library/library_check.h"
#include "library/library_creator.h"
#include "library/library_reader.h"
#include "library/library_updater.h"
#include "library/tag_file_source.h"

namespace deltrix::run {

namespace {

class LibraryCreateBuilder : public CreateBuilder {
 public:
  LibraryCreateBuilder(const BuilderRequest& request, library::CreatorOptions memory)
      : source_(request.platform.files, request.platform.text),
        creator_(request.platform.files, source_, memory),
        root_(request.driveRoot),
        owner_(request.owner) {}

  int Open() override { return creator_.Open(root_, owner_); }
  int AddFile(std::u16string_view path, int tagLanguage, int64_t listedTime) override {
    return creator_.AddFile(path, tagLanguage, listedTime);
  }
  int SortAndWriteBatch(bool final) override { return creator_.SortAndWriteBatch(final); }
  int Finish() override { return creator_.Finish(); }
  void WriteTimes() override { (void)creator_.WriteTimes(); }
  void Close() override { creator_.Close(); }

 private:
  library::TagFileSource source_;
  library::CLibraryCreator creator_;
  std::u16string root_;
  library::BuildOwner& owner_;
};

class LibraryUpdateBuilder : public UpdateBuilder {
 public:
  explicit LibraryUpdateBuilder(const BuilderRequest& request)
      : source_(request.platform.files, request.platform.text),
        updater_(request.platform.files, source_,
                 library::UpdaterOptions{.rereadChanged = request.rereadChanged}),
        root_(request.driveRoot),
        owner_(request.owner) {}

  int Open() override { return updater_.Open(root_, owner_); }
  int CheckFile(std::u16string_view path, int64_t listedTime) override {
    return updater_.CheckFile(path, listedTime);
  }
  library::TimesFileState TimesState() const override { return updater_.timesState(); }
  int KeepTracksBelow(std::span<const std::u16string> folders) override {
    return updater_.KeepTracksBelow(folders);
  }
  uint32_t libraryTrackCount() const override { return updater_.libraryTrackCount(); }
  uint32_t tracksToRemove() const override { return updater_.tracksToRemove(); }
  int Merge(int tagLanguage) override { return updater_.Merge(tagLanguage); }
  int Finish() override { return updater_.Finish(); }
  void WriteTimes() override { (void)updater_.WriteTimes(); }
  void Close() override { updater_.Close(); }

 private:
  library::TagFileSource source_;
  library::CLibraryUpdater updater_;
  std::u16string root_;
  library::BuildOwner& owner_;
};

}  // namespace

std::unique_ptr<CreateBuilder> MakeCreateBuilder(const BuilderRequest& request) {
  return std::make_unique<LibraryCreateBuilder>(request, library::CreatorOptions{});
}

std::unique_ptr<UpdateBuilder> MakeUpdateBuilder(const BuilderRequest& request) {
  return std::make_unique<LibraryUpdateBuilder>(request);
}

BuilderFactories LibraryBuilders(library::CreatorOptions createMemory) {
  return {[createMemory](const BuilderRequest& request) -> std::unique_ptr<CreateBuilder> {
            return std::make_unique<LibraryCreateBuilder>(request, createMemory);
          },
          MakeUpdateBuilder};
}

LibraryCheck LibraryCheckFor(platform::FileSystem& files) {
  return [&files](std::u16string_view root) {
    return library::CheckLibrary(files, root, nullptr, library::CheckOptions{.statistics = false});
  };
}

}  // namespace deltrix::run
