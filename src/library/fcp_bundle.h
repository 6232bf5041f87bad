#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/uuid.h"

namespace velmora {

// One Final Cut Pro library found by a scan. A plain value: made by the scanner, never changed.
struct FCPBundle {
    Uuid id;
    std::string path;
    std::string displayName;
    std::int64_t size = 0;
    std::int64_t cacheSize = 0;
    std::int64_t proxySize = 0;
    std::int64_t optimizedSize = 0;
    std::int64_t analysisSize = 0;
};

// All eight fields equal; the strings compare as text under canonical equivalence.
[[nodiscard]] bool operator==(const FCPBundle& a, const FCPBundle& b);

} // namespace velmora

template <>
struct std::hash<velmora::FCPBundle> {
    std::size_t operator()(const velmora::FCPBundle& bundle) const noexcept;
};
