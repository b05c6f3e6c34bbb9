#include "platform/posix/posix_drive_table.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/statfs.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>

namespace deltrix::platform::posix {
namespace {

constexpr std::string_view kMounts =
    "28 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
    "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
    "40 28 8:17 / /media/me/MUSIC\\040STICK rw,nosuid shared:50 - vfat /dev/sdb1 rw\n"
    "41 28 8:33 / /media/me/WIN rw - ntfs3 /dev/sdc1 rw\n"
    "42 28 0:50 / /mnt/nas rw - nfs4 nas:/export rw\n"
    "43 28 11:0 / /media/me/DISC ro - iso9660 /dev/sr0 ro\n"
    "44 28 8:17 /Music /home/me/music rw - vfat /dev/sdb1 rw\n"
    "46 28 8:49 / /media/me/CARD rw - vfat /dev/sdd1 rw\n"
    "49 28 8:65 / /media/me/BIG rw - fuseblk /dev/sde1 rw\n";

// The system as fixture data. Folders it does not know are asked of the real statfs, so staging
// folders on temporary folders behave as on the machine.
class FakeProbe : public SystemProbe {
 public:
  struct Volume {
    uint64_t clusters = 0;
    bool readable = true;
  };
  std::string mountInfo{kMounts};
  std::map<std::string, Volume> volumes;
  std::map<std::string, uint32_t> fatIds;
  std::map<std::pair<uint32_t, uint32_t>, DeviceFacts> devices;
  int deviceQueries = 0;

  std::string MountInfo() override { return mountInfo; }
  bool StatVolume(const std::string& folder, uint64_t* clusters, uint32_t* fsMagic) override {
    auto it = volumes.find(folder);
    if (it == volumes.end()) {
      struct statfs st {};
      if (statfs(folder.c_str(), &st) != 0) return false;
      *clusters = static_cast<uint64_t>(st.f_blocks);
      *fsMagic = static_cast<uint32_t>(st.f_type);
      return true;
    }
    *clusters = it->second.clusters;
    *fsMagic = 0;
    return it->second.readable;
  }
  uint32_t FatVolumeId(const std::string& folder) override {
    auto it = fatIds.find(folder);
    return it == fatIds.end() ? 0 : it->second;
  }
  DeviceFacts Device(const MountEntry& mount) override {
    ++deviceQueries;
    auto it = devices.find({mount.major, mount.minor});
    return it == devices.end() ? DeviceFacts{} : it->second;
  }
};

std::unique_ptr<FakeProbe> DesktopProbe() {
  auto probe = std::make_unique<FakeProbe>();
  probe->volumes = {{"/", {1000000}},           {"/media/me/MUSIC STICK", {500000}},
                    {"/media/me/WIN", {9000}},  {"/mnt/nas", {100}},
                    {"/media/me/DISC", {2000}}, {"/media/me/CARD", {4000}},
                    {"/media/me/BIG", {77}}};
  probe->fatIds = {{"/media/me/MUSIC STICK", 0x1234ABCD}};
  probe->devices = {
      {{254, 1}, {false, "3f8e2a10-1111-2222-3333-444455556666", "", ""}},
      {{8, 17}, {true, "1234-ABCD", "MUSIC STICK", "vfat"}},
      {{8, 33}, {true, "01D9A1B2C3D4E5F6", "Data", "ntfs"}},
      {{11, 0}, {true, "2024-01-01-12-00-00-00", "DISC", "iso9660"}},
      {{8, 49}, {true, "ABCD-1234", "", "vfat"}},
      {{8, 65}, {false, "0123456789ABCDEF", "Big", "ntfs"}},
  };
  return probe;
}

class DriveTableTest : public ::testing::Test {
 protected:
  DriveTableTest() {
    auto probe = DesktopProbe();
    probe_ = probe.get();
    table_ = std::make_unique<PosixDriveTable>(std::move(probe));
  }
  FakeProbe* probe_;
  std::unique_ptr<PosixDriveTable> table_;
};

TEST_F(DriveTableTest, ReadsEachVolumeAsTheWindowsHostWould) {
  struct Case {
    std::u16string_view root;
    std::u16string_view fileSystem;
    uint32_t serial;
    std::u16string_view name;
    DriveType type;
  };
  const Case cases[] = {
      {u"C:\\", u"ext4", 0x3f8e2a10, u"", DriveTypeFixed},
      {u"D:\\", u"FAT32", 0x1234ABCD, u"MUSIC STICK", DriveTypeRemovable},  // serial from the ioctl
      {u"E:\\", u"NTFS", 0xC3D4E5F6, u"Data", DriveTypeRemovable},  // low half of NTFS's 64 bits
      {u"F:\\", u"nfs4", 0, u"", DriveTypeRemote},
      {u"G:\\", u"iso9660", 0, u"DISC", DriveTypeCdRom},
      // 4000 clusters make FAT16; the id comes from by-uuid when the ioctl gives none.
      {u"H:\\", u"FAT", 0xABCD1234, u"", DriveTypeRemovable},
      {u"I:\\", u"NTFS", 0x89ABCDEF, u"Big", DriveTypeFixed},  // ntfs-3g shows as fuseblk
  };
  EXPECT_EQ(0x1FCu, table_->PresentDrives());  // C: to I:
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.root.begin(), c.root.end()));
    VolumeInfo info;
    ASSERT_TRUE(table_->ReadVolume(c.root, &info));
    EXPECT_EQ(c.fileSystem, info.fileSystem);
    EXPECT_EQ(c.serial, info.serial);
    EXPECT_EQ(c.name, info.name);
    EXPECT_EQ(c.type, table_->TypeOf(c.root));
  }
}

