#include "web/cleaning_runs.h"

#include "cleaning/cleaning_runner.h"
#include "platform/directory_names.h"
#include "platform/unique_fd.h"
#include "report/json_fields.h"
#include "web/server_log.h"

#include <algorithm>
#include <stdexcept>
#include <fcntl.h>

namespace velmora::web {

namespace {

// Entries of a run kept for its report; a larger run keeps its counts and says it cut the list.
constexpr std::size_t kReportedEntries = 100000;
// Reports of ended runs kept for GET /runs/{run}; the oldest half goes when they are this many.
constexpr std::size_t kKeptReports = 200;

nlohmann::ordered_json categoryKeys(CategoryMask mask) {
    nlohmann::ordered_json keys = nlohmann::ordered_json::array();
    for (CacheCategory category : allCacheCategories)
        if ((mask & categoryBit(category)) != 0) keys.push_back(std::string(categoryInfo(category).key));
    return keys;
}

} // namespace

struct CleaningRuns::Run {
    std::string id;
    CleaningOrder order;
    CleaningPlan plan;
    CancellationToken cancel;
    std::int64_t started = 0, finished = 0;
    const char* state = "waiting"; // waiting, running, done
    CleaningTally tally;
    nlohmann::ordered_json entries = nlohmann::ordered_json::array();
    bool entriesCut = false;
    std::thread thread;
    std::vector<std::string> keys; // its libraries in busy_
    bool acquired = false;         // it holds them
};

CleaningRuns::CleaningRuns(StateStore& store, EventHub& events) : store_(store), events_(events) {}

CleaningRuns::~CleaningRuns() {
    stopAll();
}

std::string CleaningRuns::start(CleaningOrder order) {
    auto run = std::make_unique<Run>();
    run->id = Uuid::random().toString();
    run->started = secondsNow();
    run->plan = planCleaning(order.libraries, order.request,
                             order.wholeRoot ? order.scan->unreadable : std::vector<UnreadableFolder>{});
    run->order = std::move(order);
    for (const FCPBundle& library : run->plan.libraries)
        run->keys.push_back(run->order.root->root().id + "\n" + library.relativePath);
    Run& started = *run;
    const std::string id = run->id;
    {
        std::lock_guard lock(mutex_);
        if (stopping_) throw std::runtime_error("the server is stopping");
        forgetOldRuns();
        // The thread first: a run the system gives no thread for is not kept as waiting.
        started.thread = std::thread([this, &started] { execute(started); });
        runs_[id] = std::move(run);
    }
    return id;
}

// Keeps the reports of the latest ended runs only (the history keeps every run's summary).
// Called with mutex_ held; an ended run's thread has nothing left to do but return.
void CleaningRuns::forgetOldRuns() {
    std::vector<std::pair<std::int64_t, std::string>> ended;
    for (const auto& [id, run] : runs_)
        if (std::string_view(run->state) == "done") ended.emplace_back(run->finished, id);
    if (ended.size() < kKeptReports) return;
    std::sort(ended.begin(), ended.end());
    for (std::size_t i = 0; i + kKeptReports / 2 < ended.size(); ++i) {
        auto found = runs_.find(ended[i].second);
        if (found->second->thread.joinable()) found->second->thread.join();
        runs_.erase(found);
    }
}

bool CleaningRuns::acquire(Run& run) {
    std::unique_lock lock(mutex_);
    released_.wait(lock, [&] {
        if (run.cancel.requested()) return true;
        for (const std::string& key : run.keys)
            if (busy_.contains(key)) return false;
        return true;
    });
    if (run.cancel.requested()) return false;
    busy_.insert(run.keys.begin(), run.keys.end());
    run.acquired = true;
    run.state = "running";
    return true;
}

void CleaningRuns::execute(Run& run) {
    const std::string& rootId = run.order.root->root().id;
    events_.publish("run", nlohmann::json{{"run", run.id}, {"root", rootId}, {"state", "waiting"}}.dump());
    if (acquire(run)) {
        events_.publish("run", nlohmann::json{{"run", run.id}, {"root", rootId}, {"state", "running"}}.dump());
        const std::string& rootPath = run.order.root->root().path;
        UniqueFd rootFd(::open(rootPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        CleaningRunOptions options;
        options.cancel = &run.cancel;
        CleaningEvents events;
        events.onEntry = [&](const DeletionEntry& entry) {
            nlohmann::ordered_json object = entryFields(entry);
            // What stayed and why, one by one, so that each reason can be put in a reader's language.
            for (const RemoveFailure& failure : entry.failures)
                object["failures"].push_back({{"path", failure.path}, {"reason", failure.description}});
            events_.publish("entry", nlohmann::ordered_json{{"run", run.id}, {"entry", object}}.dump(
                                         -1, ' ', false, nlohmann::json::error_handler_t::replace));
            std::lock_guard lock(mutex_);
            if (run.entries.size() < kReportedEntries)
                run.entries.push_back(std::move(object));
            else
                run.entriesCut = true;
        };
        events.onStepDone = [&](std::size_t done, std::size_t total) {
            events_.publish("runProgress", nlohmann::json{{"run", run.id}, {"done", done}, {"total", total}}.dump());
        };
        CleaningTally tally;
        if (rootFd)
            tally = runCleaning(rootFd.get(), run.plan, options, events);
        else
            events.onEntry({std::nullopt, rootPath, DeletionStatus::Unreadable, 0,
                            {{rootPath, errno, describeErrno(errno)}}});
        std::lock_guard lock(mutex_);
        if (!rootFd) tally.failed = 1;
        run.tally = tally;
    }
    finish(run);
}

// Records the ended run in the history, then shows it as done: whoever sees it done finds it
// in the history too.
void CleaningRuns::finish(Run& run) {
    const std::string& rootId = run.order.root->root().id;
    const std::int64_t finished = secondsNow();
    nlohmann::json libraries = nlohmann::json::array();
    for (const FCPBundle& library : run.plan.libraries)
        libraries.push_back(library.relativePath);
    const CleaningTally& t = run.tally;
    try {
        store_.addCleaning({run.id, run.started, finished, run.order.by.tokenName, run.order.client, rootId,
                            libraries.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                            categoryKeys(run.order.request.categories).dump(), t.removed, t.failed, t.bytes,
                            t.bytesFreed, run.cancel.requested(), t.firstFailedPath, t.firstFailureDescription});
    } catch (const StateError& error) {
        logLine("run " + run.id + ": not recorded in the history: " + error.what());
    }
    logLine("cleaning " + run.id + " by " + run.order.by.tokenName + " from " + run.order.client + " on " + rootId +
            ": " + std::to_string(run.plan.libraries.size()) + " libraries, " + std::to_string(t.removed) +
            " removed, " + std::to_string(t.failed) + " failed, " + std::to_string(t.bytes) + " bytes" +
            (run.cancel.requested() ? ", stopped" : ""));
    {
        // Done, and its libraries free for the next run, at once: that run's events come after
        // this one's end. Nothing after this takes the lock, so a done run's thread is joinable.
        std::lock_guard lock(mutex_);
        run.finished = finished;
        run.state = "done";
        if (run.acquired)
            for (const std::string& key : run.keys)
                busy_.erase(key);
        events_.publish("run", nlohmann::json{{"run", run.id}, {"root", rootId}, {"state", "done"}}.dump());
    }
    released_.notify_all();
    // The list shows the sizes after the cleaning; the pages hear of it from the scan's events.
    // A run stopped before it began changed nothing.
    if (run.acquired) run.order.root->rescanAfterChange();
}

bool CleaningRuns::stop(const std::string& id) {
    {
        std::lock_guard lock(mutex_);
        const auto found = runs_.find(id);
        if (found == runs_.end()) return false;
        found->second->cancel.request();
    }
    released_.notify_all(); // a run still waiting for its libraries gives up
    return true;
}

std::optional<nlohmann::ordered_json> CleaningRuns::describe(const std::string& id) {
    std::lock_guard lock(mutex_);
    const auto found = runs_.find(id);
    if (found == runs_.end()) return std::nullopt;
    const Run& run = *found->second;
    nlohmann::ordered_json out;
    out["id"] = run.id;
    out["root"] = run.order.root->root().id;
    out["state"] = run.state;
    out["stopped"] = run.cancel.requested();
    out["by"] = run.order.by.tokenName;
    out["started"] = run.started;
    out["finished"] = run.finished == 0 ? nlohmann::ordered_json() : nlohmann::ordered_json(run.finished);
    out["categories"] = categoryKeys(run.order.request.categories);
    out["libraries"] = run.plan.libraries.size();
    out["skippedAsRecent"] = run.plan.skippedAsRecent;
    if (std::string_view(run.state) != "done") return out;
    const CleaningTally& t = run.tally;
    out["removed"] = t.removed;
    out["failed"] = t.failed;
    out["bytes"] = t.bytes;
    out["bytesFreed"] = t.bytesFreed;
    out["firstFailure"] = t.firstFailedPath.empty()
                              ? nlohmann::ordered_json()
                              : nlohmann::ordered_json{{"path", t.firstFailedPath}, {"reason", t.firstFailureDescription}};
    out["entries"] = run.entries;
    out["entriesCut"] = run.entriesCut;
    return out;
}

void CleaningRuns::stopAll() {
    std::vector<std::thread*> threads;
    {
        // From here on no run starts and none is forgotten: the threads below stay put.
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (auto& [id, run] : runs_) {
            run->cancel.request();
            threads.push_back(&run->thread);
        }
    }
    released_.notify_all();
    for (std::thread* thread : threads)
        if (thread->joinable()) thread->join();
}

} // namespace velmora::web
