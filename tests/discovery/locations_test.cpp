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

void write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

void link(const fs::path& target, const fs::path& at) {
    fs::create_directories(at.parent_path());
    fs::create_directory_symlink(fs::relative(target, at.parent_path()), at);
}

// A fake system root: proc/self/mountinfo and the parts of sys that the rule reads.
struct FakeSystem {
    void mount(const std::string& majorMinor, const std::string& mountPoint, const std::string& type,
               const std::string& source) {
        lines += "1 1 " + majorMinor + " / " + mountPoint + " rw shared:1 - " + type + " " + source + " rw\n";
    }
    // A disk at sys/devices/`path`; the block device `majorMinor` names its `partition` or the disk.
    fs::path disk(const std::string& path, const std::string& majorMinor, const std::string& partition = "",
                  bool removable = false) {
        const fs::path dir = sys / "devices" / path;
        write(dir / "removable", removable ? "1\n" : "0\n");
        if (!partition.empty()) write(dir / partition / "partition", "1\n");
        link(partition.empty() ? dir : dir / partition, sys / "dev/block" / majorMinor);
        return dir;
    }
    std::vector<std::string> drives() {
        write(root / "proc/self/mountinfo", lines);
        return loadDrives(root.path());
    }

    TempDir root;
    const fs::path sys = root / "sys";
    std::string lines;
};

TEST(LoadDrives, KeepsOnlyVolumesKnownToBeExternalInMountOrder) {
    const std::string usb = "pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/";
    FakeSystem system;
    system.disk("pci0000:00/0000:00:1d.0/0000:03:00.0/nvme/nvme0/block/nvme0n1", "259:2", "nvme0n1p2");
    system.mount("259:2", "/", "ext4", "/dev/nvme0n1p2");
    system.mount("0:22", "/run", "tmpfs", "tmpfs");
    system.disk(usb + "sdb", "8:17", "sdb1");
    system.mount("8:17", "/media/ann/Backup\\040Disk", "exfat", "/dev/sdb1"); // "\040" is a space
    system.mount("8:17", "/srv/backup", "exfat", "/dev/sdb1");                // bound elsewhere too
    // A card in a reader on an MMC host is external; a soldered eMMC chip on one is not.
    const std::string sdHost =
        "pci0000:00/0000:00:1c.0/0000:02:00.0/rtsx_pci_sdmmc.0/mmc_host/mmc0/mmc0:aaaa";
    write(system.disk(sdHost + "/block/mmcblk0", "179:1", "mmcblk0p1") / "device/type", "SD\n");
    system.mount("179:1", "/media/ann/CARD", "vfat", "/dev/mmcblk0p1");
    const std::string emmcHost = "platform/fe310000.mmc/mmc_host/mmc1/mmc1:0001";
    write(system.disk(emmcHost + "/block/mmcblk1", "179:34", "mmcblk1p2") / "device/type", "MMC\n");
    system.mount("179:34", "/boot", "vfat", "/dev/mmcblk1p2");
    system.mount("0:51", "/mnt/share", "nfs4", "nas:/export");
    system.disk("virtual/block/loop0", "7:0");
    system.mount("7:0", "/mnt/image", "ext4", "/dev/loop0");
    // A SATA disk the kernel marks removable (a hot-swap bay).
    system.disk("pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda", "8:1", "sda1", true);
    system.mount("8:1", "/media/bay", "ext4", "/dev/sda1");
    // An NVMe enclosure behind a Thunderbolt port: the PCI device is marked removable.
    const std::string tunnel = "pci0000:00/0000:00:07.0/0000:20:00.0";
    system.disk(tunnel + "/nvme/nvme1/block/nvme1n1", "259:5", "nvme1n1p1");
    write(system.sys / "devices" / tunnel / "removable", "removable\n");
    system.mount("259:5", "/media/tb", "apfs", "/dev/nvme1n1p1");
    // An anonymous device number (btrfs): the source names the disk.
    system.disk(usb + "sdc", "8:33", "sdc1");
    link(system.sys / "devices" / (usb + "sdc/sdc1"), system.sys / "class/block/sdc1");
    system.mount("0:70", "/media/btrfs", "btrfs", "/dev/sdc1");
    // An encrypted volume mapped over a USB partition.
    system.disk(usb + "sdd", "8:49", "sdd1");
    const fs::path mapped = system.disk("virtual/block/dm-0", "254:0");
    link(system.sys / "devices" / (usb + "sdd/sdd1"), mapped / "slaves/sdd1");
    system.mount("254:0", "/media/secret", "ext4", "/dev/mapper/secret");
    // A device number sysfs does not know: nothing says it is external.
    system.mount("8:99", "/media/ghost", "ext4", "/dev/sdz9");

    EXPECT_EQ(system.drives(), (std::vector<std::string>{"/media/ann/Backup Disk", "/srv/backup",
                                                         "/media/ann/CARD", "/mnt/share", "/media/bay",
                                                         "/media/tb", "/media/btrfs", "/media/secret"}));
    TempDir empty;
    EXPECT_TRUE(loadDrives(empty.path()).empty());
    EXPECT_FALSE(mountedVolumes(empty.path()).has_value());
}

