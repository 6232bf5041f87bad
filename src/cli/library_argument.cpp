#include "cli/library_argument.h"

#include "i18n/translation.h"
#include "platform/open_beneath.h"
#include "platform/path.h"

#include <cerrno>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmora {

namespace {

constexpr std::string_view kLibrarySuffix = ".fcpbundle";

std::vector<std::string> components(const std::string& path) {
    std::vector<std::string> parts;
    for (std::size_t pos = 0; pos <= path.size();) {
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos) end = path.size();
        if (end > pos) parts.push_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

QString notALibrary() {
    return translate("CleanCommand",
                     "not a library folder (a directory whose name ends in .fcpbundle, not a link): %1");
}

} // namespace

std::variant<NamedLibrary, LibraryArgumentProblem>
resolveLibraryArgument(int locationFd, const std::string& library, bool crossMounts) {
    const std::vector<std::string> given = components(library);
    // The last real component must carry the library ending: "X.fcpbundle/." is not a library.
    if (given.empty() || !given.back().ends_with(kLibrarySuffix))
        return LibraryArgumentProblem{notALibrary()};

    struct stat location {};
    if (::fstat(locationFd, &location) != 0)
        return LibraryArgumentProblem{translate("CleanCommand", "location cannot be read: %1")};
    std::string prefix;
    if (library.starts_with('/')) {
        prefix = "/";
    } else {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) == nullptr)
            return LibraryArgumentProblem{translate("CleanCommand", "working folder cannot be read: %1")};
        prefix = cwd;
    }
    // The shortest leading part that is the location; the rest must stay beneath it.
    std::size_t inside = given.size();
    for (std::size_t k = 0; k < given.size(); ++k) {
        struct stat st {};
        if (::stat(prefix.c_str(), &st) == 0 && st.st_dev == location.st_dev &&
            st.st_ino == location.st_ino) {
            inside = k;
            break;
        }
        prefix = appendingPathComponent(prefix, given[k]);
    }
    if (inside == given.size())
        return LibraryArgumentProblem{translate("CleanCommand", "library is not inside the location: %1")};
    std::string relative;
    for (std::size_t k = inside; k < given.size(); ++k)
        relative = relative.empty() ? given[k] : relative + "/" + given[k];

    UniqueFd fd = openDirectoryBeneath(locationFd, relative, crossMounts);
    if (!fd) {
        if (errno == ELOOP || errno == EXDEV)
            return LibraryArgumentProblem{
                crossMounts
                    ? translate("CleanCommand", "library is outside the location (through \"..\" or a "
                                                "link): %1")
                    : translate("CleanCommand", "library is outside the location (through \"..\", a "
                                                "link or another file system): %1")};
        return LibraryArgumentProblem{notALibrary()};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return LibraryArgumentProblem{translate("CleanCommand", "library cannot be read: %1")};
    FCPBundle record;
    std::string path = library;
    while (path.size() > 1 && path.ends_with('/'))
        path.pop_back();
    record.path = path;
    record.displayName = lastPathComponent(path);
    record.relativePath = relative;
    record.device = st.st_dev;
    record.inode = st.st_ino;
    return NamedLibrary{std::move(record), std::move(fd)};
}

} // namespace velmora
