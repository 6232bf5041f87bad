#pragma once

#include "cleaning/cleaning_plan.h"
#include "cleaning/cleaning_tally.h"
#include "platform/cancellation.h"
#include "web/access.h"
#include "web/event_hub.h"
#include "web/served_roots.h"
#include "web/state_store.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>

namespace velmora::web {

// What a client asked to clean, checked against the root's last scan.
struct CleaningOrder {
    ServedRootState* root = nullptr;
    std::shared_ptr<const RootScan> scan;
    std::vector<FCPBundle> libraries; // records of that scan
    bool wholeRoot = false;           // every library: the scan's unreadable folders are told too
    PlanRequest request;
    Principal by;
    std::string client;
};

// The cleanings of the server, each on a thread of its own, through the one location run.
// Runs that share a library take turns (the later one waits until the earlier has ended);
// runs of different libraries go side by side. Each ended run goes into the history.
class CleaningRuns {
  public:
    CleaningRuns(StateStore& store, EventHub& events);
    ~CleaningRuns();

    // Starts the run; its id. Throws std::system_error when the system gives no thread, and
    // std::runtime_error once the server is stopping.
    [[nodiscard]] std::string start(CleaningOrder order);
    // Asks the run to stop at its next removal; false for no such run.
    bool stop(const std::string& id);
    // Its state and, once ended, its report with each entry.
    [[nodiscard]] std::optional<nlohmann::ordered_json> describe(const std::string& id);
    // Stops every run and waits until each has ended and been recorded.
    void stopAll();

  private:
    struct Run;
    void execute(Run& run);
    void finish(Run& run);
    void forgetOldRuns();
    bool acquire(Run& run);

    StateStore& store_;
    EventHub& events_;
    std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::string, std::unique_ptr<Run>> runs_;
    std::set<std::string> busy_; // "<root>\n<relative path>" of the libraries being cleaned
    bool stopping_ = false;
};

} // namespace velmora::web
