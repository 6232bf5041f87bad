#include "discovery/library_totals.h"

#include "discovery/measure.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>

namespace velmora {

namespace {

std::int64_t modifiedOf(const struct statx& st) {
    if ((st.stx_mask & STATX_MTIME) == 0) return kNoTime;
    return st.stx_mtime.tv_sec * std::int64_t{1000000000} + st.stx_mtime.tv_nsec;
}

// The scope that the files of a directory with these enclosing libraries start from: where
// one library sees the directory as a prefix of a removed path, all that still keep it do.
CleaningScope fileParentScope(const DirectoryContext& context) {
    for (const EnclosingLibrary& library : context)
        if (library.scope == CleaningScope::KeptPrefix) return CleaningScope::KeptPrefix;
    return CleaningScope::Kept;
}

} // namespace

void Totals::add(const Totals& other) {
    size += other.size;
    for (std::size_t k = 0; k < categories.size(); ++k)
        categories[k] += other.categories[k];
    newest = std::max(newest, other.newest);
}

void Totals::fill(FCPBundle& bundle) const {
    bundle.size = size;
    bundle.categorySizes = categories;
    if (newest != kNoTime) bundle.lastModified = FileTime(std::chrono::nanoseconds(newest));
}

bool lookUp(int dirFd, const char* name, struct statx& st) {
    constexpr unsigned kNeeded = STATX_TYPE | STATX_SIZE;
    return ::statx(dirFd, name, AT_SYMLINK_NOFOLLOW, kNeeded | STATX_MTIME, &st) == 0 &&
           (st.stx_mask & kNeeded) == kNeeded;
}

FileFacts factsOfFile(const struct statx& st, std::string_view name, const DirectoryContext& context) {
    FileFacts facts;
    facts.bytes = static_cast<std::int64_t>(st.stx_size);
    if (cleaningScopeOf(fileParentScope(context), name) != CleaningScope::Removed)
        facts.keptModified = modifiedOf(st);
    return facts;
}

Totals& LibraryTotals::of(std::uint32_t library) {
    if (totals_.size() <= library) totals_.resize(library + 1, Totals{});
    return totals_[library];
}

void LibraryTotals::addFiles(const DirectoryContext& context, const FileFacts& files) {
    if (files.bytes == 0 && files.keptModified == kNoTime) return;
    for (const EnclosingLibrary& library : context) {
        Totals& totals = of(library.record);
        totals.size += files.bytes;
        if (library.position == LibraryPosition::Category)
            totals.categories[categoryIndex(library.category)] += files.bytes;
        if (library.scope != CleaningScope::Removed)
            totals.newest = std::max(totals.newest, files.keptModified);
        if (library.listedEntry != kNotListed && files.bytes != 0) {
            if (listedBytes_.size() <= library.listedEntry) listedBytes_.resize(library.listedEntry + 1, 0);
            listedBytes_[library.listedEntry] += files.bytes;
        }
    }
}

void LibraryTotals::measureLink(int parentFd, std::string_view name, const DirectoryContext& context) {
    for (const EnclosingLibrary& library : context) {
        for (const LinkedCategoryPath& linked : categoryPathsThroughLink(library, name)) {
            scratch_.assign(name);
            if (!linked.rest.empty()) scratch_.append("/").append(linked.rest);
            of(library.record).categories[categoryIndex(linked.category)] +=
                directorySizeAt(parentFd, scratch_.c_str());
        }
    }
}

} // namespace velmora
