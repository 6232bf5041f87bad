#include "library/fcp_bundle.h"

#include "platform/byte_sum.h"

namespace velmora {

std::int64_t FCPBundle::reclaimable() const {
    return sumBytes(categorySizes);
}

} // namespace velmora
