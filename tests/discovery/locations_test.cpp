#include "discovery/locations.h"
#include "platform/home_directory.h"
#include "platform/volumes.h"
#include "support/temp_tree.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace velmora {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

// A fake system root: proc/self/mountinfo plus the parts of sys that the rule reads.
class FakeSystem {
  public:
    void mount(const std::string& majorMinor, const std::string& mountPoint, const std::string& type,
               const std::string& source) {
        const std::string id = std::to_string(++nextId);
        lines += id + " 1 " + majorMinor + " / " + mountPoint + " rw,relatime shared:" + id + " - " + type +
                 " " + source + " rw\n";
    }

    // A disk at `devicePath` (below sys/devices) with one partition `partition`, reachable as
    // sys/dev/block/<majorMinor>; `removable` is the disk's removable flag.
    void disk(const std::string& devicePath, const std::string& diskName, const std::string& partition,
              const std::string& majorMinor, bool removable) {
        fs::path diskDir = sys() / "devices" / devicePath / "block" / diskName;
        fs::create_directories(diskDir / partition);
        write(diskDir / "removable", removable ? "1\n" : "0\n");
        write(diskDir / partition / "partition", "1\n");
        link(diskDir / partition, majorMinor);
    }

    // A whole-disk device without partitions (loop devices, mapped devices).
    fs::path wholeDisk(const std::string& devicePath, const std::string& majorMinor) {
        fs::path dir = sys() / "devices" / devicePath;
        fs::create_directories(dir);
        write(dir / "removable", "0\n");
        link(dir, majorMinor);
        return dir;
    }

    void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    [[nodiscard]] std::vector<std::string> drives() {
        write(fs::path(root.path()) / "proc/self/mountinfo", lines);
        return loadDrives(root.path());
    }

    [[nodiscard]] fs::path sys() const { return fs::path(root.path()) / "sys"; }

  private:
    void link(const fs::path& target, const std::string& majorMinor) {
        fs::create_directories(sys() / "dev/block");
        fs::create_directory_symlink(fs::relative(target, sys() / "dev/block"),
                                     sys() / "dev/block" / majorMinor);
    }

    TempDir root;
    std::string lines;
    int nextId = 20;
};

const std::string kUsbPort = "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0";
const std::string kSdReader = "pci0000:00/0000:00:1c.0/0000:02:00.0/rtsx_pci_sdmmc.0/mmc_host/mmc0/mmc0:aaaa";
const std::string kNvmeSlot = "pci0000:00/0000:00:1d.0/0000:03:00.0/nvme/nvme0";

TEST(LoadDrives, KeepsOnlyVolumesKnownToBeExternalInMountOrder) {
    FakeSystem system;
    system.disk(kNvmeSlot, "nvme0n1", "nvme0n1p2", "259:2", false);
    system.mount("259:2", "/", "ext4", "/dev/nvme0n1p2");
    system.mount("0:22", "/run", "tmpfs", "tmpfs");
    system.mount("0:5", "/proc", "proc", "proc");
    system.disk(kUsbPort, "sdb", "sdb1", "8:17", false);
    // Mount points carry "\040" for a space.
    system.mount("8:17", "/media/ann/Backup\\040Disk", "exfat", "/dev/sdb1");
    system.disk(kSdReader, "mmcblk0", "mmcblk0p1", "179:1", false);
    system.write(system.sys() / "devices" / kSdReader / "type", "SD\n");
    fs::create_directory_symlink("../..", system.sys() / "devices" / kSdReader / "block/mmcblk0/device");
    system.mount("179:1", "/media/ann/CARD", "vfat", "/dev/mmcblk0p1");
    system.mount("0:51", "/mnt/share", "nfs4", "nas:/export");
    system.wholeDisk("virtual/block/loop0", "7:0");
    system.mount("7:0", "/mnt/image", "ext4", "/dev/loop0");
    system.mount("0:60", "/mnt/snap", "squashfs", "/dev/loop1");
    system.mount("0:61", "/home/ann/remote", "fuse.sshfs", "ann@host:");

    EXPECT_EQ(system.drives(), (std::vector<std::string>{"/media/ann/Backup Disk", "/media/ann/CARD",
                                                         "/mnt/share", "/home/ann/remote"}));
}

