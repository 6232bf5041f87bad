#include "web/served_roots.h"

#include "platform/directory_names.h"
#include "platform/optional_thread.h"
#include "web/server_log.h"
#include "web/stored_records.h"

#include <nlohmann/json.hpp>
#include <unordered_map>

namespace velmora::web {

namespace {

// How often a running scan's counters go out to the pages.
constexpr std::chrono::milliseconds kProgressInterval{250};

std::string scanEvent(const std::string& root, const char* state, std::uint64_t entries, std::uint64_t libraries) {
    return nlohmann::json{{"root", root}, {"state", state}, {"entries", entries}, {"libraries", libraries}}.dump();
}

// A library keeps its id from one scan to the next, so that a page's selection and a script's
// ids outlive a rescan (one follows every cleaning); a path new to this scan gets a new id.
void keepIds(const RootScan& previous, std::vector<FCPBundle>& libraries) {
    std::unordered_map<std::string_view, Uuid> ids;
    for (const FCPBundle& library : previous.libraries)
        ids.emplace(library.relativePath, library.id);
    for (FCPBundle& library : libraries)
        if (const auto found = ids.find(library.relativePath); found != ids.end()) library.id = found->second;
}

} // namespace

ServedRootState::ServedRootState(ServedRoot root, StateStore& store, EventHub& events)
    : root_(std::move(root)), store_(store), events_(events) {
    if (std::optional<StoredScan> stored = store_.lastScan(root_.id)) {
        try {
            auto scan = std::make_shared<RootScan>();
            scan->libraries = recordsFromStore(stored->records);
            scan->index = std::make_unique<LibraryIndex>(scan->libraries);
            scan->sums = sumLibraries(scan->libraries);
            scan->finished = std::chrono::sys_seconds(std::chrono::seconds(stored->finished));
            last_ = std::move(scan);
            needsScan_ = stored->cleanedSince;
        } catch (const std::exception& error) {
            logLine("root " + root_.id + ": the stored scan is dropped (" + error.what() + "); scan again");
        }
    }
}

ServedRootState::~ServedRootState() {
    stop();
}

std::shared_ptr<const RootScan> ServedRootState::lastScan() const {
    std::lock_guard lock(mutex_);
    return last_;
}

bool ServedRootState::startScan() {
    std::lock_guard lock(mutex_);
    if (scanning_ || cancel_.requested()) return false;
    if (thread_.joinable()) thread_.join(); // the previous scan has ended: only its thread is left
    // No thread from the system (a process limit): no scan now, and none left marked running.
    thread_ = threadIfGiven([this] { runScan(); });
    scanning_ = thread_.joinable();
    return scanning_;
}

void ServedRootState::rescanAfterChange() {
    {
        std::lock_guard lock(mutex_);
        if (scanning_) {
            again_ = true; // the scan under way may have read the libraries before the change
            return;
        }
    }
    (void)startScan();
}

bool ServedRootState::scanning() const {
    std::lock_guard lock(mutex_);
    return scanning_;
}

std::pair<std::uint64_t, std::uint64_t> ServedRootState::progress() const {
    return {progress_.entriesRead.load(), progress_.librariesFound.load()};
}

void ServedRootState::stop() {
    cancel_.request();
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        thread = std::move(thread_);
    }
    if (thread.joinable()) thread.join();
}

void ServedRootState::runScan() {
    for (;;) {
        const std::string ended = scanOnce();
        bool again = false;
        {
            std::lock_guard lock(mutex_);
            again = again_ && !cancel_.requested();
            again_ = false;
            scanning_ = again;
            // An idle root shows no counts, and the next scan starts from none.
            progress_.entriesRead = 0;
            progress_.librariesFound = 0;
            progress_.mountPointsSkipped = 0;
        }
        // Told once the root takes a new scan: a page that asks for one at this event gets it.
        events_.publish("scan", ended);
        if (!again) return;
    }
}

