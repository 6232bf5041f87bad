#include "cleaning/deletion_match.h"

namespace velmora {

std::optional<CacheCategory> DeletionMatch::categoryOf(std::string_view relativePath) const {
    for (CacheCategory category : allCacheCategories) {
        if ((categories_ & categoryBit(category)) == 0) continue;
        for (std::string_view path : categoryInfo(category).removedPaths()) {
            if (path.empty() || !relativePath.ends_with(path)) continue;
            const std::size_t before = relativePath.size() - path.size();
            if (before == 0 || relativePath[before - 1] == '/') return category;
        }
    }
    return std::nullopt;
}

} // namespace velmora
