#include "discovery/library_totals.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>

namespace velmora {

namespace {

FileTime modifiedOf(const struct statx& st) {
    if ((st.stx_mask & STATX_MTIME) == 0) return kNoTime;
    return {std::chrono::sys_seconds(std::chrono::seconds(st.stx_mtime.tv_sec)),
            static_cast<std::int32_t>(st.stx_mtime.tv_nsec)};
}

} // namespace

void Totals::add(const Totals& other) {
    size = addBytes(size, other.size);
    for (std::size_t k = 0; k < categories.size(); ++k)
        categories[k] = addBytes(categories[k], other.categories[k]);
    newest = std::max(newest, other.newest);
}

void Totals::fill(FCPBundle& bundle) const {
    bundle.size = size;
    bundle.categorySizes = categories;
    if (newest != kNoTime) bundle.lastModified = newest;
}

bool lookUp(int dirFd, const char* name, struct statx& st) {
    constexpr unsigned kNeeded = STATX_TYPE | STATX_SIZE;
    return ::statx(dirFd, name, AT_SYMLINK_NOFOLLOW, kNeeded | STATX_MTIME, &st) == 0 &&
           (st.stx_mask & kNeeded) == kNeeded;
}

FileFacts factsOfFile(const struct statx& st) {
    return {static_cast<std::int64_t>(st.stx_size), modifiedOf(st)};
}

Totals& LibraryTotals::of(std::uint32_t library) {
    if (totals_.size() <= library) totals_.resize(library + 1, Totals{});
    return totals_[library];
}

void LibraryTotals::addFiles(const DirectoryContext& context, const FileFacts& files, std::string_view name) {
    if (files.bytes == 0 && files.keptModified == kNoTime) return;
    for (const EnclosingLibrary& library : context) {
        Totals& totals = of(library.record);
        totals.size = addBytes(totals.size, files.bytes);
        CacheCategory category = library.at.category;
        if (library.at.position == LibraryPosition::Category ||
            (!name.empty() && library.at.startsCategory(name, kEveryCategory, category)))
            totals.categories[categoryIndex(category)] =
                addBytes(totals.categories[categoryIndex(category)], files.bytes);
        else
            totals.newest = std::max(totals.newest, files.keptModified);
        if (library.listedEntry != kNotListed && files.bytes != 0) {
            if (listedBytes_.size() <= library.listedEntry) listedBytes_.resize(library.listedEntry + 1, 0);
            listedBytes_[library.listedEntry] = addBytes(listedBytes_[library.listedEntry], files.bytes);
        }
    }
}

} // namespace velmora
