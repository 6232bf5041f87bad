#pragma once

#include <set>
#include <string>

namespace velmora::testing {

// Every path below `root`, relative to it, links not followed, folders ending in "/".
[[nodiscard]] std::set<std::string> listTree(const std::string& root);
// Whether an entry exists at `path` (a dangling link counts).
[[nodiscard]] bool entryExists(const std::string& path);
// The category entry inside an event that holds `relative` (below a location), or "".
[[nodiscard]] std::string regenerableEntry(const std::string& relative);
// The lines of `text`, each ended by "\n", in any order: for output whose order varies.
[[nodiscard]] std::multiset<std::string> lineSet(const std::string& text);

} // namespace velmora::testing
