#include "library/nested_libraries.h"

namespace velmora {

bool heldByAnyOf(std::string_view path, const LibraryPaths& libraries, bool orItself,
                 const std::function<bool(const CategoryPosition& below, CategoryMask)>& test) {
    auto heldBy = [&](std::string_view library, std::string_view below) {
        const auto found = libraries.find(library);
        return found != libraries.end() && test(positionOfPath(below, found->second), found->second);
    };
    if (orItself && heldBy(path, {})) return true;
    if (path.empty()) return false;
    // An empty path stands for the location itself, which holds every other one.
    if (heldBy({}, path)) return true;
    for (std::size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1))
        if (heldBy(path.substr(0, slash), path.substr(slash + 1))) return true;
    return false;
}

LibrarySums sumLibraries(const std::vector<FCPBundle>& libraries) {
    LibraryPaths paths;
    for (const FCPBundle& library : libraries)
        paths.emplace(library.path, kEveryCategory);
    const auto anywhere = [](const CategoryPosition&, CategoryMask) { return true; };
    LibrarySums sums;
    for (const FCPBundle& library : libraries) {
        ++sums.libraries;
        if (!heldByAnyOf(library.path, paths, false, anywhere)) sums.size = addBytes(sums.size, library.size);
        for (std::size_t k = 0; k < sums.categorySizes.size(); ++k)
            sums.categorySizes[k] = addBytes(sums.categorySizes[k], library.categorySizes[k]);
    }
    return sums;
}

} // namespace velmora
