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

std::string regenerableEntry(const std::string& relative) {
    const std::size_t library = relative.find(".fcpbundle/");
    if (library == std::string::npos) return "";
    for (const std::string category :
         {"/Render Files", "/Transcoded Media/Proxy Media", "/Transcoded Media/High Quality Media",
          "/Analysis Files", "/Analysis Cache"}) {
        for (std::size_t at = relative.find(category, library); at != std::string::npos;
             at = relative.find(category, at + 1)) {
            const std::size_t end = at + category.size();
            if (end == relative.size() || relative[end] == '/') return relative.substr(0, end);
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
