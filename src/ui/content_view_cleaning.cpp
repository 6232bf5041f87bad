// ContentView's cleaning runs: one category or all four of the selected library, or every
// library of the chosen location, each with its stop token, progress and closing alert. All
// three are plans run by the cleaning runner on the window's queues.
#include "cleaning/cleaning_runner.h"
#include "i18n/category_texts.h"
#include "i18n/failure_reason_text.h"
#include "i18n/grouped_number.h"
#include "i18n/translation.h"
#include "platform/log_output.h"
#include "platform/unique_fd.h"
#include "ui/content_view.h"
#include "ui/content_view_state.h"
#include "ui/location_problem_text.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <mutex>

namespace velmora {

using view_detail::fromBytes;

namespace {

// `counted` names how many entries had to stay (looked up with that count); the first of them
// and its error, in the window's language, complete it.
QString failureText(const QString& counted, const CleaningTally& tally) {
    return counted.arg(fromBytes(tally.firstFailedPath), failureReasonText(tally.firstFailureDescription));
}

// The closing alert of a run: a stop requested during it says so first, and a run in which
// something had to stay says that (with `failed`) instead of `finished`, which is then never
// shown: no run that left an entry behind reads as done or as having nothing to clean.
QString closingText(bool stopped, const CleaningTally& tally, const QString& failed,
                    const QString& finished) {
    const QString failure = tally.failed > 0 ? failureText(failed, tally) : QString();
    if (!stopped) return failure.isNull() ? finished : failure;
    const QString stop = translate("ContentView", "清理已停止。停止前已删除 %n 项。", nullptr, tally.removed);
    return failure.isNull() ? stop : stop + u'\n' + failure;
}

UniqueFd openLocation(const std::string& location) {
    return UniqueFd(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The window's runs go on its own queues and stop through the run's token.
CleaningRunOptions runOptions(Dispatch& dispatch, const CancellationToken& token) {
    CleaningRunOptions options;
    options.cancel = &token;
    options.makeGroup = [&dispatch](unsigned width) {
        return dispatch.makeConcurrentGroup("cleaningQueue", width);
    };
    return options;
}

// Every entry is logged on standard output the moment it finishes.
CleaningEvents loggedEvents() {
    CleaningEvents events;
    events.onEntry = [](const DeletionEntry& entry) {
        for (const std::string& line : logLines(entry))
            (void)writeLogLine(line);
    };
    return events;
}

// Some categories of one listed library, one walk for each, reached beneath the location its
// scan walked (the record's path without its relative path) and checked against that scan.
CleaningTally cleanListedLibrary(Dispatch& dispatch, const FCPBundle& library, CategoryMask categories,
                                 const CancellationToken& token) {
    const std::string& path = library.path;
    std::string location = path.substr(0, path.size() - std::min(path.size(), library.relativePath.size()));
    while (location.size() > 1 && location.ends_with('/'))
        location.pop_back();
    PlanRequest request;
    request.categories = categories;
    request.stepPerCategory = true;
    const UniqueFd locationFd = openLocation(location);
    // A location that is gone leaves its library unreachable, which the run tells as unreadable.
    const CleaningPlan plan =
        locationFd ? planCleaning({library}, request) : planCleaning({}, request, {{library.path, errno}});
    // One category after the other: a stop ends the run between two of them.
    CleaningRunOptions options = runOptions(dispatch, token);
    options.jobs = 1;
    return runCleaning(locationFd.get(), plan, options, loggedEvents());
}

} // namespace

std::shared_ptr<CancellationToken> ContentView::beginCleaning(const QString& startText) {
    ++state->activeCleanings;
    auto token = std::make_shared<CancellationToken>();
    state->cleaningTokens.push_back(token);
    // The bar shows this run from nothing: never what an earlier run left.
    state->progressRun = token.get();
    setTotalTasks(0);
    setCompletedTasks(0);
    setProgressValue(0.0);
    setIsCleaning(true);
    setProgressText(startText);
    refreshCanStop();
    return token;
}

bool ContentView::showsProgressOf(const std::shared_ptr<CancellationToken>& token) const {
    return state->progressRun == token.get();
}

void ContentView::endCleaningRun(const std::shared_ptr<CancellationToken>& token) {
    if (state->activeCleanings > 0) --state->activeCleanings;
    if (state->progressRun == token.get()) state->progressRun = nullptr;
    std::erase(state->cleaningTokens, token);
    setIsCleaning(state->activeCleanings > 0);
    refreshCanStop();
}

void ContentView::stopCleaning() {
    if (!state->canStopCleaning) return;
    for (const auto& token : state->cleaningTokens)
        token->request();
    setProgressText(translate("ContentView", "正在停止清理..."));
    refreshCanStop();
}

void ContentView::cleanCategory(const QString& categoryKey) {
    if (auto category = categoryFromKey(categoryKey.toStdString())) cleanCategory(*category);
}

void ContentView::cleanCategory(CacheCategory category) {
    std::optional<FCPBundle> bundle = selectedBundle();
    if (!bundle) return;
    auto token = beginCleaning(categoryText(category, CategoryText::running));

    Dispatch* dispatch = &state->dispatch;
    dispatch->runInBackground([dispatch, view = state->self, library = *bundle, category, token] {
        const CleaningTally tally = cleanListedLibrary(*dispatch, library, categoryBit(category), *token);
        dispatch->postToMain([view, category, tally, token] {
            if (view) view->finishCategoryClean(category, tally, token);
        });
    });
}

void ContentView::finishCategoryClean(CacheCategory category, const CleaningTally& tally,
                                      const std::shared_ptr<CancellationToken>& token) {
    finishCleaning(closingText(token && token->requested(), tally,
                               categoryFailureText(category, tally.failed),
                               categoryText(category, tally.anythingRemoved ? CategoryText::removed
                                                                            : CategoryText::nothing)),
                   token, tally.failed > 0);
}

void ContentView::cleanSelectedLibrary() {
    std::optional<FCPBundle> bundle = selectedBundle();
    if (!bundle) return;
    auto token = beginCleaning(translate("ContentView", "正在清理资源库..."));

    Dispatch* dispatch = &state->dispatch;
    dispatch->runInBackground([dispatch, view = state->self, library = *bundle, token] {
        const CleaningTally tally = cleanListedLibrary(*dispatch, library, kEveryCategory, *token);
        const QString text =
            closingText(token->requested(), tally,
                        translate("ContentView", "选定的资源库中有 %n 项无法删除。第一个无法删除的是 %1：%2",
                                  nullptr, tally.failed),
                        translate("ContentView", "已清理选定的资源库。"));
        dispatch->postToMain([view, text, token, failed = tally.failed > 0] {
            if (view) view->finishCleaning(text, token, failed);
        });
    });
}

void ContentView::cleanAllLibraries() {
    if (state->selectedPath.isNull()) return;
    auto token = beginCleaning(translate("ContentView", "正在清理硬盘上的所有资源库..."));
    Dispatch* dispatch = &state->dispatch;
    dispatch->runInBackground([dispatch, view = state->self, location = selectedPath().toStdString(), token] {
        runLocationCleaning(*dispatch, view, location, token);
    });
}

QString ContentView::cleanAllConfirmationText() const {
    const BundleListModel::Totals& totals = state->bundles->totals();
    // (The count is cast beforehand: lupdate does not read a call whose arguments hold a cast.)
    const auto libraries = static_cast<std::uint64_t>(totals.libraries);
    return translate(
               "ContentView",
               "将从 %1 中的 %n 个资源库删除：时间线渲染缓存 %2、代理媒体 %3、优化媒体 %4、媒体分析缓存 %5。"
               "原始媒体和项目保留不动。",
               nullptr, libraries)
        .arg(state->selectedPath, groupedSize(totals.categorySizes[0]),
             groupedSize(totals.categorySizes[1]), groupedSize(totals.categorySizes[2]),
             groupedSize(totals.categorySizes[3]));
}

void ContentView::runLocationCleaning(Dispatch& dispatch, const QPointer<ContentView>& view,
                                      const std::string& location,
                                      const std::shared_ptr<CancellationToken>& token) {
    // A fresh scan: libraries created since the list was shown are cleaned too. A stop during
    // it leaves an incomplete list, of which nothing is cleaned. A folder the scan cannot
    // read may hold libraries that go uncleaned: the run counts each as a failure.
    ScanOptions scan;
    scan.cancel = token.get();
    std::vector<UnreadableFolder> unreadable;
    std::mutex unreadableMutex;
    scan.onUnreadable = [&](const std::string& path, int error) {
        std::lock_guard lock(unreadableMutex);
        unreadable.push_back({path, error});
    };
    std::vector<FCPBundle> libraries = scanBundles(location, scan);
    if (token->requested()) libraries.clear();
    const bool noLibraries = libraries.empty();
    PlanRequest request;
    request.stepPerCategory = true;
    const CleaningPlan plan = planCleaning(std::move(libraries), request, std::move(unreadable));
    // Every library is reached beneath this descriptor, and checked against what the scan saw.
    const UniqueFd locationFd = openLocation(location);

    // Both writes are posted before the first step starts, so every progress step of this
    // run divides by this run's own total.
    // Only the run the bar shows moves it.
    const auto total = static_cast<qint64>(plan.steps.size());
    dispatch.postToMain([view, total, token] {
        if (view && view->showsProgressOf(token)) view->setTotalTasks(total);
    });
    dispatch.postToMain([view, token] {
        if (view && view->showsProgressOf(token)) view->setCompletedTasks(0);
    });
    CleaningEvents events = loggedEvents();
    // Posted as each step ends, hence before the closing post below.
    events.onStepDone = [&dispatch, view, token](std::size_t, std::size_t) {
        dispatch.postToMain([view, token] {
            if (view && view->showsProgressOf(token)) view->recordTaskDone();
        });
    };
    const CleaningTally tally = runCleaning(locationFd.get(), plan, runOptions(dispatch, *token), events);
    // A location that gave no library because it is not there says so instead of "done".
    const LocationProblem problem =
        noLibraries && !token->requested() ? probeLocation(location) : LocationProblem::none;
    dispatch.postToMain([view, tally, token, problem, location] {
        if (!view) return;
        const QString unusable = locationProblemText(problem, fromBytes(location));
        view->finishCleaning(
            !unusable.isNull()
                ? unusable
                : closingText(
                      token->requested(), tally,
                      translate("ContentView", "选定目录中有 %n 项无法删除。第一个无法删除的是 %1：%2",
                                nullptr, tally.failed),
                      translate("ContentView",
                                "已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。")),
            token, !unusable.isNull() || tally.failed > 0);
    });
}

void ContentView::recordTaskDone() {
    setCompletedTasks(state->completedTasks + 1);
    updateProgress();
}

void ContentView::updateProgress() {
    // Counts outside a run's own (more steps than its total, or a total of 0) keep the bar in
    // [0, 1] and the text between 0% and 100%: above 1 and +infinity read as done, NaN as 0.
    double value = static_cast<double>(state->completedTasks) / static_cast<double>(state->totalTasks);
    value = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    setProgressValue(value);
    // Once a stop is asked for, the text says so until the run ends.
    if (!state->cleaningTokens.empty() && !state->canStopCleaning) return;
    const auto percent = static_cast<int>(value * 100.0); // truncates toward zero
    setProgressText(translate("ContentView", "正在清理... %1%").arg(percent));
}

void ContentView::finishCleaning(const QString& text, const std::shared_ptr<CancellationToken>& token,
                                 bool isError) {
    endCleaningRun(token);
    retrieveBundles();
    setAlert(text, isError);
    setShowAlert(true);
}

} // namespace velmora
