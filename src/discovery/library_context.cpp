#include "discovery/library_context.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace velmora {

namespace {

constexpr std::string_view kLibrarySuffix = ".fcpbundle";

} // namespace

bool hasLibraryName(std::string_view name) {
    return name.ends_with(kLibrarySuffix);
}

void recordIdentity(int parentFd, const char* name, FCPBundle& bundle) {
    struct stat st {};
    if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    bundle.device = st.st_dev;
    bundle.inode = st.st_ino;
}

DirectoryContext childContext(const DirectoryContext& parent, std::string_view name) {
    DirectoryContext child;
    child.reserve(parent.size() + 1);
    for (const EnclosingLibrary& library : parent)
        child.push_back({library.record, library.at.child(name), library.listedEntry});
    return child;
}

} // namespace velmora
