#pragma once

#include <string>
#include <string_view>

namespace velmora {

// Location + "/" + relative path, as plain strings: a base ending in "/" gives a doubled
// separator, and that is kept.
[[nodiscard]] std::string joinPath(std::string_view base, std::string_view relative);

// Appends one component with exactly one "/" between base and component (no doubled
// separator when base already ends in "/"; an empty base gives the component alone).
[[nodiscard]] std::string appendingPathComponent(std::string_view base, std::string_view component);

// The last path component: the part after the last "/", ignoring trailing "/";
// "/" itself (or only slashes) gives "/". An empty path gives "".
[[nodiscard]] std::string lastPathComponent(std::string_view path);

} // namespace velmora