TEST_F(DriveTableTest, RootsAreMatchedByLetterAloneAndNothingElseIsARoot) {
  VolumeInfo info;
  EXPECT_TRUE(table_->ReadVolume(u"d:\\", &info));
  EXPECT_TRUE(table_->ReadVolume(u"D:", &info));
  EXPECT_TRUE(table_->ReadVolume(u"D:\\", nullptr));  // presence alone
  EXPECT_FALSE(table_->ReadVolume(u"D:\\Music", &info));
  EXPECT_FALSE(table_->ReadVolume(u"J:\\", &info));
  EXPECT_FALSE(table_->ReadVolume(u"", &info));
  EXPECT_EQ(DriveTypeNoRoot, table_->TypeOf(u"J:\\"));
  EXPECT_EQ(DriveTypeNoRoot, table_->TypeOf(u"\\\\server\\share"));
}

TEST_F(DriveTableTest, AVolumeThatCannotBeReadIsListedButNotPresent) {
  probe_->volumes["/media/me/CARD"].readable = false;  // a card reader without its card
  EXPECT_TRUE(table_->PresentDrives() & (1u << 7));
  VolumeInfo info;
  EXPECT_FALSE(table_->ReadVolume(u"H:\\", &info));
  EXPECT_FALSE(table_->ReadVolume(u"H:\\", nullptr));
}

// The mount table without the lines of the given mount ids.
std::string Without(std::string text, std::initializer_list<std::string_view> ids) {
  for (std::string_view id : ids) {
    const size_t at = text.find(std::string(id) + " 28 ");
    if (at != std::string::npos) text.erase(at, text.find('\n', at) + 1 - at);
  }
  return text;
}

TEST_F(DriveTableTest, LettersStayWithTheirVolumesWhileMountsComeAndGo) {
  std::string native;
  bool fat = false;
  // The NTFS disk goes and a new stick arrives, first in the table: it takes the freed E:.
  probe_->mountInfo =
      "60 28 8:81 / /media/me/NEW rw - vfat /dev/sdf1 rw\n" + Without(probe_->mountInfo, {"41"});
  probe_->volumes["/media/me/NEW"] = {70000};
  EXPECT_EQ(0x1FCu, table_->PresentDrives());
  ASSERT_TRUE(table_->Resolve(u"E:\\", &native, &fat));
  EXPECT_EQ("/media/me/NEW", native);
  EXPECT_TRUE(fat);
  ASSERT_TRUE(table_->Resolve(u"D:\\", &native, &fat));
  EXPECT_EQ("/media/me/MUSIC STICK", native);
  ASSERT_TRUE(table_->Resolve(u"H:\\", &native, &fat));
  EXPECT_EQ("/media/me/CARD", native);

  // The FAT stick is pulled: its drive is gone, whoever asks.
  probe_->mountInfo = Without(probe_->mountInfo, {"40", "44"});
  VolumeInfo info;
  EXPECT_FALSE(table_->ReadVolume(u"D:\\", &info));
  EXPECT_EQ(0x1F4u, table_->PresentDrives());
  EXPECT_EQ(DriveTypeNoRoot, table_->TypeOf(u"D:\\"));
  EXPECT_FALSE(table_->Resolve(u"D:\\Music", &native, &fat));
  EXPECT_EQ(u"C:\\home\\me\\music", table_->ToDrivePath("/home/me/music"));
  ASSERT_TRUE(table_->Resolve(u"E:\\", &native, &fat));
  EXPECT_EQ("/media/me/NEW", native);
}

