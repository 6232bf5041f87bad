#include "library/fcp_bundle.h"

#include <numeric>

namespace velmora {

std::int64_t FCPBundle::reclaimable() const {
    return std::accumulate(categorySizes.begin(), categorySizes.end(), std::int64_t{0});
}

} // namespace velmora
