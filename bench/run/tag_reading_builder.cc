#include "tag_reading_builder.h"

#include "base/error_code.h"
#include "run/library_builders.h"
#include "tags/read_track_file.h"
#include "tags/track_record.h"

namespace deltrix::bench {

namespace {

class TagReadingBuilder : public run::CreateBuilder {
 public:
  explicit TagReadingBuilder(const run::BuilderRequest& request)
      : files_(request.platform.files), text_(request.platform.text), owner_(request.owner) {}

  int Open() override { return Success; }
  // As the library's creator: a file that cannot be read goes to the owner's skip question.
  int AddFile(std::u16string_view path, int tagLanguage, int64_t) override {
    record_ = tags::TrackRecord{};
    if (tags::ReadTrackFile(files_, text_, path, &record_, tagLanguage) != 1)
      return owner_.AskSkipFile();
    return Success;
  }
  int SortAndWriteBatch(bool) override { return Success; }
  int Finish() override { return Success; }
  void WriteTimes() override {}
  void Close() override {}

 private:
  platform::FileSystem& files_;
  platform::TextCodec& text_;
  library::BuildOwner& owner_;
  tags::TrackRecord record_;  // read into and dropped, file after file
};

}  // namespace

run::BuilderFactories TagReadingBuilders() {
  run::BuilderFactories factories = run::LibraryBuilders();
  factories.create = [](const run::BuilderRequest& request) -> std::unique_ptr<run::CreateBuilder> {
    return std::make_unique<TagReadingBuilder>(request);
  };
  return factories;
}

}  // namespace deltrix::bench
