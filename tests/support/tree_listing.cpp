#include "tree_listing.h"

#include "library/cache_category.h"

#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace velmora::testing {

std::set<std::string> listTree(const std::string& root) {
    std::set<std::string> out;
    std::error_code ec;
    std::filesystem::recursive_directory_iterator it(root, std::filesystem::directory_options::none, ec);
    for (; !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::string relative = it->path().lexically_relative(root).string();
        if (it->is_directory() && !it->is_symlink()) relative += "/";
        out.insert(relative);
    }
    return out;
}

bool entryExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string regenerableEntry(const std::string& relative) {
    constexpr std::string_view kLibrary = ".fcpbundle/";
    for (std::size_t at = relative.find(kLibrary); at != std::string::npos; at = relative.find(kLibrary, at + 1)) {
        const std::size_t event = at + kLibrary.size();
        const std::size_t slash = relative.find('/', event);
        if (slash == std::string::npos) return "";
        for (CacheCategory category : allCacheCategories) {
            const std::string_view subPath = categoryInfo(category).subPath;
            const std::size_t end = slash + 1 + subPath.size();
            if (relative.compare(slash + 1, subPath.size(), subPath) == 0 &&
                (end == relative.size() || relative[end] == '/'))
                return relative.substr(0, end);
        }
    }
    return "";
}

std::multiset<std::string> lineSet(const std::string& text) {
    std::multiset<std::string> lines;
    for (std::size_t start = 0, nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.insert(text.substr(start, nl - start));
    return lines;
}

} // namespace velmora::testing
