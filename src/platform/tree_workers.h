#pragma once

#include "platform/cancellation.h"
#include "platform/safe_remove.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

// What a measurement of one entry found: the regular-file bytes in it (links not followed,
// other mounts not entered) and the folders inside it that could not be read.
struct EntryMeasure {
    std::int64_t bytes = 0;
    std::vector<RemoveFailure> unreadable;
};

// Threads that remove (or measure) whole entries side by side: the directories of one entry
// are emptied at once, and several entries too, so that on a share many requests wait on the
// server together instead of one after the other. Each removal keeps every guarantee of
// removeEntryAt: names relative to verified directory descriptors, never through a link,
// never into another mount, nothing forced; a directory's descriptor stays open until every
// directory below it is done, so it is removed through the very descriptor it was emptied
// from. Whatever is out of the ordinary (a directory that cannot be opened, is a link now, or
// is a mount point; a failed unlink) is handed to removeEntryAt itself. Results are what
// removeEntryAt gives, failures listed in the same order (the order of the listings).
class TreeWorkers {
  public:
    // `maxOpenDescriptors`: descriptors all the threads together hold at most.
    TreeWorkers(unsigned threads, std::size_t maxOpenDescriptors, const CancellationToken* cancel);
    ~TreeWorkers(); // waits for every entry handed over
    TreeWorkers(const TreeWorkers&) = delete;
    TreeWorkers& operator=(const TreeWorkers&) = delete;

    // Threads worth starting for `wanted` within a descriptor cap: each needs a few of its
    // own. Below 2 the work is better done one entry after the other.
    [[nodiscard]] static unsigned usableThreads(unsigned wanted, std::size_t maxOpenDescriptors);
    // The threads the system gave, maybe fewer than asked for (a process limit). With none,
    // nothing handed over would ever be done: the owner does the work itself instead.
    [[nodiscard]] std::size_t threads() const;

    // Removes the entry `name` of the directory open at `parentFd` as removeEntryAt does, and
    // calls `done` with its report from one of the threads. `parentFd` may be closed once
    // this returns (it may wait for descriptors to come free).
    void remove(int parentFd, const std::string& name, std::string displayPath, bool expectDirectory,
                std::function<void(RemoveReport)> done);
    // Measures the entry likewise: its size for a file, the total below it for a directory.
    void measure(int parentFd, const std::string& name, std::string displayPath,
                 std::function<void(EntryMeasure)> done);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace velmora
