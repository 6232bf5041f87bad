#pragma once

#include "cleaning/cleaning_plan.h"
#include "discovery/scanner.h"
#include "library/fcp_bundle.h"
#include "library/nested_libraries.h"
#include "platform/cancellation.h"
#include "web/event_hub.h"
#include "web/library_query.h"
#include "web/serve_options.h"
#include "web/state_store.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace velmora::web {

// A root's last finished scan: what the page lists and what a cleaning names libraries of.
struct RootScan {
    std::vector<FCPBundle> libraries;
    std::unique_ptr<LibraryIndex> index; // over `libraries`, made once they are complete
    LibrarySums sums;                    // of `libraries`, taken then too
    std::vector<UnreadableFolder> unreadable;
    std::chrono::sys_seconds finished{};
    std::uint64_t entries = 0;
};

// One root: its last scan (kept in the state database across restarts) and the scan under
// way, at most one: a second request joins it.
class ServedRootState {
  public:
    ServedRootState(ServedRoot root, StateStore& store, EventHub& events);
    ~ServedRootState();

    [[nodiscard]] const ServedRoot& root() const { return root_; }
    // The last finished scan; null before the first.
    [[nodiscard]] std::shared_ptr<const RootScan> lastScan() const;
    // No stored scan, or one that a cleaning may have made out of date.
    [[nodiscard]] bool needsScan() const { return needsScan_; }
    // Starts a scan unless one runs; true when this call started it.
    bool startScan();
    // After a cleaning changed the root: a scan now, or once the one under way has ended.
    void rescanAfterChange();
    [[nodiscard]] bool scanning() const;
    // The running scan's counters: entries read, libraries found.
    [[nodiscard]] std::pair<std::uint64_t, std::uint64_t> progress() const;
    // Stops a running scan (its result is dropped) and waits for it.
    void stop();

  private:
    void runScan();
    std::string scanOnce(); // the event that tells its end

    const ServedRoot root_;
    StateStore& store_;
    EventHub& events_;
    mutable std::mutex mutex_;
    std::shared_ptr<const RootScan> last_;
    bool needsScan_ = true; // set once, when the stored scan is read
    bool scanning_ = false;
    bool again_ = false; // scan once more when the running scan ends
    ScanProgress progress_;
    CancellationToken cancel_;
    std::thread thread_;
};

// Every root of the server, by id, with an optional rescan on a timer.
class ServedRoots {
  public:
    ServedRoots(const std::vector<ServedRoot>& roots, StateStore& store, EventHub& events,
                std::optional<std::chrono::seconds> rescanEvery);
    ~ServedRoots();

    [[nodiscard]] ServedRootState* find(const std::string& id);
    [[nodiscard]] const std::vector<std::unique_ptr<ServedRootState>>& all() const { return roots_; }
    void stop();

  private:
    std::vector<std::unique_ptr<ServedRootState>> roots_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread timer_;
};

} // namespace velmora::web
