#include "platform/volumes.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>

namespace velmora {

namespace {

namespace fs = std::filesystem;

// Shares reached over a network: never part of this machine.
const std::set<std::string_view> kNetworkTypes{
    "nfs", "nfs4", "cifs",      "smb3",           "smbfs", "sshfs",       "fuse.sshfs",
    "afs", "ceph", "glusterfs", "fuse.glusterfs", "davfs", "fuse.davfs2", "ncpfs"};

// File systems with no disk behind them: neither internal nor external.
const std::set<std::string_view> kPseudoTypes{
    "proc",       "sysfs",    "tmpfs",      "devtmpfs",  "devpts",          "cgroup",      "cgroup2",
    "overlay",    "squashfs", "autofs",     "mqueue",    "hugetlbfs",       "debugfs",     "tracefs",
    "securityfs", "pstore",   "bpf",        "configfs",  "fusectl",         "binfmt_misc", "efivarfs",
    "ramfs",      "nsfs",     "rpc_pipefs", "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs",
    "aufs",       "shiftfs",  "none"};

std::string under(const std::string& root, std::string_view relative) {
    std::string path = root;
    if (path.empty() || path.back() != '/') path.push_back('/');
    path.append(relative);
    return path;
}

// mountinfo writes space, tab, newline and backslash as \ooo.
std::string unescapeMountField(std::string_view field) {
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
            octal(field[i + 3])) {
            out.push_back(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                            (field[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(field[i]);
    }
    return out;
}

std::string readFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (in) std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

bool isDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

bool startsWithThenDigits(std::string_view name, std::string_view prefix) {
    return name.size() > prefix.size() && name.starts_with(prefix) && isDigits(name.substr(prefix.size()));
}

// True when the device's place in the sysfs device tree shows a hot-pluggable bus: USB,
// FireWire, Thunderbolt, an SD/MMC host, or a PCI device the kernel marks as removable
// (devices behind an external Thunderbolt/USB4 port).
bool sitsOnExternalBus(const fs::path& sysDevices, const fs::path& disk) {
    fs::path relative = disk.lexically_relative(sysDevices);
    if (relative.empty() || *relative.begin() == "..") return false;
    bool onMmcHost = false;
    for (const auto& component : relative) {
        std::string name = component.string();
        if (startsWithThenDigits(name, "usb") || name == "firewire" || startsWithThenDigits(name, "fw") ||
            name == "thunderbolt")
            return true;
        if (name == "mmc_host") onMmcHost = true;
    }
    if (onMmcHost) {
        // A soldered eMMC chip reports the card type "MMC"; SD cards report "SD".
        std::error_code ec;
        fs::path typeFile = disk / "device" / "type";
        if (fs::exists(typeFile, ec) && readFirstLine(typeFile) == "MMC") return false;
        return true;
    }
    for (fs::path at = disk.parent_path();
         at != sysDevices && at.has_relative_path() && at != at.parent_path(); at = at.parent_path()) {
        std::error_code ec;
        fs::path flag = at / "removable";
        if (fs::is_regular_file(flag, ec) && readFirstLine(flag) == "removable") return true;
    }
    return false;
}

// Whether the block device at `device` (a sysfs device directory) is external.
bool blockDeviceIsExternal(const fs::path& sysDevices, const fs::path& device, int depth) {
    std::error_code ec;
    fs::path disk = fs::exists(device / "partition", ec) ? device.parent_path() : device;
    if (readFirstLine(disk / "removable") == "1") return true;
    if (sitsOnExternalBus(sysDevices, disk)) return true;
    // A mapped device (LVM, an encrypted volume) is external when everything below it is.
    fs::path slaves = disk / "slaves";
    if (depth < 8 && fs::is_directory(slaves, ec)) {
        bool any = false;
        for (const auto& entry : fs::directory_iterator(slaves, ec)) {
            fs::path target = fs::canonical(entry.path(), ec);
            if (ec || !blockDeviceIsExternal(sysDevices, target, depth + 1)) return false;
            any = true;
        }
        return any;
    }
    return false;
}

std::optional<bool> classify(const std::string& root, std::string_view type, std::string_view majorMinor,
                             std::string_view source) {
    if (kNetworkTypes.contains(type)) return false;
    if (kPseudoTypes.contains(type)) return std::nullopt;

    std::error_code ec;
    fs::path sysDevices = fs::canonical(under(root, "sys/devices"), ec);
    if (ec) return true;
    fs::path device = fs::canonical(under(root, "sys/dev/block/" + std::string(majorMinor)), ec);
    if (ec && source.starts_with("/dev/")) {
        // File systems such as btrfs report an anonymous device number; the source names the disk.
        ec.clear();
        device = fs::canonical(under(root, "sys/class/block/" + fs::path(source).filename().string()), ec);
    }
    if (ec) return true; // no block device behind it: nothing says it can be unplugged
    return !blockDeviceIsExternal(sysDevices, device, 0);
}

} // namespace

std::optional<std::vector<MountedVolume>> mountedVolumes(const std::string& systemRoot) {
    std::ifstream in(under(systemRoot, "proc/self/mountinfo"));
    if (!in) return std::nullopt;
    std::vector<MountedVolume> volumes;
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root mount-point options [optional fields...] - type source super-options
        std::istringstream fields(line);
        std::string id, parent, majorMinor, mountRoot, mountPoint, options;
        if (!(fields >> id >> parent >> majorMinor >> mountRoot >> mountPoint >> options)) continue;
        std::string word;
        bool separator = false;
        while (fields >> word)
            if (word == "-") {
                separator = true;
                break;
            }
        std::string type, source;
        if (!separator || !(fields >> type)) continue;
        fields >> source;
        volumes.push_back({unescapeMountField(mountPoint),
                           classify(systemRoot, type, majorMinor, unescapeMountField(source))});
    }
    return volumes;
}

} // namespace velmora
