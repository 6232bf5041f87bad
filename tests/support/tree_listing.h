#pragma once

#include <set>
#include <string>

namespace velmora::testing {

// Every path below `root`, relative to it, links not followed, folders ending in "/"; empty
// when `root` is missing.
[[nodiscard]] std::set<std::string> listTree(const std::string& root);
// Whether an entry exists at `path` (a dangling link counts).
[[nodiscard]] bool entryExists(const std::string& path);
// The entry a cleaning removes that holds `relative` (a path below a location): a category's
// sub-path inside an event of a library, or "" when it lies in none.
[[nodiscard]] std::string regenerableEntry(const std::string& relative);
// The lines of `text`, each ended by "\n", in any order: for output whose order varies.
[[nodiscard]] std::multiset<std::string> lineSet(const std::string& text);

} // namespace velmora::testing
