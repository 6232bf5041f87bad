#pragma once

#include <string>
#include <string_view>

namespace velmora {

// A path made safe for a one-entry-per-line log: control characters, backslashes and bytes
// that are not UTF-8 become \n, \t, \\, \xNN; everything else is kept as it is.
[[nodiscard]] std::string escapeForLog(std::string_view text);

// Writes `line` and a line feed to standard output as one write (unbuffered, so the line is
// out the moment the call returns), and lines from parallel callers never interleave inside
// a line. False when the line could not be written; the first such error is kept.
[[nodiscard]] bool writeLogLine(std::string_view line);

// The errno of the first log line that could not be written (0 when none), a closed pipe
// (EPIPE) included: the log is incomplete, whoever read it has gone.
[[nodiscard]] int logWriteError();

// Makes a write to a pipe whose reader has gone fail with EPIPE instead of ending the process
// with SIGPIPE, for the whole process: a cleaning goes on to its end when the log's reader
// goes away, and says that the log could not be written.
void ignoreClosedPipes();

} // namespace velmora
