#include "library/fcp_bundle.h"

#include "platform/text.h"

namespace velmora {

bool operator==(const FCPBundle& a, const FCPBundle& b) {
    return a.id == b.id && canonicallyEqual(a.path, b.path) &&
           canonicallyEqual(a.displayName, b.displayName) && a.size == b.size && a.cacheSize == b.cacheSize &&
           a.proxySize == b.proxySize && a.optimizedSize == b.optimizedSize &&
           a.analysisSize == b.analysisSize && a.lastModified == b.lastModified;
}

} // namespace velmora

std::size_t std::hash<velmora::FCPBundle>::operator()(const velmora::FCPBundle& b) const noexcept {
    // One hasher fed every field in field order; the strings in their canonical form.
    std::size_t seed = 0;
    auto mix = [&seed](std::size_t value) {
        seed ^= value + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2);
    };
    mix(std::hash<velmora::Uuid>{}(b.id));
    mix(velmora::canonicalHash(b.path));
    mix(velmora::canonicalHash(b.displayName));
    for (std::int64_t v : {b.size, b.cacheSize, b.proxySize, b.optimizedSize, b.analysisSize})
        mix(std::hash<std::uint64_t>{}(static_cast<std::uint64_t>(v)));
    mix(b.lastModified ? std::hash<std::int64_t>{}(b.lastModified->time_since_epoch().count()) : 0);
    return seed;
}
