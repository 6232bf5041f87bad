#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

// One mounted volume as the platform describes it.
struct MountedVolume {
    std::string path;               // the mount point, without a trailing "/" (except "/" itself)
    std::optional<bool> isInternal; // nothing when the platform cannot tell
};

// Every mounted volume in the order the platform lists them, or nothing when the platform
// gives no list. `systemRoot` is where the platform's own description lives ("/" normally;
// tests point it at a fake tree); a platform that asks a system service ignores it.
[[nodiscard]] std::optional<std::vector<MountedVolume>> mountedVolumes(const std::string& systemRoot);

} // namespace velmora
