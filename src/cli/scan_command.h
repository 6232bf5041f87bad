#pragma once

#include "library/fcp_bundle.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::cli {

// Text made safe for one terminal line: control characters and bytes that are not UTF-8
// are shown as escapes (\n, \t, \xNN); everything else is kept.
[[nodiscard]] std::string terminalSafe(std::string_view text);

// Columns a terminal gives the text (East Asian wide characters take two).
[[nodiscard]] std::size_t displayWidth(std::string_view utf8);

// The human table: name, total, the four category sizes (formatSize), path; one row per
// library in scan order.
[[nodiscard]] std::string bundleTable(const std::vector<FCPBundle>& bundles);

// One JSON array in scan order: per library the eight record fields, "pathBase64" after the
// path when it is not UTF-8, and "lastModified".
[[nodiscard]] std::string bundlesJson(const std::vector<FCPBundle>& bundles);

} // namespace velmora::cli
