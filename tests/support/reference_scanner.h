#pragma once

#include "library/fcp_bundle.h"

#include <string>
#include <vector>

namespace velmora::testing {

// The scan done the slow, literal way: walk the location, then each library and each category
// sub-path again, a walk each. A link named like a library is listed with all sizes 0.
[[nodiscard]] std::vector<FCPBundle> referenceScanBundles(const std::string& location);

// One line per record with every field but the id, in order, to compare scans.
[[nodiscard]] std::string describeBundles(const std::vector<FCPBundle>& bundles);

} // namespace velmora::testing