TEST_F(DriveTableTest, ResolveJoinsNamesAndStaysOnTheVolume) {
  struct Case {
    std::u16string_view drivePath;
    std::string_view native;  // empty: refused
  };
  const Case cases[] = {
      {u"D:\\", "/media/me/MUSIC STICK"},
      {u"D:\\\\Music\\\\a.mp3", "/media/me/MUSIC STICK/Music/a.mp3"},  // doubled separators
      {u"D:/Music/a.mp3", "/media/me/MUSIC STICK/Music/a.mp3"},
      {u"D:\\.\\Music\\..\\..\\..\\etc", "/media/me/MUSIC STICK/etc"},  // ".." stops at the root
      {u"C:\\", "/"},
      {u"C:\\etc\\passwd", "/etc/passwd"},
      {u"D:\\\u00c9t\u00e9", "/media/me/MUSIC STICK/\xc3\x89t\xc3\xa9"},  // UTF-8 names
      {std::u16string_view(u"D:\\a\0b", 6), ""},
      {u"J:\\a", ""},
      {u"\\\\server\\share\\a", ""},
      {u"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.native));
    std::string native;
    bool fat = false;
    EXPECT_EQ(!c.native.empty(), table_->Resolve(c.drivePath, &native, &fat));
    if (!c.native.empty()) {
      EXPECT_EQ(c.native, native);
    }
  }
  std::string native;
  bool fat = false;
  ASSERT_TRUE(table_->Resolve(u"D:\\a", &native, &fat));
  EXPECT_TRUE(fat);
  ASSERT_TRUE(table_->Resolve(u"E:\\a", &native, &fat));
  EXPECT_FALSE(fat);
}

TEST_F(DriveTableTest, UserPathsAndDrivePathsRoundTrip) {
  struct Case {
    std::string_view user;
    std::u16string_view drive;
    std::string_view back;  // what ToUserPath gives for `drive`
  };
  const Case cases[] = {
      {"/media/me/MUSIC STICK", u"D:\\", "/media/me/MUSIC STICK"},
      {"/media/me/MUSIC STICK/", u"D:\\", "/media/me/MUSIC STICK"},
      {"/media/me/MUSIC STICK/Music/a.mp3", u"D:\\Music\\a.mp3",
       "/media/me/MUSIC STICK/Music/a.mp3"},
      // A folder of the stick mounted elsewhere maps into the stick.
      {"/home/me/music/Rock/b.mp3", u"D:\\Music\\Rock\\b.mp3",
       "/media/me/MUSIC STICK/Music/Rock/b.mp3"},
      // A name that merely begins like a mount point belongs to the volume above it.
      {"/media/me/MUSIC STICKY/x", u"C:\\media\\me\\MUSIC STICKY\\x", "/media/me/MUSIC STICKY/x"},
      {"/media/me/WIN/../DISC/x", u"G:\\x", "/media/me/DISC/x"},
      {"/etc", u"C:\\etc", "/etc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.user));
    EXPECT_EQ(c.drive, table_->ToDrivePath(c.user));
    EXPECT_EQ(c.back, table_->ToUserPath(c.drive));
  }
  EXPECT_EQ("", table_->ToUserPath(u"J:\\x"));
}

TEST(PosixDriveTable, APathOnNoDriveHasNoDrivePath) {
  auto probe = DesktopProbe();
  probe->mountInfo = "40 28 8:17 / /media/me/STICK rw - vfat /dev/sdb1 rw\n";
  PosixDriveTable table(std::move(probe));
  EXPECT_EQ(u"", table.ToDrivePath("/etc/passwd"));
  EXPECT_EQ(u"", table.ToDrivePath("/media/me"));
  EXPECT_EQ(u"", table.ToDrivePath(""));
  EXPECT_EQ(u"C:\\", table.ToDrivePath("/media/me/STICK"));
}

TEST(PosixDriveTable, StagingFoldersAreUsableFixedDrivesFromYDownward) {
  namespace fs = std::filesystem;
  std::string base = (fs::temp_directory_path() / "deltrix-staging-XXXXXX").string();
  ASSERT_NE(nullptr, mkdtemp(base.data()));
  const std::string first = base + "/Card One", second = base + "/two";
  fs::create_directory(first);
  fs::create_directory(second);

  PosixDriveTable table(DesktopProbe());
  const std::u16string y = table.AddStagingFolder(first);
  EXPECT_EQ(u"Y:\\", y);
  EXPECT_EQ(u"Y:\\", table.AddStagingFolder(base + "/./Card One/"));  // the same folder again
  EXPECT_EQ(u"X:\\", table.AddStagingFolder(second));
  EXPECT_EQ(u"", table.AddStagingFolder(base + "/missing"));
  EXPECT_EQ((1u << 24) | (1u << 23), table.PresentDrives() & 0x3800000u);
  EXPECT_FALSE(table.PresentDrives() & (1u << 25));  // never Z:

  VolumeInfo info;
  ASSERT_TRUE(table.ReadVolume(y, &info));
  EXPECT_EQ(u"FAT32", info.fileSystem);
  EXPECT_EQ(u"Card One", info.name);
  EXPECT_NE(0u, info.serial);
  EXPECT_EQ(DriveTypeFixed, table.TypeOf(y));
  EXPECT_EQ(u"Y:\\Music\\a.mp3", table.ToDrivePath(first + "/Music/a.mp3"));
  EXPECT_EQ(u"Y:\\", table.ToDrivePath(first));
  EXPECT_EQ(fs::canonical(first).string() + "/Music/a.mp3", table.ToUserPath(u"Y:\\Music\\a.mp3"));

  fs::remove_all(base);  // the folder is gone, like a pulled stick
  EXPECT_FALSE(table.ReadVolume(y, nullptr));
}

}  // namespace
}  // namespace deltrix::platform::posix
