#pragma once

#include "library/fcp_bundle.h"

#include <optional>
#include <string>
#include <vector>

namespace velmora::web {

// How a client asked for a root's libraries: an order, a filter, and a page of the result.
struct LibraryQuery {
    enum class Key { scan, name, size, reclaimable, lastModified } key = Key::scan;
    bool descending = false;
    std::string filter; // matched in the name or the path below the root, case and accents aside
    std::size_t offset = 0;
    std::size_t limit = 100;
};

// The query from its parameters ("sort", "order", "filter", "offset", "limit"), or the text of
// what is wrong with them.
[[nodiscard]] std::optional<std::string> parseLibraryQuery(const std::string& sort, const std::string& order,
                                                           const std::string& filter, const std::string& offset,
                                                           const std::string& limit, LibraryQuery& query);

// The matching libraries in the asked order (all of them: the caller pages).
[[nodiscard]] std::vector<const FCPBundle*> selectLibraries(const std::vector<FCPBundle>& libraries,
                                                            const LibraryQuery& query);

} // namespace velmora::web
