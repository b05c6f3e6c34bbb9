// A create run through the real tag readers (TagFileSource) over files made by tagging programs
// (copied from the shared fixtures into data/).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "library/library_check.h"
#include "library/library_reader.h"
#include "library/tag_file_source.h"
#include "library_test_util.h"

namespace deltrix::library::testing {
namespace {

std::vector<uint8_t> DataFile(const std::string& name) {
  std::ifstream in(std::string(DELTRIX_TAG_DATA) + "/" + name, std::ios::binary);
  EXPECT_TRUE(in.good()) << name;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(CreateFromTags, RealTaggedFilesMakeASoundLibraryAndAnUnreadableOneIsAsked) {
  deltrix::testing::MemoryPlatform platform;
  MemoryFileSystem& fs = platform.files;
  fs.AddFile(u"E:\\Music\\one.mp3", DataFile("id3v2/mutagen_v24_enc1.mp3"));
  fs.AddFile(u"E:\\Music\\two.m4a", DataFile("mp4/mutagen_trkn_5_12.m4a"));
  fs.AddFile(u"E:\\Music\\broken.mp3", DataFile("id3v2/hand_body_beyond_file.mp3"));
  fs.AddFile(u"E:\\Music\\with spaces   .wav", DataFile("paths/with spaces   .wav"));

  TagFileSource source(fs, platform.text);
  TestOwner owner;
  CLibraryCreator creator(fs, source);
  ASSERT_EQ(0, creator.Open(kRoot, owner));
  EXPECT_EQ(0, creator.AddFile(u"E:\\Music\\one.mp3", 3));
  EXPECT_EQ(0, creator.AddFile(u"E:\\Music\\two.m4a", 3));
  EXPECT_EQ(2, creator.AddFile(u"E:\\Music\\broken.mp3", 3));
  EXPECT_EQ(0, creator.AddFile(u"E:\\Music\\with spaces   .wav", 3));
  EXPECT_EQ(1, owner.asked);
  ASSERT_EQ(0, creator.SortAndWriteBatch(true));
  ASSERT_EQ(0, creator.Finish());
  creator.Close();

  std::vector<std::string> problems;
  EXPECT_TRUE(CheckLibrary(fs, kRoot, &problems)) << (problems.empty() ? "" : problems[0]);
  LibraryImage image;
  ASSERT_TRUE(ReadLibraryImage(fs, kRoot, &image, nullptr));
  ASSERT_EQ(3u, image.tracks.size());
  EXPECT_EQ(u"/Music/one.mp3", image.tracks[0].text[kPath]);
  EXPECT_EQ(u"Artist 1", image.tracks[0].text[kArtist]);
  EXPECT_EQ(1, image.tracks[0].fileType);
  EXPECT_EQ(u"/Music/two.m4a", image.tracks[1].text[kPath]);
  EXPECT_EQ(4, image.tracks[1].fileType);
  EXPECT_EQ(5, image.tracks[1].trackNumber);
  EXPECT_EQ(u"with spaces   .wav", image.tracks[2].text[kTitle])
      << "the file name stands in for a title";
  EXPECT_EQ(12, image.tracks[2].fileType);
  EXPECT_EQ(static_cast<int32_t>(DataFile("paths/with spaces   .wav").size()),
            image.tracks[2].fileSize);
}

}  // namespace
}  // namespace deltrix::library::testing
