#include "discovery/scan_engine.h"

#include "platform/dir_walker.h"
#include "platform/path.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::scan_engine {

// --- what the scan does not enter ---

void ParallelScan::unreadable(const std::string& relativePath, int error) {
    if (rules_.onUnreadable) rules_.onUnreadable(joinPath(*location_, relativePath), error);
}

// A directory that could not be opened: gone or swapped for a link or file is no error.
void ParallelScan::notOpened(int error, const std::function<std::string()>& pathOf) {
    if (error != ENOENT && error != ENOTDIR && error != ELOOP) unreadable(pathOf(), error);
}

// A directory on another mount: not entered, and a listed entry there is one a cleaning leaves.
void ParallelScan::mountSkipped(const std::function<std::string()>& pathOf) {
    progress_->mountPointsSkipped.fetch_add(1, std::memory_order_relaxed);
    if (listing_.categories() != 0) listing_.mountSkipped(pathOf());
}

// Whether the scan may enter the directory just opened: on the location's own mount, or
// anywhere when crossing was asked for.
bool ParallelScan::mayEnter(int fd, const std::function<std::string()>& pathOf) {
    if (rules_.crossFileSystems) return true;
    auto id = identifyFd(fd);
    if (!id) {
        unreadable(pathOf(), errno);
        return false;
    }
    if (!onOtherMount(rootId_, *id)) return true;
    mountSkipped(pathOf);
    return false;
}

// --- results ---

std::uint32_t ParallelScan::addLibrary(std::vector<std::uint64_t> order, std::string relativePath, int parentFd,
                                       const char* name) {
    FCPBundle record;
    record.relativePath = std::move(relativePath);
    recordIdentity(parentFd, name, record);
    if (rules_.onLibraryFound) {
        FCPBundle told = record;
        nameRecord(told, *location_);
        rules_.onLibraryFound(told);
    }
    std::uint32_t id;
    {
        std::lock_guard lock(foundMutex_);
        id = static_cast<std::uint32_t>(found_.size());
        found_.push_back(FoundLibrary{std::move(order), std::move(record)});
    }
    progress_->librariesFound.fetch_add(1, std::memory_order_relaxed);
    return id;
}

// Adds the entries counted so far to the shared counter: now, or once a batch is full.
void ParallelScan::publishEntries(Worker& worker, bool now) {
    if (worker.unpublished == 0) return;
    if (!now && worker.unpublished < kProgressBatch) return;
    progress_->entriesRead.fetch_add(worker.unpublished, std::memory_order_relaxed);
    worker.unpublished = 0;
}

// --- one entry ---

namespace {

// Whether the entry `name` of a directory with these enclosing libraries is itself the entry
// of a category for one of them (a file or link named like a category's, inside an event).
bool isCategoryEntry(const DirectoryContext& context, std::string_view name,
                     CategoryMask categories = kEveryCategory) {
    CacheCategory category;
    for (const EnclosingLibrary& library : context)
        if (library.at.startsCategory(name, categories, category)) return true;
    return false;
}

} // namespace

// A regular file adds its size to `files` (its directory's sum for the enclosing libraries),
// or on its own where it is a category's entry; an entry named like a library becomes a
// record (a link or a file so named keeps all its sizes 0); links are never followed. A
// directory gives the context of its own entries, unless the scan leaves it unread.
template <typename Order, typename Path>
std::optional<DirectoryContext> ParallelScan::visitEntry(Worker& worker, int parentFd, const char* name,
                                                         EntryType type, const struct statx* known,
                                                         const DirectoryContext& context, FileFacts& files,
                                                         Order&& order, Path&& path) {
    auto addRecord = [&] { return addLibrary(order(), path(), parentFd, name); };
    if (type != EntryType::Directory) {
        FileFacts file;
        if (type == EntryType::Regular && !context.empty()) {
            struct statx st {};
            if (known == nullptr && lookUp(parentFd, name, st) && S_ISREG(st.stx_mode)) known = &st;
            if (known != nullptr) file = factsOfFile(*known);
        }
        if (hasLibraryName(name)) addRecord();
        if (isCategoryEntry(context, name)) {
            worker.totals.addFiles(context, file, name);
        } else {
            files.bytes = addBytes(files.bytes, file.bytes);
            files.keptModified = std::max(files.keptModified, file.keptModified);
        }
        listing_.visit(context, nullptr, name, file.bytes, order, path);
        return std::nullopt;
    }
    if (rules_.skipInside != 0 && isCategoryEntry(context, name, rules_.skipInside)) return std::nullopt;
    DirectoryContext child = childContext(context, name);
    listing_.visit(context, &child, name, 0, order, path);
    if (hasLibraryName(name)) child.push_back(libraryRoot(addRecord()));
    return child;
}

// --- one directory ---

