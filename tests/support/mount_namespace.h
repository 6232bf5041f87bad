#pragma once

#include <functional>
#include <string>

namespace velmora::testing {

// Runs `work` in a child process with its own, private mount namespace, so mounts made there
// vanish with the child. Returns what `work` returned. When the namespace cannot be made
// (no privilege, no kernel support) nothing runs and the result is `kNoMountNamespace`.
[[nodiscard]] std::string runInMountNamespace(const std::function<std::string()>& work);

inline const std::string kNoMountNamespace = "<no mount namespace>";

// In such a child: mounts (via mount(2)); throw std::runtime_error on failure.
void bindMount(const std::string& source, const std::string& target, bool readOnly = false);
void mountTmpfs(const std::string& target);

} // namespace velmora::testing
