#pragma once

#include <cstdint>
#include <string>

namespace velmora {

// Bytes as screen text: bytes / 1073741824 printed as "%.2f GB", "." whatever the locale.
[[nodiscard]] std::string formatSize(std::int64_t bytes);

} // namespace velmora
