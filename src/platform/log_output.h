#pragma once

#include <string>
#include <string_view>

namespace velmora {

// A path made safe for a one-entry-per-line log: control characters, backslashes and bytes
// that are not UTF-8 become \n, \t, \\, \xNN; everything else is kept as it is.
[[nodiscard]] std::string escapeForLog(std::string_view text);

// Writes `line` and a line feed to standard output as one write, so lines from parallel
// callers never interleave inside a line.
void writeLogLine(std::string_view line);

} // namespace velmora
