#include "cleaning/deletion_match.h"

#include "library/cache_category.h"

namespace velmora {

namespace {

// Every component non-empty and neither "." nor "..": such a name could never be the
// ending of a relative path that a walk yields.
bool isUsablePath(std::string_view path) {
    if (path.empty()) return false;
    std::size_t start = 0;
    for (;;) {
        std::size_t slash = path.find('/', start);
        std::string_view component =
            path.substr(start, slash == std::string_view::npos ? path.npos : slash - start);
        if (component.empty() || component == "." || component == "..") return false;
        if (slash == std::string_view::npos) return true;
        start = slash + 1;
    }
}

} // namespace

DeletionMatch::DeletionMatch(std::string_view deletionName) {
    if (auto category = categoryFromDeletionName(deletionName)) {
        for (std::string_view path : categoryInfo(*category).removedPaths())
            if (!path.empty()) paths_.emplace_back(path);
    } else if (isUsablePath(deletionName)) {
        paths_.emplace_back(deletionName);
    }
}

bool DeletionMatch::matches(std::string_view relativePath) const {
    for (const std::string& path : paths_) {
        if (!relativePath.ends_with(path)) continue;
        std::size_t before = relativePath.size() - path.size();
        if (before == 0 || relativePath[before - 1] == '/') return true;
    }
    return false;
}

} // namespace velmora
