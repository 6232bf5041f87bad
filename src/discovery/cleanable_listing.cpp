#include "discovery/cleanable_listing.h"

#include "platform/byte_sum.h"

#include <algorithm>
#include <numeric>

namespace velmora {

std::uint32_t CleanableListing::add(std::uint32_t record, std::vector<std::uint64_t> order, std::string path,
                                    CacheCategory category, std::int64_t bytes) {
    std::lock_guard lock(mutex_);
    items_.push_back({record, std::move(order), std::move(path), category, bytes});
    return static_cast<std::uint32_t>(items_.size() - 1);
}

void CleanableListing::mountSkipped(std::string path) {
    std::lock_guard lock(mutex_);
    mounts_.insert(std::move(path));
}

void CleanableListing::fill(std::vector<FCPBundle*> records,
                            const std::vector<const std::vector<std::int64_t>*>& bytesBelow) {
    std::vector<std::uint32_t> sorted(items_.size());
    std::iota(sorted.begin(), sorted.end(), 0u);
    std::sort(sorted.begin(), sorted.end(),
              [this](std::uint32_t a, std::uint32_t b) { return items_[a].order < items_[b].order; });
    for (std::uint32_t id : sorted) {
        Item& item = items_[id];
        std::int64_t bytes = item.bytes;
        for (const std::vector<std::int64_t>* worker : bytesBelow)
            if (id < worker->size()) bytes = addBytes(bytes, (*worker)[id]);
        FCPBundle& library = *records[item.record];
        // The entry lies inside the library: its path goes on from the library's own.
        std::string below = item.path.substr(std::min(item.path.size(), library.relativePath.size() + 1));
        library.cleanable.push_back({std::move(below), item.category, bytes, mounts_.contains(item.path)});
    }
}

} // namespace velmora
