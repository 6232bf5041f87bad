#pragma once

#include "library/cache_category.h"

#include <optional>
#include <string_view>

namespace velmora {

// Decides which entries of a library a cleaning of some categories removes. An entry
// matches a category only by whole path components: its relative path inside the library
// equals one of the category's removed paths (CacheCategoryInfo::removedPaths) or ends with
// "/" and one of them.
class DeletionMatch {
  public:
    explicit DeletionMatch(CategoryMask categories) : categories_(categories) {}

    // The first category, in the fixed order, whose removed paths the entry matches.
    [[nodiscard]] std::optional<CacheCategory> categoryOf(std::string_view relativePath) const;
    [[nodiscard]] bool matches(std::string_view relativePath) const {
        return categoryOf(relativePath).has_value();
    }

  private:
    CategoryMask categories_;
};

} // namespace velmora