TEST(LoadDrives, DiskFlagsAndBusesDecideForBlockDevices) {
    FakeSystem system;
    // A SATA disk that the kernel marks removable (a hot-swap bay, a card reader slot).
    system.disk("pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0", "sda", "sda1", "8:1", true);
    system.mount("8:1", "/media/bay", "ext4", "/dev/sda1");
    // A soldered eMMC chip sits on an MMC host but is the machine's own storage.
    const std::string emmc = "platform/fe310000.mmc/mmc_host/mmc1/mmc1:0001";
    system.disk(emmc, "mmcblk1", "mmcblk1p2", "179:34", false);
    system.write(system.sys() / "devices" / emmc / "type", "MMC\n");
    fs::create_directory_symlink("../..", system.sys() / "devices" / emmc / "block/mmcblk1/device");
    system.mount("179:34", "/boot", "vfat", "/dev/mmcblk1p2");
    // An NVMe enclosure behind a Thunderbolt port: the PCI device is marked removable.
    const std::string tunnel = "pci0000:00/0000:00:07.0/0000:20:00.0";
    system.disk(tunnel + "/nvme/nvme1", "nvme1n1", "nvme1n1p1", "259:5", false);
    system.write(system.sys() / "devices" / tunnel / "removable", "removable\n");
    system.mount("259:5", "/media/tb", "apfs", "/dev/nvme1n1p1");
    // A file system with an anonymous device number, found through its source instead.
    system.disk(kUsbPort, "sdc", "sdc1", "8:33", false);
    fs::create_directories(system.sys() / "class/block");
    fs::create_directory_symlink("../../devices/" + kUsbPort + "/block/sdc/sdc1",
                                 system.sys() / "class/block/sdc1");
    system.mount("0:70", "/media/btrfs", "btrfs", "/dev/sdc1");
    // An encrypted volume mapped over a USB partition.
    system.disk(kUsbPort, "sdd", "sdd1", "8:49", false);
    fs::path mapped = system.wholeDisk("virtual/block/dm-0", "254:0");
    fs::create_directories(mapped / "slaves");
    fs::create_directory_symlink("../../../../" + kUsbPort + "/block/sdd/sdd1", mapped / "slaves/sdd1");
    system.mount("254:0", "/media/secret", "ext4", "/dev/mapper/secret");
    // A device number that sysfs does not know: nothing says it is external.
    system.mount("8:99", "/media/ghost", "ext4", "/dev/sdz9");

    EXPECT_EQ(system.drives(),
              (std::vector<std::string>{"/media/bay", "/media/tb", "/media/btrfs", "/media/secret"}));
}

TEST(LoadDrives, BindMountsAreListedTwiceAndAMissingTableGivesNothing) {
    FakeSystem system;
    system.disk(kUsbPort, "sdb", "sdb1", "8:17", false);
    system.mount("8:17", "/media/x", "ext4", "/dev/sdb1");
    system.mount("8:17", "/srv/x", "ext4", "/dev/sdb1");
    EXPECT_EQ(system.drives(), (std::vector<std::string>{"/media/x", "/srv/x"}));

    TempDir empty;
    EXPECT_TRUE(loadDrives(empty.path()).empty());
    EXPECT_FALSE(mountedVolumes(empty.path()).has_value());
}

TEST(HomeDirectory, PasswordEntryThenEnvironmentThenRoot) {
    EXPECT_EQ(homeDirectoryFrom("/home/ann", "/tmp/other"), "/home/ann");
    EXPECT_EQ(homeDirectoryFrom(nullptr, "/tmp/other"), "/tmp/other");
    EXPECT_EQ(homeDirectoryFrom("", "/tmp/other"), "/tmp/other");
    EXPECT_EQ(homeDirectoryFrom(nullptr, nullptr), "/");
    EXPECT_EQ(homeDirectoryFrom(nullptr, ""), "/");
}

// A user without a password entry: the real lookup falls back to $HOME, then to "/".
TEST(HomeDirectory, RealLookupForAUserWithoutPasswordEntry) {
    std::string output = testing::runInChild([] {
        if (::setresgid(54321, 54321, 54321) != 0 || ::setresuid(54321, 54321, 54321) != 0)
            return std::string("the child could not change its user");
        ::setenv("HOME", "/tmp/fallback-home", 1);
        std::string result = homeDirectory() + "\n";
        ::unsetenv("HOME");
        return result + homeDirectory() + "\n";
    });
    EXPECT_EQ(output, "/tmp/fallback-home\n/\n");
}