TEST(HomeDirectory, PasswordEntryThenEnvironmentThenRoot) {
    EXPECT_EQ(homeDirectoryFrom("/home/ann", "/tmp/other"), "/home/ann");
    EXPECT_EQ(homeDirectoryFrom("", "/tmp/other"), "/tmp/other"); // an empty field counts as none
    EXPECT_EQ(homeDirectoryFrom(nullptr, ""), "/");
    // The real lookup for a user without a password entry.
    const std::string output = testing::runInChild([] {
        if (::setresgid(54321, 54321, 54321) != 0 || ::setresuid(54321, 54321, 54321) != 0)
            return std::string("the child could not change its user");
        ::setenv("HOME", "/tmp/fallback-home", 1);
        const std::string withHome = homeDirectory();
        ::unsetenv("HOME");
        return withHome + " " + homeDirectory();
    });
    EXPECT_EQ(output, "/tmp/fallback-home /");
}

TEST(UserDirs, XdgUserDirectoriesReadAsXdgUserDirReadsThem) {
    const StandardFolders english{"/home/u/Desktop", "/home/u/Downloads", "/home/u/Videos",
                                  "/home/u/Documents", "/home/u/Pictures"};
    const std::pair<const char*, StandardFolders> cases[] = {
        {"", english},
        {"# written by xdg-user-dirs-update\n"
         "XDG_DESKTOP_DIR=\"$HOME/桌面\"\nXDG_DOWNLOAD_DIR=\"$HOME/下载\"\nXDG_VIDEOS_DIR=\"$HOME/视频\"\n"
         "XDG_DOCUMENTS_DIR=\"$HOME/文档\"\nXDG_PICTURES_DIR=\"$HOME/图片\"\nXDG_MUSIC_DIR=\"$HOME/音乐\"\n",
         {"/home/u/桌面", "/home/u/下载", "/home/u/视频", "/home/u/文档", "/home/u/图片"}},
        // Absolute paths, blanks around "=", escapes, trailing slashes, "$HOME" alone, a later
        // line winning; values neither absolute nor below $HOME, or unclosed, are ignored.
        {"  XDG_VIDEOS_DIR = \"/media/Film \\\"A\\\"/\"\n"
         "XDG_DESKTOP_DIR=\"$HOME\"\n"
         "XDG_DOWNLOAD_DIR=\"relative/dl\"\n"
         "XDG_DOCUMENTS_DIR=\"$HOMEWORK/docs\"\n"
         "XDG_PICTURES_DIR=\"$HOME/Old\"\n"
         "XDG_PICTURES_DIR=\"$HOME/New\"\n"
         "XDG_DOCUMENTS_DIR=\"$HOME/Unclosed\n",
         {"/home/u", "/home/u/Downloads", "/media/Film \"A\"", "/home/u/Documents", "/home/u/New"}},
    };
    for (const auto& [file, expected] : cases)
        EXPECT_EQ(xdgUserDirsFrom(file, "/home/u"), expected) << file;

    // The list the window shows, and its labels, follow the file under $XDG_CONFIG_HOME; a
    // folder that is not there (or is a file) is not offered, the home always is.
    TempDir config;
    testing::makeDirs(config / "Desk");
    testing::makeDirs(config / "视频");
    testing::writeFile(config / "Docs", 1);
    std::ofstream(config / "user-dirs.dirs") << "XDG_DESKTOP_DIR=\"" << config / "Desk"
                                             << "\"\nXDG_DOWNLOAD_DIR=\"" << config / "Gone"
                                             << "\"\nXDG_VIDEOS_DIR=\"" << config / "视频"
                                             << "\"\nXDG_DOCUMENTS_DIR=\"" << config / "Docs"
                                             << "\"\nXDG_PICTURES_DIR=\"" << config / "Gone"
                                             << "\"\n";
    const std::string listed = testing::runInChild([&] {
        ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        std::string text;
        for (const std::string& dir : loadUserDirs())
            text += dir + "\n";
        return text + locationLabel(config / "视频");
    });
    // The videos folder is labelled as the desktop names it.
    EXPECT_EQ(listed, homeDirectory() + "\n" + config / "Desk" + "\n" + config / "视频" + "\n视频");
}

TEST(LocationLabel, UserDirectoriesGetTheirNamesAnythingElseItsPath) {
    const std::string home = "/Users/Ren\xC3\xA9", decomposed = "/Users/Rene\xCC\x81"; // é, then e + ´
    const std::vector<std::string> dirs =
        userDirsFor(home, {home + "/Desktop", home + "/Downloads", home + "/Movies", home + "/Documents",
                           home + "/Pictures"});
    // Paths compare under canonical equivalence, and nothing else is normalised.
    const std::pair<std::string, std::string> named[] = {
        {decomposed, "主目录"}, {home + "/Movies", videosFolderLabel()}, {decomposed + "/Pictures", "图片"}};
    for (const auto& [path, label] : named)
        EXPECT_EQ(locationLabelFor(path, dirs), label) << path;
    for (const std::string& path :
         {home + "/Movies/", home + "//Movies", home + "/movies", std::string("/Volumes")})
        EXPECT_EQ(locationLabelFor(path, dirs), path);
}

} // namespace
} // namespace velmora
