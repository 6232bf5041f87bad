#pragma once

#include "library/fcp_bundle.h"

#include <cstdint>
#include <map>
#include <mutex>
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
    bool idsOnly = false; // the ids alone, in order: a page that keeps the records already read
};

// The query from its parameters ("sort", "order", "filter", "offset", "limit", "fields"), or the
// text of what is wrong with them.
[[nodiscard]] std::optional<std::string> parseLibraryQuery(const std::string& sort, const std::string& order,
                                                           const std::string& filter, const std::string& offset,
                                                           const std::string& limit, const std::string& fields,
                                                           LibraryQuery& query);

// A scan's libraries made ready for listing: names and paths folded once, and each order
// sorted once, when first asked for, so that a page costs a slice, not a sort.
class LibraryIndex {
  public:
    // `libraries` must outlive the index and never change.
    explicit LibraryIndex(const std::vector<FCPBundle>& libraries);

    // The matching libraries in the asked order (all of them: the caller pages). Any thread.
    [[nodiscard]] std::vector<const FCPBundle*> select(const LibraryQuery& query);

  private:
    const std::vector<std::uint32_t>& order(LibraryQuery::Key key, bool descending);

    const std::vector<FCPBundle>& libraries_;
    std::vector<std::string> names_, paths_; // folded
    std::mutex mutex_;
    std::map<std::pair<LibraryQuery::Key, bool>, std::vector<std::uint32_t>> orders_;
};

} // namespace velmora::web
