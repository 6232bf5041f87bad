#include "tree_listing.h"

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

std::multiset<std::string> lineSet(const std::string& text) {
    std::multiset<std::string> lines;
    for (std::size_t start = 0, nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.insert(text.substr(start, nl - start));
    return lines;
}

} // namespace velmora::testing