TEST(UserDirs, XdgUserDirectoriesReadAsXdgUserDirReadsThem) {
    using Folders = StandardFolders;
    const Folders english{"/home/u/Desktop", "/home/u/Downloads", "/home/u/Videos", "/home/u/Documents",
                          "/home/u/Pictures"};
    struct Case {
        const char* file;
        Folders expected;
    };
    const Case table[] = {
        {"", english},
        {"# written by xdg-user-dirs-update\n"
         "XDG_DESKTOP_DIR=\"$HOME/桌面\"\n"
         "XDG_DOWNLOAD_DIR=\"$HOME/下载\"\n"
         "XDG_VIDEOS_DIR=\"$HOME/视频\"\n"
         "XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n"
         "XDG_PICTURES_DIR=\"$HOME/图片\"\n"
         "XDG_MUSIC_DIR=\"$HOME/音乐\"\n",
         {"/home/u/桌面", "/home/u/下载", "/home/u/视频", "/home/u/文档", "/home/u/图片"}},
        // Absolute paths, blanks around "=", escapes, trailing slashes, "$HOME" alone, a
        // later line winning; values neither absolute nor below $HOME are ignored.
        {"  XDG_VIDEOS_DIR = \"/media/Film \\\"A\\\"/\"\n"
         "XDG_DESKTOP_DIR=\"$HOME\"\n"
         "XDG_DOWNLOAD_DIR=\"relative/dl\"\n"
         "XDG_DOCUMENTS_DIR=\"$HOMEWORK/docs\"\n"
         "XDG_PICTURES_DIR=\"$HOME/Old\"\n"
         "XDG_PICTURES_DIR=\"$HOME/New\"\n"
         "XDG_DOCUMENTS_DIR=\"$HOME/Unclosed\n",
         {"/home/u", "/home/u/Downloads", "/media/Film \"A\"", "/home/u/Documents", "/home/u/New"}},
    };
    for (const Case& c : table)
        EXPECT_EQ(xdgUserDirsFrom(c.file, "/home/u"), c.expected) << c.file;

    // The home first, then the five, appended as given.
    EXPECT_EQ(
        userDirsFor("/", Folders{"//Desktop", "//Downloads", "//Movies", "//Documents", "//Pictures"}),
        (std::vector<std::string>{"/", "//Desktop", "//Downloads", "//Movies", "//Documents", "//Pictures"}));

    // The window's list and labels follow the file under $XDG_CONFIG_HOME.
    TempDir config;
    std::ofstream(config / "user-dirs.dirs") << "XDG_VIDEOS_DIR=\"$HOME/视频\"\n";
    const char* previous = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = previous ? previous : "";
    ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    const std::string home = homeDirectory();
    const std::vector<std::string> dirs = loadUserDirs();
    const std::string moviesLabel = locationLabel(home + "/视频");
    if (previous)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(dirs, (std::vector<std::string>{home, home + "/Desktop", home + "/Downloads", home + "/视频",
                                              home + "/Documents", home + "/Pictures"}));
    EXPECT_EQ(moviesLabel, "影片");
}

TEST(LocationLabel, UserDirectoriesGetTheirNamesAnythingElseItsPath) {
    const std::vector<std::string> home{"/Users/ann",        "/Users/ann/Desktop",   "/Users/ann/Downloads",
                                        "/Users/ann/Movies", "/Users/ann/Documents", "/Users/ann/Pictures"};
    // Every label in order is checked through the window's location list.
    EXPECT_EQ(locationLabelFor("/Users/ann/Movies", home), "影片");
    // No normalisation of separators, case-sensitive.
    EXPECT_EQ(locationLabelFor("/Users/ann/Movies/", home), "/Users/ann/Movies/");
    EXPECT_EQ(locationLabelFor("/Users//ann/Movies", home), "/Users//ann/Movies");
    EXPECT_EQ(locationLabelFor("/Users/ann/movies", home), "/Users/ann/movies");
    EXPECT_EQ(locationLabelFor("/Volumes/Backup", home), "/Volumes/Backup");
    // A home whose name is written precomposed matches its decomposed spelling.
    const std::string precomposed = "/Users/Ren\xC3\xA9"; // é
    const std::string decomposed = "/Users/Rene\xCC\x81"; // e + combining acute
    EXPECT_EQ(locationLabelFor(decomposed + "/Pictures", precomposed), "图片");
    EXPECT_EQ(locationLabelFor(precomposed, decomposed), "主目录");
}

TEST(DriveLabel, LastPathComponent) {
    EXPECT_EQ(driveLabel("/Volumes/Backup Disk"), "Backup Disk");
    EXPECT_EQ(driveLabel("/media/ann/CARD/"), "CARD");
    EXPECT_EQ(driveLabel("/"), "/");
}

} // namespace
} // namespace velmora
