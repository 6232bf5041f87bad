#pragma once

// The records of TreeWorkers' work in flight, shared by its threads; private to tree_workers.cpp.

#include "platform/directory_names.h"
#include "platform/file_identity.h"
#include "platform/safe_remove.h"
#include "platform/tree_workers.h"
#include "platform/unique_fd.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velmora::tree_work {

// Where a failure lies in the entry: the listing positions leading to it, so that sorting
// gives the order one walk through the listings gives. A directory's own failure to go comes
// after everything inside it.
using Key = std::vector<std::uint32_t>;
constexpr std::uint32_t kAfterChildren = UINT32_MAX;

struct Job;

// A directory being emptied (or measured): open, listed, and waiting for the directories
// below it. It holds its parent, whose descriptor it is removed through.
struct Dir {
    Job* job = nullptr;
    std::shared_ptr<Dir> parent; // null for the entry itself: its parent is the job's
    UniqueFd fd;
    FileIdentity id;
    std::string name;
    std::string path;
    Key key;
    std::vector<DirectoryChild> children;
    std::atomic<int> pending{1}; // its own listing, and each directory below it not yet done
    std::atomic<bool> leftSomething{false};
    int rereads = 0;
    // Whether its listing was read to the end; a removal may take a short last read for the end
    // and leave its removal to tell (readDirectoryNamesUntilShortRead).
    bool endSeen = true;
    std::size_t listed = 0; // entries of earlier parts of its listing: `children` continues after them

    [[nodiscard]] Key keyOf(std::size_t index) const;
};

struct KeyedFailure {
    Key key;
    RemoveFailure failure;
};

// One entry handed over.
struct Job {
    bool measuring = false;
    bool expectDirectory = false;
    UniqueFd parentFd; // the caller's, duplicated
    FileIdentity parentId;
    std::string name;
    std::string path;
    std::function<void(RemoveReport)> removed;
    std::function<void(EntryMeasure)> measured;

    std::mutex mutex; // guards failures
    std::vector<KeyedFailure> failures;
    std::atomic<std::uint64_t> entriesRemoved{0};
    std::atomic<std::int64_t> bytes{0};
    std::atomic<std::int64_t> freed{0};
    std::atomic<bool> stopped{false};
    std::atomic<bool> readOnly{false};
    RemoveOutcome rootOutcome = RemoveOutcome::Failed;

    [[nodiscard]] bool ended() const { return stopped.load() || readOnly.load(); }
    void addFailure(Key key, RemoveFailure failure) {
        std::lock_guard lock(mutex);
        failures.push_back({std::move(key), std::move(failure)});
    }
    std::vector<RemoveFailure> sortedFailures() {
        std::stable_sort(failures.begin(), failures.end(),
                         [](const KeyedFailure& a, const KeyedFailure& b) { return a.key < b.key; });
        std::vector<RemoveFailure> sorted;
        for (KeyedFailure& failure : failures)
            sorted.push_back(std::move(failure.failure));
        return sorted;
    }
};

inline Key childKey(const Key& key, std::size_t index) {
    Key child = key;
    child.push_back(static_cast<std::uint32_t>(std::min<std::size_t>(index, kAfterChildren - 1)));
    return child;
}

// The key of the child at `index` of `children`.
inline Key Dir::keyOf(std::size_t index) const {
    return childKey(key, listed + index);
}

} // namespace velmora::tree_work