std::string ServedRootState::scanOnce() {
    events_.publish("scan", scanEvent(root_.id, "started", 0, 0));
    auto scan = std::make_shared<RootScan>();
    std::mutex unreadableMutex;
    ScanOptions options;
    options.progress = &progress_;
    options.cancel = &cancel_;
    options.onUnreadable = [&](const std::string& path, int error) {
        std::lock_guard lock(unreadableMutex);
        scan->unreadable.push_back({path, error});
    };
    // The counters go out from a thread beside the scan, when the system gives one.
    std::mutex tickMutex;
    std::condition_variable tick;
    bool walked = false;
    std::thread ticker = threadIfGiven([&] {
        std::unique_lock lock(tickMutex);
        while (!tick.wait_for(lock, kProgressInterval, [&] { return walked; })) {
            const auto [entries, libraries] = progress();
            events_.publish("scanProgress", scanEvent(root_.id, "running", entries, libraries));
        }
    });
    scan->libraries = scanBundles(root_.path, options);
    {
        std::lock_guard lock(tickMutex);
        walked = true;
    }
    tick.notify_all();
    if (ticker.joinable()) ticker.join();
    if (const std::shared_ptr<const RootScan> previous = lastScan()) keepIds(*previous, scan->libraries);
    scan->index = std::make_unique<LibraryIndex>(scan->libraries);
    scan->sums = sumLibraries(scan->libraries);
    scan->entries = progress_.entriesRead.load();
    scan->finished = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    const bool stopped = cancel_.requested();
    // A root that could not be read at all (a share not mounted yet) is not kept as empty: the
    // next start scans it again.
    const bool rootUnread = !scan->unreadable.empty() && scan->unreadable.front().path == root_.path;
    if (!stopped && !rootUnread) {
        try {
            store_.saveScan({root_.id, scan->finished.time_since_epoch().count(), storedRecords(scan->libraries)});
        } catch (const StateError& error) {
            logLine("root " + root_.id + ": the scan is shown but not kept: " + error.what());
        }
    }
    const std::size_t found = scan->libraries.size();
    std::string unread;
    if (!stopped && !scan->unreadable.empty())
        unread = ", " + std::to_string(scan->unreadable.size()) + " folders unreadable (first " +
                 scan->unreadable.front().path + ": " + describeErrno(scan->unreadable.front().error) + ")";
    {
        std::lock_guard lock(mutex_);
        if (!stopped) last_ = std::move(scan);
    }
    logLine("root " + root_.id + ": scan " + (stopped ? "stopped" : "done") + ", " + std::to_string(found) +
            " libraries, " + std::to_string(progress_.entriesRead.load()) + " entries" + unread);
    return scanEvent(root_.id, stopped ? "stopped" : "done", progress_.entriesRead.load(), found);
}

ServedRoots::ServedRoots(const std::vector<ServedRoot>& roots, StateStore& store, EventHub& events,
                         std::optional<std::chrono::seconds> rescanEvery) {
    for (const ServedRoot& root : roots)
        roots_.push_back(std::make_unique<ServedRootState>(root, store, events));
    // A root never scanned, or whose stored scan a cleaning may have outdated, is scanned at
    // once, so that the first page opened lists true figures; the others keep their stored scan.
    for (const auto& root : roots_)
        if (root->needsScan()) (void)root->startScan();
    if (!rescanEvery) return;
    timer_ = std::thread([this, every = *rescanEvery] {
        std::unique_lock lock(mutex_);
        while (!wake_.wait_for(lock, every, [this] { return stopping_; }))
            for (const auto& root : roots_)
                (void)root->startScan();
    });
}

ServedRoots::~ServedRoots() {
    stop();
}

ServedRootState* ServedRoots::find(const std::string& id) {
    for (const auto& root : roots_)
        if (root->root().id == id) return root.get();
    return nullptr;
}

void ServedRoots::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (timer_.joinable()) timer_.join();
    for (const auto& root : roots_)
        root->stop();
}

} // namespace velmora::web
