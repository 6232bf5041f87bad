#pragma once

#include <string>

namespace velmora::web {

// One line on standard error (the journal under systemd), whole even when threads log at once;
// control characters and bytes that are not UTF-8 are escaped, so a line is always one line.
void logLine(const std::string& text);

} // namespace velmora::web
