#pragma once

#include <functional>
#include <string>

namespace velmora::testing {

// Runs `work` in a child with a private mount namespace; `kNoMountNamespace` where none can be made.
[[nodiscard]] std::string runInMountNamespace(const std::function<std::string()>& work);
inline const std::string kNoMountNamespace = "<no mount namespace>";

// In such a child: mounts, throwing std::runtime_error on failure.
void bindMount(const std::string& source, const std::string& target, bool readOnly = false);
void mountTmpfs(const std::string& target);

} // namespace velmora::testing
