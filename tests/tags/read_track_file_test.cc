#include "tags/read_track_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iostream>

#include "support/temp_drive.h"
#include "tag_test_util.h"

namespace deltrix::testing {
namespace {

using tags::FileType;
using tags::TrackRecord;

TEST(ClassifyExtension, RecognisesTheSixExtensionsInAnyCaseOnlyAfterADot) {
  struct Case {
    std::u16string_view path;
    FileType want;
  };
  const Case cases[] = {
      {u"E:\\a\\b.mp3", FileType::Mp3},   {u"E:\\a\\x.Mp3", FileType::Mp3},
      {u"E:\\a\\b.MP3", FileType::Mp3},   {u"E:\\a\\b.m4a", FileType::M4a},
      {u"E:\\a\\b.m4A", FileType::M4a},   {u"E:\\a\\b.mp4", FileType::Mp4},
      {u"E:\\a\\b.aac", FileType::Aac},   {u"E:\\a\\b.Aac", FileType::Aac},
      {u"E:\\a\\b.wav", FileType::Wav},   {u"E:\\a\\b.aif", FileType::Aiff},
      {u"E:\\a\\b.aIf", FileType::Aiff},  {u"E:\\a\\b.AIFF", FileType::Aiff},
      {u"E:\\a\\b.aiff", FileType::Aiff}, {u"E:\\a\\songAIFF", FileType::None},
      {u"E:\\a\\b.ogg", FileType::None},  {u"E:\\a\\b.aifc", FileType::None},
      {u"E:\\a\\b.m4p", FileType::None},  {u"E:\\a\\b.mp3.txt", FileType::None},
      {u"E:\\a\\bmp3", FileType::None},   {u".mp3", FileType::Mp3},
      {u"mp3", FileType::None},           {u"", FileType::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
    EXPECT_EQ(c.want, tags::ClassifyExtension(c.path));
  }
}

TEST(ReadTrackFile, AFileWithoutTagsGetsItsNameAsTitleAndItsPath) {
  const ReadResult r = ReadFile(Audio(500), u"E:\\Music\\song.mp3");
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(500, r.record.fileSize);
  EXPECT_EQ(FileType::Mp3, r.record.fileType);
  EXPECT_EQ(-1, r.record.trackNumber);
  EXPECT_EQ(u"", r.genre());
  EXPECT_EQ(u"", r.artist());
  EXPECT_EQ(u"", r.album());
  EXPECT_EQ(u"song.mp3", r.title());
  EXPECT_EQ(u"\\Music\\song.mp3", r.path());
  EXPECT_EQ(-1, r.record.reservedA);
  EXPECT_EQ(-1, r.record.reservedB);
  EXPECT_EQ(-1, r.record.reservedC);
  EXPECT_EQ(0x01FFFFFFu, r.record.PackedWord());
}

TEST(ReadTrackFile, KeepsTheModificationTimeItsOpenLearned) {
  // The run records every track's file time; taken from the open that reads the tags, it costs no
  // query of its own.
  TempDrive drive;
  const std::u16string path = drive.Path(u"Music\\a.mp3");
  const Bytes audio = Audio(300);
  ASSERT_TRUE(drive.WriteFile(path, audio));
  constexpr int64_t kTime = 1609459200;  // 2021-01-01 00:00:00 UTC
  ASSERT_TRUE(drive.SetModifiedTime(path, kTime));
  platform::FileSystem& files = drive.platform().files;
  auto opened = files.Open(path, "rb");
  ASSERT_TRUE(opened);
  const int64_t openTime = opened->ModifiedTime();
  opened.reset();

  TrackRecord record;
  ASSERT_EQ(1, ReadTrackFile(files, drive.platform().text, path, &record, 3));
  EXPECT_EQ(openTime, record.modifiedTime);
#ifndef _WIN32
  EXPECT_EQ(kTime, record.modifiedTime) << "a POSIX open measures the file with fstat";
#endif
  EXPECT_EQ(
      0, ReadTrackFile(files, drive.platform().text, drive.Path(u"Music\\gone.mp3"), &record, 3));
  EXPECT_EQ(platform::kNoTime, record.modifiedTime) << "reset for a file that cannot be read";
}

TEST(ReadTrackFile, ResetsTheRecordAndLeavesTheReservedFieldsAllSet) {
  MemoryFileSystem files;
  IconvTestCodec codec;
  files.AddFile(u"E:\\a.mp3", Concat({Id3v2(3, 0, Frame23("TIT2", Latin("New"))), Audio(100)}));
  TrackRecord record;
  record.reservedA = 5;
  record.reservedD = 0;
  record.reservedFlag = 0;
  record.trackNumber = 3;
  const char16_t old[] = u"An old and much longer title from before";
  std::memcpy(record.title, old, sizeof old);
  std::memcpy(record.artist, old, sizeof old);
  ASSERT_EQ(1, tags::ReadTrackFile(files, codec, u"E:\\a.mp3", &record, 3));
  EXPECT_EQ(u"New", std::u16string(record.title));
  for (size_t i = 3; i < tags::kTitleUnits; ++i) EXPECT_EQ(0, record.title[i]) << i;
  EXPECT_EQ(u"", std::u16string(record.artist));
  EXPECT_EQ(-1, record.reservedA);
  EXPECT_EQ(-1, record.trackNumber);
  EXPECT_EQ(0x01FFFFFFu, record.PackedWord());
}

TEST(ReadTrackFile, TheFileNameTitleIsExactlyTheNameCutAt63) {
  // A 70-character name keeps 63 characters.
  const std::u16string name = std::u16string(66, u'n') + u".mp3";
  ReadResult r = ReadFile(Audio(10), u"E:\\" + name);
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(name.substr(0, 63), r.title());
  // A longer ID3v1 title emptied by a later tag: the name is not followed by the old title's end.
  const Bytes v1 = Id3v1("A long ID3v1 title, thirty ch", "", "", 0, 1, 255);
  r = ReadFile(Concat({Id3v2(3, 0, Frame23("TIT2", Latin(""))), Audio(200), v1}), u"E:\\x.mp3");
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(u"x.mp3", r.title());
  // The file-name title is not cleaned up: its spaces stay.
  r = ReadFile(Riff("WAVE", Chunk("data", Audio(10))), u"E:\\with spaces   .wav");
  EXPECT_EQ(u"with spaces   .wav", r.title());
}

TEST(ReadTrackFile, StoresPathsOfUpTo255UnitsAndRefusesLongerOnes) {
  const std::u16string folder =
      u"\\" + std::u16string(120, u'd') + u"\\" + std::u16string(100, u'f') + u"\\";
  const std::u16string fits = folder + std::u16string(255 - folder.size() - 4, u'x') + u".mp3";
  ASSERT_EQ(255u, fits.size());
  ReadResult r = ReadFile(Audio(10), u"E:" + fits);
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(fits, r.path());
  EXPECT_EQ(0, r.record.path[255]);

  const std::u16string tooLong = folder + std::u16string(256 - folder.size() - 4, u'x') + u".mp3";
  MemoryFileSystem files;
  IconvTestCodec codec;
  files.AddFile(u"E:" + tooLong, Audio(10));
  TrackRecord record;
  record.fileSize = 1234;
  EXPECT_EQ(0, tags::ReadTrackFile(files, codec, u"E:" + tooLong, &record, 3));
  EXPECT_EQ(1234, record.fileSize);  // refused before anything is touched
  // ReadTags itself refuses full paths over 259 units.
  const std::u16string full(260, u'a');
  EXPECT_EQ(0, tags::ReadTags(files, codec, full, &record, 1252));
}

TEST(ReadTrackFile, AiffIsRecognisedAndNothingIsRead) {
  // An AIFF file holding an ID3v1 tag at its end and an ID3v2 tag in front: neither is read.
  const Bytes file = Concat(
      {Id3v2(3, 0, Frame23("TIT2", Latin("Id3"))), Audio(300), Id3v1("V1", "A", "B", 0, 1, 17)});
  for (std::u16string_view path : {u"E:\\a\\b.aiff", u"E:\\a\\b.AIF"}) {
    const ReadResult r = ReadFile(file, path);
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(FileType::Aiff, r.record.fileType);
    EXPECT_EQ(static_cast<int32_t>(file.size()), r.record.fileSize);
    EXPECT_EQ(path.substr(5), r.title());
    EXPECT_EQ(u"", r.artist());
    EXPECT_EQ(-1, r.record.trackNumber);
  }
}

TEST(ReadTrackFile, FailsForFilesItCannotOpenMeasureOrClassify) {
  IconvTestCodec codec;
  TrackRecord record;
  {
    MemoryFileSystem files;
    files.AddFile(u"E:\\a\\b.ogg", Audio(100));
    EXPECT_EQ(0, tags::ReadTrackFile(files, codec, u"E:\\a\\b.ogg", &record, 3));
    EXPECT_EQ(100, record.fileSize);  // opened and measured first
    EXPECT_EQ(0, tags::ReadTrackFile(files, codec, u"E:\\a\\missing.mp3", &record, 3));
  }
  for (const char* op : {"open", "seek", "read"}) {
    SCOPED_TRACE(op);
    MemoryFileSystem files;
    files.AddFile(u"E:\\a.mp3", Concat({Id3v2(3, 0, Frame23("TIT2", Latin("T"))), Audio(300)}));
    files.SetFault([op](std::string_view o, std::u16string_view) { return o == op; });
    EXPECT_EQ(0, tags::ReadTrackFile(files, codec, u"E:\\a.mp3", &record, 3));
  }
  {
    // A failed read in a WAV file's RIFF walk does not fail the file.
    MemoryFileSystem files;
    const Bytes wav = Riff(
        "WAVE", Concat({Chunk("LIST", Concat({TagBytes().Ascii("INFO"), InfoItem("INAM", "x")})),
                        Chunk("data", Audio(300))}));
    files.AddFile(u"E:\\a.wav", wav);
    int reads = 0;
    files.SetFault(
        [&reads](std::string_view o, std::u16string_view) { return o == "read" && ++reads > 2; });
    ASSERT_EQ(1, tags::ReadTrackFile(files, codec, u"E:\\a.wav", &record, 3));
    EXPECT_EQ(u"a.wav", std::u16string(record.title));
  }
}

TEST(ReadTrackFile, LaterReadersOverwriteEarlierOnes) {
  // ID3v1 < ID3v2 < MP4 atoms, field by field.
  const Bytes m4a = Concat(
      {Id3v2(3, 0,
             Concat({Frame23("TIT2", Latin("v2 title")), Frame23("TPE1", Latin("v2 artist"))})),
       Atom("ftyp", TagBytes().Ascii("M4A ").Be32(0)),
       Atom("moov",
            Atom("udta", Atom("meta", Concat({Bytes(4, 0),
                                              Atom("ilst", TextItem("\xA9nam", "atom title"))})))),
       Atom("mdat", Audio(10)), Id3v1("v1 title", "v1 artist", "v1 album", 0, 4, 8)});
  const ReadResult r = ReadFile(m4a, u"E:\\a.m4a");
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(u"atom title", r.title());
  EXPECT_EQ(u"v2 artist", r.artist());
  EXPECT_EQ(u"v1 album", r.album());
  EXPECT_EQ(u"Jazz", r.genre());
  EXPECT_EQ(4, r.record.trackNumber);
}

// --- What is read
// ------------------------------------------------------------------------------------

struct IoCount {
  int reads = 0;
  int seeks = 0;
  int64_t bytes = 0;
  std::vector<std::pair<int64_t, int64_t>> ranges;  // [start, end) of each read
  // Whether any read touched [start, end).
  bool Touched(int64_t start, int64_t end) const {
    for (const auto& [from, to] : ranges) {
      if (from < end && to > start) return true;
    }
    return false;
  }
};

class CountingFile : public platform::File {
 public:
  CountingFile(std::unique_ptr<platform::File> file, IoCount* count)
      : file_(std::move(file)), count_(count) {}
  size_t Read(void* dst, size_t size) override {
    const int64_t at = file_->Tell();
    const size_t n = file_->Read(dst, size);
    ++count_->reads;
    count_->bytes += static_cast<int64_t>(n);
    count_->ranges.emplace_back(at, at + static_cast<int64_t>(n));
    return n;
  }
  size_t Write(const void* src, size_t size) override { return file_->Write(src, size); }
  bool Seek(int64_t offset, platform::SeekFrom from) override {
    ++count_->seeks;
    return file_->Seek(offset, from);
  }
  int64_t Tell() override { return file_->Tell(); }
  bool Close() override { return file_->Close(); }

 private:
  std::unique_ptr<platform::File> file_;
  IoCount* count_;
};

class CountingFileSystem : public MemoryFileSystem {
 public:
  std::unique_ptr<platform::File> Open(std::u16string_view path, const char* mode) override {
    auto file = MemoryFileSystem::Open(path, mode);
    return file ? std::make_unique<CountingFile>(std::move(file), &count) : nullptr;
  }
  IoCount count;
};

IoCount CountRead(const Bytes& data, std::u16string_view path, TrackRecord* record) {
  CountingFileSystem files;
  IconvTestCodec codec;
  files.AddFile(path, data);
  EXPECT_EQ(1, tags::ReadTrackFile(files, codec, path, record, 3));
  std::cout << "[ reads ] " << std::string(path.begin(), path.end()) << ": " << data.size()
            << " bytes, " << files.count.reads << " reads of " << files.count.bytes << " bytes, "
            << files.count.seeks << " seeks\n";
  return files.count;
}

TEST(ReadTrackFile, ReadsOnlyTheTagsAndPassesCoverArtAndAudioBySeeks) {
  const Bytes cover =
      Concat({TagBytes().U8(0).Ascii("image/jpeg").U8(0).U8(3).U8(0), Audio(500 * 1024)});
  {
    // MP3: ID3v2.3 with text frames, a 500 KB cover, more text after it and padding; audio; ID3v1.
    const Bytes before =
        Concat({Frame23("TIT2", Utf16WithMark(u"Title")), Frame23("TPE1", Latin("Artist")),
                Frame23("TALB", Latin("Album"))});
    const Bytes tag = Id3v2(3, 0,
                            Concat({before, Frame23("APIC", cover), Frame23("TRCK", Latin("3/9")),
                                    Frame23("TCON", Latin("(17)")), Bytes(1024, 0)}));
    const Bytes file = Concat({tag, Audio(2 * 1024 * 1024), Id3v1("v1", "", "", 0, 1, 1)});
    TrackRecord record;
    const IoCount count = CountRead(file, u"E:\\a.mp3", &record);
    EXPECT_EQ(u"Title", std::u16string(record.title));
    EXPECT_EQ(3, record.trackNumber);
    EXPECT_EQ(u"Rock", std::u16string(record.genre));
    EXPECT_LE(count.reads, 4);
    EXPECT_LE(count.bytes, 128 + 10 + 2 * 4096);
    EXPECT_LE(count.seeks, 4);
    // Of the cover only what shares a block with the frame headers is read; of the audio nothing.
    const int64_t coverStart = static_cast<int64_t>(10 + before.size() + 10);
    EXPECT_FALSE(count.Touched(coverStart + 4096, coverStart + static_cast<int64_t>(cover.size())));
    EXPECT_FALSE(
        count.Touched(static_cast<int64_t>(tag.size()), static_cast<int64_t>(file.size()) - 128));
  }
  {
    // M4A: ftyp, moov (mvhd, a 60 KB trak, udta with the items and a 500 KB covr), 2 MB mdat.
    const Bytes items =
        Concat({TextItem("\xA9nam", "Title"),
                TextItem("\xA9"
                         "ART",
                         "Artist"),
                TrknItem(3, 9),
                Atom("covr", Atom("data", Concat({TagBytes().Be32(13).Zeros(4), cover})))});
    const Bytes moov = Atom(
        "moov", Concat({Atom("mvhd", Bytes(100, 0)), Atom("trak", Audio(60 * 1024)),
                        Atom("udta", Atom("meta", Concat({Bytes(4, 0), Atom("hdlr", Bytes(25, 0)),
                                                          Atom("ilst", items)})))}));
    const Bytes file = Concat(
        {Atom("ftyp", TagBytes().Ascii("M4A ").Be32(0)), moov, Atom("mdat", Audio(2 << 20))});
    TrackRecord record;
    const IoCount count = CountRead(file, u"E:\\a.m4a", &record);
    EXPECT_EQ(u"Title", std::u16string(record.title));
    EXPECT_EQ(3, record.trackNumber);
    EXPECT_LE(count.bytes, 128 + 10 + 8 * 8 + 2 * 4096);
    // Nothing of the cover or the audio is read but the last 128 bytes, where an ID3v1 tag would
    // be.
    const int64_t mdat = static_cast<int64_t>(file.size() - (2 << 20));
    EXPECT_FALSE(count.Touched(mdat, static_cast<int64_t>(file.size()) - 128));
    EXPECT_LE(count.reads, 8);
  }
  {
    // WAV: fmt, 2 MB of data, LIST/INFO at the end.
    const Bytes file = Riff(
        "WAVE", Concat({Chunk("fmt ", Bytes(16, 1)), Chunk("data", Audio(2 << 20)),
                        Chunk("LIST", Concat({TagBytes().Ascii("INFO"), InfoItem("INAM", "Title"),
                                              InfoItem("IART", "Artist")}))}));
    TrackRecord record;
    const IoCount count = CountRead(file, u"E:\\a.wav", &record);
    EXPECT_EQ(u"Title", std::u16string(record.title));
    EXPECT_LE(count.bytes, 128 + 10 + 12 + 3 * 8 + 64);
    // The audio is not read, but for the file's last 128 bytes (where an ID3v1 tag would be).
    EXPECT_FALSE(count.Touched(12 + 24 + 8, static_cast<int64_t>(file.size()) - 128));
  }
}

}  // namespace
}  // namespace deltrix::testing
