#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Decides which entries of a library a deletion name removes. An entry matches only by
// whole path components: its relative path equals one of the removed paths or ends with
// "/" and one of them. A category's deletion name stands for its removed paths (see
// CacheCategoryInfo::removedPaths); any other name stands for itself.
class DeletionMatch {
  public:
    explicit DeletionMatch(std::string_view deletionName);

    [[nodiscard]] bool matches(std::string_view relativePath) const;
    // True when the name can match nothing (empty, ".", "..", or with an empty component).
    [[nodiscard]] bool empty() const { return paths_.empty(); }

  private:
    std::vector<std::string> paths_;
};

} // namespace velmora
