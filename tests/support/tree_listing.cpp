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

} // namespace velmora::testing