void ParallelScan::readDirectory(unsigned self, DirTask task) {
    Worker& worker = workers_[self];
    DirNode* node = task.node;
    auto nodePath = [node] { return relativePathOf(node); };
    if (node->parent != nullptr) {
        const int fd =
            answered(worker, [&] { return openScanDirectory(node->parent->fd, node->name.c_str()); });
        releaseFd(node->parent, openDirectories_);
        if (fd < 0) notOpened(errno, nodePath);
        if (fd < 0 || !mayEnter(fd, nodePath)) {
            if (fd >= 0) ::close(fd);
            releaseNode(node);
            return;
        }
        node->fd = fd;
        node->fdUsers.store(1, std::memory_order_relaxed);
        openDirectories_.fetch_add(1, std::memory_order_relaxed);
    }
    const int fd = node->fd;
    FileFacts files;
    std::uint64_t index = 0;

    // A stopped scan drains its queues without reading: every task still ends here.
    while (!cancelled(cancel_)) {
        const ssize_t n =
            answered(worker, [&] { return ::getdents64(fd, worker.buffer, kListingBufferSize); });
        if (n < 0 && errno != ENOENT) unreadable(relativePathOf(node), errno);
        if (n <= 0) break;
        for (ssize_t pos = 0; pos < n;) {
            auto* entry = reinterpret_cast<struct dirent64*>(worker.buffer + pos);
            pos += entry->d_reclen;
            const char* name = entry->d_name;
            if (isDotOrDotDot(name)) continue;
            const std::uint64_t position = index++;
            ++worker.unpublished;

            EntryType type;
            struct statx st {};
            const struct statx* known = nullptr;
            if (std::optional<EntryType> listed = entryTypeFromListing(entry->d_type)) {
                type = *listed;
            } else {
                // File systems without d_type: one lookup gives the type, size and time.
                if (!answered(worker, [&] { return lookUp(fd, name, st); })) continue; // vanished
                type = entryTypeFromMode(st.stx_mode);
                if (type == EntryType::Regular) known = &st;
            }
            auto order = [&] {
                std::vector<std::uint64_t> order = orderOf(node);
                order.push_back(position);
                return order;
            };
            auto path = [&] { return appendingPathComponent(relativePathOf(node), name); };
            std::optional<DirectoryContext> child =
                visitEntry(worker, fd, name, type, known, task.context, files, order, path);
            if (!child) continue;
            if (openDirectories_.load(std::memory_order_relaxed) >= openCap_ || queues_.queued() >= queueCap_) {
                walkInline(worker, node, position, fd, name, *child);
            } else {
                auto* childNode = new DirNode;
                childNode->parent = node;
                childNode->name = name;
                childNode->index = position;
                node->refs.fetch_add(1, std::memory_order_relaxed);
                node->fdUsers.fetch_add(1, std::memory_order_relaxed);
                queues_.push(self, DirTask{childNode, std::move(*child)});
            }
        }
        publishEntries(worker, true);
    }
    worker.totals.addFiles(task.context, files);
    releaseFd(node, openDirectories_);
    releaseNode(node);
}

// The subtree of directory `name` (entry `position` of `node`) walked here, in order, by the
// sequential walker with its own small descriptor cap: the way out when the queues already
// hold, or keep open, as many directories as the scan allows.
void ParallelScan::walkInline(Worker& worker, DirNode* node, std::uint64_t position, int parentFd,
                              const char* name, const DirectoryContext& rootContext) {
    const std::string basePath = appendingPathComponent(relativePathOf(node), name);
    auto subtreePath = [&basePath] { return basePath; };
    UniqueFd subtree(openScanDirectory(parentFd, name));
    if (!subtree) {
        notOpened(errno, subtreePath);
        return;
    }
    if (!mayEnter(subtree.get(), subtreePath)) return;
    std::vector<std::uint64_t> baseOrder = orderOf(node);
    baseOrder.push_back(position);

    // contexts[d]: context of the entries at depth d + 1; indices[d]: position of the
    // current entry at depth d + 1 among its siblings.
    std::vector<DirectoryContext> contexts{rootContext};
    std::vector<std::uint64_t> indices;
    WalkOptions options;
    options.maxOpenDescriptors = inlineCap_;
    options.stayOnMount = !rules_.crossFileSystems;
    options.onOtherMount = [&](std::string_view relative) {
        mountSkipped([&] { return appendingPathComponent(basePath, relative); });
    };
    options.onError = [&](std::string_view relative, int error) {
        unreadable(appendingPathComponent(basePath, relative), error);
    };
    walkDirectoryAt(
        subtree.get(),
        [&](const WalkEntry& entry) {
            if (cancelled(cancel_)) return WalkAction::Stop;
            if (indices.size() < entry.depth) {
                indices.push_back(0);
            } else {
                indices.resize(entry.depth);
                ++indices.back();
            }
            ++worker.unpublished;
            publishEntries(worker, false);
            const DirectoryContext& context = contexts[entry.depth - 1];
            auto order = [&] {
                std::vector<std::uint64_t> order = baseOrder;
                order.insert(order.end(), indices.begin(), indices.end());
                return order;
            };
            auto path = [&] { return appendingPathComponent(basePath, entry.relativePath); };
            FileFacts file;
            std::optional<DirectoryContext> child =
                visitEntry(worker, entry.parentFd, entry.name.data(), entry.type, nullptr, context, file, order, path);
            worker.totals.addFiles(context, file);
            // A directory without a context of its own is one the scan leaves unread.
            if (!child) return entry.type == EntryType::Directory ? WalkAction::SkipChildren : WalkAction::Continue;
            if (contexts.size() <= entry.depth) contexts.resize(entry.depth + 1);
            contexts[entry.depth] = std::move(*child);
            return WalkAction::Continue;
        },
        options);
}

} // namespace velmora::scan_engine
