#pragma once

#include "discovery/library_context.h"
#include "library/cache_category.h"
#include "library/fcp_bundle.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace velmora {

// The entries a cleaning of some categories would remove, collected by a scan's workers as
// they meet them, so that a dry run can tell what would go without walking the libraries a
// second time. Each entry is listed once for every library that encloses it, as a cleaning
// of that library alone would meet it; nothing inside a listed entry is listed again.
class CleanableListing {
  public:
    explicit CleanableListing(CategoryMask categories) : categories_(categories) {}

    [[nodiscard]] CategoryMask categories() const { return categories_; }

    // Lists the entry `name`, whose parent directory has `parent` as its context, with every
    // enclosing library for which it is the entry of one of the listed categories. `child` is the context of a
    // directory's own entries (nullptr for anything else): it learns which listed entry it lies
    // in, so the bytes of the files below can be added to it. `bytes` is what the entry
    // itself holds (a regular file's size). `order` and `path` give the entry's walk position
    // and its path below the location; they are called only when something is listed.
    template <typename Order, typename Path>
    void visit(const DirectoryContext& parent, DirectoryContext* child, std::string_view name,
               std::int64_t bytes, Order&& order, Path&& path) {
        if (categories_ == 0) return;
        for (std::size_t i = 0; i < parent.size(); ++i) {
            CacheCategory category{};
            if (!parent[i].at.startsCategory(name, categories_, category)) continue;
            const std::uint32_t id = add(parent[i].record, order(), path(), category, bytes);
            if (child != nullptr) (*child)[i].listedEntry = id;
        }
    }

    // The directory at `path` (below the location) is the root of another mount.
    void mountSkipped(std::string path);

    // Gives each record (indexed as the scan found them) its listed entries in walk order,
    // each with the bytes the workers found below it (`bytesBelow[w][id]` from worker w).
    void fill(std::vector<FCPBundle*> records,
              const std::vector<const std::vector<std::int64_t>*>& bytesBelow);

  private:
    struct Item {
        std::uint32_t record;
        std::vector<std::uint64_t> order; // sorts into pre-order
        std::string path;                 // below the location
        CacheCategory category;
        std::int64_t bytes;
    };

    std::uint32_t add(std::uint32_t record, std::vector<std::uint64_t> order, std::string path,
                      CacheCategory category, std::int64_t bytes);

    const CategoryMask categories_;
    std::mutex mutex_;
    std::vector<Item> items_;
    std::unordered_set<std::string> mounts_;
};

} // namespace velmora
