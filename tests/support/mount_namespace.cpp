#include "mount_namespace.h"

#include "temp_tree.h"

#include <cerrno>
#include <cstring>
#include <sched.h>
#include <stdexcept>
#include <sys/mount.h>

namespace velmora::testing {

std::string runInMountNamespace(const std::function<std::string()>& work) {
    return runInChild([&]() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0) return kNoMountNamespace;
        // Keep our mounts from propagating back to the parent's namespace.
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return kNoMountNamespace;
        return work();
    });
}

void bindMount(const std::string& source, const std::string& target, bool readOnly) {
    if (::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0)
        throw std::runtime_error("bind mount " + target + ": " + std::strerror(errno));
    if (readOnly && ::mount(nullptr, target.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        throw std::runtime_error("read-only remount " + target + ": " + std::strerror(errno));
}

void mountTmpfs(const std::string& target) {
    if (::mount("velmora-test", target.c_str(), "tmpfs", 0, "size=4m") != 0)
        throw std::runtime_error("tmpfs mount " + target + ": " + std::strerror(errno));
}

} // namespace velmora::testing
