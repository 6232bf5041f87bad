#pragma once

#include "library/fcp_bundle.h"

#include <string>
#include <vector>

namespace velmora::web {

// A scan's records as the state database keeps them: everything a cleaning after a restart
// needs (the way back in: relative path, device and inode) with the sizes and times shown.
[[nodiscard]] std::string storedRecords(const std::vector<FCPBundle>& records);
// The records back; throws std::runtime_error on text this program did not write.
[[nodiscard]] std::vector<FCPBundle> recordsFromStore(const std::string& stored);

} // namespace velmora::web
