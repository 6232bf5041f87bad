#pragma once

#include "library/cache_category.h"
#include "library/fcp_bundle.h"
#include "platform/dir_walker.h"

#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Stores in `bundle` the device and inode of the entry `name` in `parentFd` (links not
// followed), so a cleaning can check that it reaches the very entry the scan found.
void recordIdentity(int parentFd, const char* name, FCPBundle& bundle);

// Where a directory lies relative to one library that encloses it.
enum class LibraryPosition : std::uint8_t {
    Root,            // the library directory itself
    EventFolder,     // a directory directly inside the library
    TranscodedMedia, // <event>/Transcoded Media
    Category,        // at or below one of the measured category directories
    Elsewhere,       // anywhere else inside the library: counts in `size` only
};

// Where an entry lies relative to what a cleaning of every category removes from one
// library that encloses it. Cleaning matches whole trailing components of the path inside
// the library, so a directory's scope follows from its parent's scope and its own name.
enum class CleaningScope : std::uint8_t {
    Kept,       // not removed
    KeptPrefix, // not removed, named like the first part of a two-part removed path
    Removed,    // a removed entry, or inside one
};

// The scope of an entry named `name` inside a directory of scope `parent` (a library root
// has scope Kept), for a cleaning of `categories`. Where the entry is itself a removed entry
// (its parent's scope is not Removed), `removedBy` receives the category that removes it.
[[nodiscard]] CleaningScope cleaningScopeOf(CleaningScope parent, std::string_view name,
                                            CategoryMask categories = kEveryCategory,
                                            CacheCategory* removedBy = nullptr);

// No listed cleanable entry encloses the directory.
inline constexpr std::uint32_t kNotListed = UINT32_MAX;

struct EnclosingLibrary {
    std::uint32_t record; // index of the library's record in the result list
    LibraryPosition position;
    CacheCategory category; // meaningful when position is Category
    CleaningScope scope = CleaningScope::Kept;
    // The scope for the categories whose removed entries the scan lists (none: always Kept),
    // and the listed entry the directory lies in.
    CleaningScope listedScope = CleaningScope::Kept;
    std::uint32_t listedEntry = kNotListed;
};

// Every library that encloses a directory, outermost first, each with the directory's
// position relative to it. Empty outside all libraries.
using DirectoryContext = std::vector<EnclosingLibrary>;

// True when the name ends in ".fcpbundle", compared byte for byte (letter case matters).
[[nodiscard]] bool hasLibraryName(std::string_view name);

// The position, relative to `library`, of a directory named `name` inside a directory whose
// position is `library.position`; its listed scope under the `listed` categories.
[[nodiscard]] EnclosingLibrary descendInto(const EnclosingLibrary& library, std::string_view name,
                                           CategoryMask listed = 0);

// A category path that goes on through a symbolic link: the part below the link (empty when
// the link itself is the category directory) and the category it measures.
struct LinkedCategoryPath {
    std::string_view rest;
    CacheCategory category;
};

// The category paths that a link named `name`, met where `library.position` says, leads
// into; each is measured by following the link. Empty where no category path goes on.
[[nodiscard]] std::span<const LinkedCategoryPath> categoryPathsThroughLink(const EnclosingLibrary& library,
                                                                           std::string_view name);

// The measuring rules of a scan, one entry at a time: turns the entries of a walk below
// `location` into library records and adds each regular file's size to every library that
// encloses it and to the category it lies in. It knows nothing about how the walk is done,
// only the context of the entry's parent directory, so any walk order that gives each
// entry its parent's context can drive it; the records come out in the order entries are
// visited.
class BundleAttribution {
  public:
    explicit BundleAttribution(std::string location) : location_(std::move(location)) {}

    // Handles one entry whose parent directory has context `parent`. For a directory, also
    // fills `child` with the context of the directory's own entries.
    void visit(const WalkEntry& entry, const DirectoryContext& parent, DirectoryContext& child);

    // Makes the location itself the first library (a scan of one library) and returns the
    // context of its entries.
    [[nodiscard]] DirectoryContext addRootLibrary();

    [[nodiscard]] std::vector<FCPBundle>& bundles() { return bundles_; }

  private:
    void addRecord(const WalkEntry& entry);
    void addToCategory(std::uint32_t record, CacheCategory category, std::int64_t bytes);
    // A link met where a category path goes on: that part is measured through the link.
    void measureThroughLink(const EnclosingLibrary& library, const WalkEntry& entry);

    std::string location_;
    std::vector<FCPBundle> bundles_;
    std::string scratch_;
};

} // namespace velmora
