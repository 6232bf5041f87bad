#pragma once

#include "library/fcp_bundle.h"

#include <string>
#include <vector>

namespace velmora::testing {

// The scan done the slow, literal way, for tests and benchmarks only: walk the location;
// for every entry whose name ends in ".fcpbundle", directorySize of the library and
// categorySize of each measured sub-path, each a walk of its own. An entry named like a
// library that is a link is listed with all sizes 0, and a link named like a library is
// never followed when measuring the library around it.
[[nodiscard]] std::vector<FCPBundle> referenceScanBundles(const std::string& location);

// One line per record with every field but the id, in order; for comparing scans in
// assertions and across processes.
[[nodiscard]] std::string describeBundles(const std::vector<FCPBundle>& bundles);

} // namespace velmora::testing
