#pragma once

#include <chrono>
#include <compare>
#include <cstdint>
#include <string>

namespace velmora {

// A file's modification time as the file system gives it: whole seconds since the epoch and
// the nanoseconds within that second. A count of nanoseconds in 64 bits would hold only the
// years 1677 to 2262, and file systems store times well outside them.
struct FileTime {
    std::chrono::sys_seconds seconds{};
    std::int32_t nanoseconds = 0; // 0 to 999,999,999

    friend constexpr auto operator<=>(const FileTime&, const FileTime&) = default;
};

// Whether a file modified at `modified` was modified less than `period` before `now`, in
// whole seconds. A time in the future counts as recent: a clock set wrong or a copy stamped
// ahead says nothing about when the library was last used.
[[nodiscard]] bool modifiedWithin(FileTime modified, std::chrono::seconds period,
                                  std::chrono::sys_seconds now);

// The time in UTC to the whole second: "2026-03-01T09:30:00Z" (RFC 3339) for the years 0000 to
// 9999. A year outside them, which RFC 3339 cannot write, takes ISO 8601's expanded form with
// a sign and at least six digits, as JavaScript's Date writes it: "+012345-01-01T00:00:00Z",
// "-000001-12-31T23:59:59Z". Every time a 64-bit count of seconds holds has its text.
[[nodiscard]] std::string utcText(FileTime time);

} // namespace velmora
