#pragma once

#include "library/cache_category.h"
#include "library/category_position.h"
#include "library/fcp_bundle.h"
#include "platform/byte_sum.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora {

// Libraries by path (relative or full, as the paths looked up), each with the categories a
// run cleans in it.
using LibraryPaths = std::unordered_map<std::string_view, CategoryMask>;

// Whether `test` holds for one of `libraries` that holds `path` (or, with `orItself`, is
// it), given the path below that library and its categories. Whole components are compared,
// one lookup per component, so a question about many libraries never compares every pair.
[[nodiscard]] bool heldByAnyOf(std::string_view path, const LibraryPaths& libraries, bool orItself,
                               const std::function<bool(const CategoryPosition& below, CategoryMask)>& test);

// Sums over the libraries of one scan. A library nested in another adds its own sizes to the
// kinds but not to the whole, which the outer library's size already holds.
struct LibrarySums {
    std::int64_t libraries = 0;
    std::int64_t size = 0;
    std::array<std::int64_t, 4> categorySizes{};
    [[nodiscard]] std::int64_t reclaimable() const { return sumBytes(categorySizes); }
};
[[nodiscard]] LibrarySums sumLibraries(const std::vector<FCPBundle>& libraries);

} // namespace velmora
