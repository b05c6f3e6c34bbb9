// Paths between the drive form and native folders: the pure rules over tables, the canonical form
// over a real temporary folder.
#include "platform/posix/native_paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace deltrix::platform::posix {
namespace {

TEST(Below, TakesOnlyWholeNamesUnderTheFolder) {
  const struct {
    const char* folder;
    const char* path;
    const char* below;  // null: not below
  } cases[] = {
      {"/media/me/STICK", "/media/me/STICK/Music/a.mp3", "Music/a.mp3"},
      {"/media/me/STICK", "/media/me/STICK", ""},
      {"/media/me/STICK", "/media/me/STICK2/a.mp3", nullptr},
      {"/media/me/STICK", "/media/me", nullptr},
      {"/", "/home/me", "home/me"},
      {"/", "/", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.folder) + " " + c.path);
    const std::optional<std::string_view> below = Below(c.folder, c.path);
    ASSERT_EQ(c.below != nullptr, below.has_value());
    if (c.below) {
      EXPECT_EQ(c.below, *below);
    }
  }
}

TEST(DrivePathNames, DropsEmptyAndDotNamesAndStopsDotDotAtTheRoot) {
  using Names = std::vector<std::u16string_view>;
  const struct {
    std::u16string_view path;
    std::optional<Names> names;
  } cases[] = {
      {u"\\", Names{}},
      {u"", Names{}},
      {u"\\Music\\a.mp3", Names{u"Music", u"a.mp3"}},
      {u"\\\\Music//.\\a.mp3\\", Names{u"Music", u"a.mp3"}},
      {u"\\Music\\..\\..\\..\\a.mp3", Names{u"a.mp3"}},
      {u"\\a\\b\\..\\c", Names{u"a", u"c"}},
      {u"\\..", Names{}},
      {std::u16string_view(u"\\a\0b", 4), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.path)));
    EXPECT_EQ(c.names, DrivePathNames(c.path));
  }
}

TEST(CanonicalPath, ResolvesTheExistingPartAndKeepsTheRest) {
  namespace fs = std::filesystem;
  const fs::path base = fs::temp_directory_path() / ("deltrix_paths_" + std::to_string(getpid()));
  fs::remove_all(base);
  fs::create_directories(base / "real" / "sub");
  fs::create_directory_symlink(base / "real", base / "link");
  const std::string real = fs::canonical(base / "real").string();

  EXPECT_EQ(real + "/sub", CanonicalPath((base / "link" / "sub").string()));
  EXPECT_EQ(real + "/new/file.mp3", CanonicalPath((base / "link" / "new" / "file.mp3").string()));
  EXPECT_EQ(real + "/new", CanonicalPath((base / "link" / "new" / "x" / "..").string()));
  EXPECT_EQ(real, CanonicalPath((base / "link" / "new" / "..").string()));
  EXPECT_EQ(real, RealPath((base / "link").string()));
  EXPECT_EQ("", RealPath((base / "link" / "missing").string()));
  EXPECT_EQ("", CanonicalPath(""));
  fs::remove_all(base);
}

}  // namespace
}  // namespace deltrix::platform::posix
