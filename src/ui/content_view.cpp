#include "ui/content_view.h"

#include "cleaning/cleaning_tally.h"
#include "cleaning/delete_matching_items.h"
#include "discovery/locations.h"
#include "discovery/walk_concurrency.h"
#include "i18n/grouped_number.h"
#include "i18n/translation.h"
#include "library/format_size.h"
#include "platform/location_probe.h"
#include "platform/text.h"
#include "platform/unique_fd.h"

#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <fcntl.h>
#include <map>

namespace velmora {

namespace {

// Stores `value` and says whether the field changed, so a change signal fires only then.
template <typename T> bool assign(T& field, T value) {
    if (field == value) return false;
    field = std::move(value);
    return true;
}

constexpr int kRetrievalProgressIntervalMs = 200;

QString fromBytes(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList toStringList(const std::vector<std::string>& items) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& item : items)
        list.push_back(fromBytes(item));
    return list;
}

// A category's own texts live with the category, in the core; they are looked up here.
QString categoryText(std::string_view sourceText) {
    return translate(cacheCategoryTextContext, sourceText);
}

QString categoryText(std::string_view sourceText, std::uint64_t count) {
    return translate(cacheCategoryTextContext, sourceText, nullptr, count);
}

// `counted` names how many entries had to stay (looked up with that count); the first of them
// and its error complete it.
QString failureText(const QString& counted, const CleaningTally& tally) {
    return counted.arg(fromBytes(tally.firstFailedPath), fromBytes(tally.firstFailureDescription));
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

// The four categories of one listed library, or some of them, one after the other; an empty
// or failed category does not stop the next, a stop request does. The library is reached
// beneath the location it was found in (open at `locationFd`, or reopened from the record
// when it is -1) and checked against the scan.
CleaningTally cleanCategories(const FCPBundle& library, int locationFd,
                              const std::vector<CacheCategory>& categories, const CancellationToken& token) {
    DeletionOptions options;
    options.cancel = &token;
    CleaningTally tally;
    for (CacheCategory category : categories) {
        if (token.requested()) break;
        const std::vector<std::string_view> names{categoryInfo(category).deletionName};
        tally.add(locationFd >= 0 ? deleteMatchingItemsBeneath(locationFd, library, names, options).front()
                                  : deleteMatchingItemsOf(library, names, options).front(),
                  library.path);
    }
    return tally;
}

// Why a location gives no list; a null string when it can be read.
QString locationProblemText(LocationProblem problem, const QString& location) {
    switch (problem) {
    case LocationProblem::none:
        return {};
    case LocationProblem::missing:
        return translate("ContentView", "所选目录不存在：%1").arg(location);
    case LocationProblem::notDirectory:
        return translate("ContentView", "所选位置不是目录：%1").arg(location);
    case LocationProblem::unreadable:
        return translate("ContentView", "无法读取所选目录：%1").arg(location);
    }
    return {};
}

} // namespace

struct ContentView::State {
    State(Dispatch& d, DirectoryChooser& c, DesktopServices& s) : dispatch(d), chooser(c), desktop(s) {}

    Dispatch& dispatch;
    DirectoryChooser& chooser;
    DesktopServices& desktop;
    // Made on the main thread; posted work checks it before touching the view.
    QPointer<ContentView> self;

    QStringList drives;
    QStringList userDirs;
    QString selectedPath; // null: none
    BundleListModel* bundles = nullptr;
    BundleSortFilterModel* shownBundles = nullptr; // the order and filter the list shows
    std::optional<Uuid> selectedBundleID;
    bool isCleaning = false;
    bool isRetrieving = false;
    bool showAlert = false;
    QString alertMessage;
    QString progressText;
    double progressValue = 0.0;
    qint64 totalTasks = 0;
    qint64 completedTasks = 0;

    // The location whose libraries the list shows (null before the first list), and why
    // it gave none when it could not be read.
    QString listedLocation;
    LocationProblem listedProblem = LocationProblem::none;

    // Cleaning runs under way; isCleaning is true while this is above zero.
    int activeCleanings = 0;
    // The stop tokens of the cleaning runs under way.
    std::vector<std::shared_ptr<CancellationToken>> cleaningTokens;
    bool canStopCleaning = false;

    // Retrieval runs under way, by number; only the newest run may publish, and a stopped
    // one never does.
    struct Scan {
        std::shared_ptr<ScanProgress> progress = std::make_shared<ScanProgress>();
        std::shared_ptr<CancellationToken> cancel = std::make_shared<CancellationToken>();
    };
    std::uint64_t newestRun = 0;
    std::map<std::uint64_t, Scan> runningScans;
    bool canStopRetrieval = false;
    QString retrievalProgressText;
    QTimer* retrievalTimer = nullptr;
};

ContentView::ContentView(Dispatch& dispatch, DirectoryChooser& chooser, DesktopServices& desktop,
                         QObject* parent)
    : QObject(parent), state(std::make_unique<State>(dispatch, chooser, desktop)) {
    state->self = this;
    state->bundles = new BundleListModel(this);
    state->shownBundles = new BundleSortFilterModel(state->bundles, this);
    state->retrievalTimer = new QTimer(this);
    state->retrievalTimer->setInterval(kRetrievalProgressIntervalMs);
    connect(state->retrievalTimer, &QTimer::timeout, this, &ContentView::refreshRetrievalProgressText);
}

ContentView::~ContentView() {
    // Work still running has nobody to report to: end its walks and removals now, so the
    // program does not wait for them on its way out.
    for (auto& [run, scan] : state->runningScans)
        scan.cancel->request();
    for (const auto& token : state->cleaningTokens)
        token->request();
}

// ---- fields -------------------------------------------------------------------------------

QStringList ContentView::drives() const {
    return state->drives;
}
QStringList ContentView::userDirs() const {
    return state->userDirs;
}
QString ContentView::selectedPath() const {
    return state->selectedPath;
}
const std::vector<FCPBundle>& ContentView::fcpBundles() const {
    return state->bundles->bundles();
}
BundleListModel* ContentView::fcpBundlesModel() {
    return state->bundles;
}
BundleSortFilterModel* ContentView::shownBundles() {
    return state->shownBundles;
}

QString ContentView::selectedBundleID() const {
    return state->selectedBundleID ? fromBytes(state->selectedBundleID->toString()) : QString();
}

void ContentView::setSelectedBundleID(const QString& id) {
    // Text that is not an id clears the selection, as an empty string does.
    std::optional<Uuid> value = id.isEmpty() ? std::nullopt : Uuid::parse(id.toStdString());
    if (assign(state->selectedBundleID, value)) emit selectedBundleIDChanged();
}

bool ContentView::isCleaning() const {
    return state->isCleaning;
}
bool ContentView::isRetrieving() const {
    return state->isRetrieving;
}
bool ContentView::showAlert() const {
    return state->showAlert;
}

void ContentView::setShowAlert(bool show) {
    if (assign(state->showAlert, show)) emit showAlertChanged();
}

QString ContentView::alertMessage() const {
    return state->alertMessage;
}
QString ContentView::progressText() const {
    return state->progressText;
}
double ContentView::progressValue() const {
    return state->progressValue;
}
qint64 ContentView::totalTasks() const {
    return state->totalTasks;
}
qint64 ContentView::completedTasks() const {
    return state->completedTasks;
}
QString ContentView::retrievalProgressText() const {
    return state->retrievalProgressText;
}
QString ContentView::listedLocation() const {
    return state->listedLocation;
}

QString ContentView::locationSummary() const {
    if (state->listedLocation.isNull()) return {};
    const BundleListModel::Totals& totals = state->bundles->totals();
    // A drive shows under its drive label, as in the location list; any other location
    // under its user-folder label, else its path.
    const QString label = state->drives.contains(state->listedLocation)
                              ? driveLabel(state->listedLocation)
                              : locationLabel(state->listedLocation);
    // A location that cannot be searched has no totals to give; the list says why.
    if (state->listedProblem != LocationProblem::none) return label;
    const auto libraries = static_cast<std::uint64_t>(totals.libraries);
    return translate("ContentView", "%1 · %n 个资源库 · 共 %2 · 可清理 %3", nullptr, libraries)
        .arg(label, fromBytes(formatSize(totals.size)), fromBytes(formatSize(totals.reclaimable())));
}

QString ContentView::emptyListText() const {
    if (state->listedLocation.isNull() || !state->bundles->bundles().empty()) return {};
    const QString problem = locationProblemText(state->listedProblem, state->listedLocation);
    return problem.isNull()
               ? translate("ContentView", "%1 中没有 Final Cut Pro 资源库。").arg(state->listedLocation)
               : problem;
}

bool ContentView::canStopRetrieval() const {
    return state->canStopRetrieval;
}
bool ContentView::canStopCleaning() const {
    return state->canStopCleaning;
}

void ContentView::refreshCanStop() {
    bool retrieval = false;
    for (const auto& [run, scan] : state->runningScans)
        retrieval = retrieval || !scan.cancel->requested();
    if (assign(state->canStopRetrieval, retrieval)) emit canStopRetrievalChanged();
    bool cleaning = false;
    for (const auto& token : state->cleaningTokens)
        cleaning = cleaning || !token->requested();
    if (assign(state->canStopCleaning, cleaning)) emit canStopCleaningChanged();
}

void ContentView::setSelectedPath(const QString& path) {
    if (state->selectedPath == path && !state->selectedPath.isNull()) return;
    state->selectedPath = path;
    emit selectedPathChanged();
}

void ContentView::setIsCleaning(bool value) {
    if (assign(state->isCleaning, value)) emit isCleaningChanged();
}

void ContentView::setIsRetrieving(bool value) {
    if (assign(state->isRetrieving, value)) emit isRetrievingChanged();
}

void ContentView::setAlertMessage(const QString& text) {
    if (assign(state->alertMessage, text)) emit alertMessageChanged();
}

void ContentView::setProgressText(const QString& text) {
    if (assign(state->progressText, text)) emit progressTextChanged();
}

void ContentView::setProgressValue(double value) {
    if (assign(state->progressValue, value)) emit progressValueChanged();
}

void ContentView::setTotalTasks(qint64 value) {
    if (assign(state->totalTasks, value)) emit totalTasksChanged();
}

void ContentView::setCompletedTasks(qint64 value) {
    if (assign(state->completedTasks, value)) emit completedTasksChanged();
}

void ContentView::setBundles(std::vector<FCPBundle> bundles) {
    if (bundles.empty() && state->bundles->bundles().empty()) return;
    state->bundles->setBundles(std::move(bundles));
    emit fcpBundlesChanged();
}

// ---- locations ----------------------------------------------------------------------------

void ContentView::loadLocations() {
    if (assign(state->drives, toStringList(loadDrives()))) {
        emit drivesChanged();
        emit listedLocationChanged(); // the summary labels a drive by its drive label
    }
    if (assign(state->userDirs, toStringList(loadUserDirs()))) emit userDirsChanged();
}

void ContentView::selectLocation(const QString& path) {
    // No row has an empty path; an empty one is not a location and starts nothing.
    if (path.isEmpty()) return;
    setSelectedPath(path);
    retrieveBundles();
}

void ContentView::chooseOtherDirectory() {
    std::optional<QString> chosen = state->chooser.chooseDirectory();
    if (!chosen || chosen->isEmpty()) return;
    setSelectedPath(*chosen);
    retrieveBundles();
}

QString ContentView::locationLabel(const QString& path) const {
    const std::string bytes = path.toStdString();
    const std::string label = velmora::locationLabel(bytes);
    // A user directory's label is a fixed text to look up; any other path shows as it is.
    return label == bytes ? path : translate(locationTextContext, label);
}

QString ContentView::driveLabel(const QString& path) const {
    return fromBytes(velmora::driveLabel(path.toStdString()));
}

bool ContentView::isSelectedPath(const QString& path) const {
    if (state->selectedPath.isNull()) return false;
    return canonicallyEqual(state->selectedPath.toStdString(), path.toStdString());
}

// ---- retrieval ----------------------------------------------------------------------------

void ContentView::retrieveBundles() {
    if (state->selectedPath.isNull()) return;
    const std::uint64_t run = ++state->newestRun;
    const State::Scan scan;
    state->runningScans.emplace(run, scan);
    refreshCanStop(); // first, so the stop button is ready when the indicator shows
    setIsRetrieving(true);
    refreshRetrievalProgressText();
    if (!state->retrievalTimer->isActive()) state->retrievalTimer->start();

    // The run carries its own copy of the path: choosing another location later does not
    // change what this run scans.
    Dispatch* dispatch = &state->dispatch;
    dispatch->runInBackground([dispatch, view = state->self, path = selectedPath().toStdString(), run, scan] {
        ScanOptions options;
        options.progress = scan.progress.get();
        options.cancel = scan.cancel.get();
        auto found = std::make_shared<std::vector<FCPBundle>>(scanBundles(path, options));
        // An empty list says why: nothing there, or a location that cannot be read.
        const LocationProblem problem =
            found->empty() && !scan.cancel->requested() ? probeLocation(path) : LocationProblem::none;
        dispatch->postToMain([view, run, found, path, problem] {
            if (view) view->publishRetrieval(run, std::move(*found), fromBytes(path), problem);
        });
    });
}

void ContentView::stopRetrieval() {
    for (auto& [run, scan] : state->runningScans)
        scan.cancel->request();
    refreshCanStop();
}

void ContentView::publishRetrieval(std::uint64_t run, std::vector<FCPBundle> bundles, const QString& location,
                                   LocationProblem problem) {
    auto scan = state->runningScans.find(run);
    const bool stopped = scan == state->runningScans.end() || scan->second.cancel->requested();
    if (scan != state->runningScans.end()) state->runningScans.erase(scan);
    // A run that a later run has superseded publishes nothing, and a stopped one (its list is
    // incomplete) neither: the list always shows one complete scan.
    if (run == state->newestRun && !stopped) {
        setBundles(std::move(bundles));
        state->listedLocation = location;
        state->listedProblem = problem;
        emit listedLocationChanged();
    }
    setIsRetrieving(!state->runningScans.empty());
    if (state->runningScans.empty()) state->retrievalTimer->stop();
    refreshRetrievalProgressText();
    refreshCanStop();
}

void ContentView::refreshRetrievalProgressText() {
    QString text;
    if (!state->runningScans.empty()) {
        // The newest scan still running is the one whose counts matter to the user.
        const ScanProgress& progress = *state->runningScans.rbegin()->second.progress;
        text = translate("ContentView", "已扫描 %1 项 · 找到 %2 个资源库")
                   .arg(groupedNumber(progress.entriesRead.load(std::memory_order_relaxed)),
                        groupedNumber(progress.librariesFound.load(std::memory_order_relaxed)));
    }
    if (assign(state->retrievalProgressText, text)) emit retrievalProgressTextChanged();
}

// ---- rows ---------------------------------------------------------------------------------

std::optional<FCPBundle> ContentView::selectedBundle() const {
    if (!state->selectedBundleID) return std::nullopt;
    for (const auto& bundle : state->bundles->bundles())
        if (bundle.id == *state->selectedBundleID) return bundle;
    return std::nullopt;
}

void ContentView::revealInFinder(const QString& bundleId) {
    const FCPBundle* bundle = state->bundles->find(bundleId);
    if (!bundle) return;
    const QString path = fromBytes(bundle->path);
    state->desktop.revealInFileManager(path, [view = state->self, path] {
        if (view) view->showDesktopFailure(translate("ContentView", "无法在文件管理器中显示 %1。").arg(path));
    });
}

void ContentView::openLibrary(const QString& bundleId) {
    const FCPBundle* bundle = state->bundles->find(bundleId);
    if (!bundle) return;
    const QString path = fromBytes(bundle->path);
    state->desktop.openWithDefaultApplication(path, [view = state->self, path] {
        if (view) view->showDesktopFailure(translate("ContentView", "无法打开 %1。").arg(path));
    });
}

void ContentView::showDesktopFailure(const QString& text) {
    setAlertMessage(text);
    setShowAlert(true);
}

// ---- cleaning -----------------------------------------------------------------------------

std::shared_ptr<CancellationToken> ContentView::beginCleaning(const QString& startText) {
    ++state->activeCleanings;
    auto token = std::make_shared<CancellationToken>();
    state->cleaningTokens.push_back(token);
    setIsCleaning(true);
    setProgressText(startText);
    refreshCanStop();
    return token;
}

void ContentView::endCleaningRun(const std::shared_ptr<CancellationToken>& token) {
    if (state->activeCleanings > 0) --state->activeCleanings;
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
    auto token = beginCleaning(categoryText(categoryInfo(category).runningText));

    Dispatch* dispatch = &state->dispatch;
    dispatch->runInBackground([dispatch, view = state->self, library = *bundle, category, token] {
        const CleaningTally tally = cleanCategories(library, -1, {category}, *token);
        dispatch->postToMain([view, category, tally, token] {
            if (view) view->finishCategoryClean(category, tally, token);
        });
    });
}

void ContentView::finishCategoryClean(CacheCategory category, const CleaningTally& tally,
                                      const std::shared_ptr<CancellationToken>& token) {
    const auto& info = categoryInfo(category);
    finishCleaning(closingText(token && token->requested(), tally,
                               categoryText(info.failedText, tally.failed),
                               categoryText(tally.anythingRemoved ? info.removedText : info.nothingText)),
                   token);
}

void ContentView::cleanSelectedLibrary() {
    std::optional<FCPBundle> bundle = selectedBundle();
    if (!bundle) return;
    auto token = beginCleaning(translate("ContentView", "正在清理资源库..."));

    Dispatch* dispatch = &state->dispatch;
    dispatch->runInBackground([dispatch, view = state->self, library = *bundle, token] {
        const CleaningTally tally =
            cleanCategories(library, -1, {allCacheCategories.begin(), allCacheCategories.end()}, *token);
        const QString text =
            closingText(token->requested(), tally,
                        translate("ContentView", "选定的资源库中有 %n 项无法删除。第一个无法删除的是 %1：%2",
                                  nullptr, tally.failed),
                        translate("ContentView", "已清理选定的资源库。"));
        dispatch->postToMain([view, text, token] {
            if (view) view->finishCleaning(text, token);
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
        .arg(state->selectedPath, fromBytes(formatSize(totals.cacheSize)),
             fromBytes(formatSize(totals.proxySize)), fromBytes(formatSize(totals.optimizedSize)),
             fromBytes(formatSize(totals.analysisSize)));
}

void ContentView::cleanLocation(const std::string& location) {
    runLocationCleaning(state->dispatch, state->self, location, std::make_shared<CancellationToken>());
}

void ContentView::runLocationCleaning(Dispatch& dispatch, const QPointer<ContentView>& view,
                                      const std::string& location,
                                      const std::shared_ptr<CancellationToken>& token) {
    // A fresh scan: libraries created since the list was shown are cleaned too. A stop during
    // it leaves an incomplete list, of which nothing is cleaned.
    // A folder the scan cannot read may hold libraries that go uncleaned: each counts as a
    // failure of the run (the list on screen stays silent about them).
    ScanOptions scan;
    scan.cancel = token.get();
    auto unreadable = std::make_shared<CleaningTally>();
    std::mutex unreadableMutex;
    scan.onUnreadable = [&](const std::string& path, int error) {
        DeletionReport report;
        report.failed = 1;
        report.firstFailedPath = path;
        report.firstFailureDescription = std::strerror(error);
        std::lock_guard lock(unreadableMutex);
        unreadable->add(report, path);
    };
    std::vector<FCPBundle> libraries = scanBundles(location, scan);
    if (token->requested()) libraries.clear();
    // Every library is reached beneath this descriptor, and checked against what the scan saw.
    auto locationFd =
        std::make_shared<UniqueFd>(::open(location.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const qint64 total = 4 * static_cast<qint64>(libraries.size());

    // Both writes are posted before the first task exists, so every progress step of this
    // run divides by this run's own total.
    dispatch.postToMain([view, total] {
        if (view) view->setTotalTasks(total);
    });
    dispatch.postToMain([view] {
        if (view) view->setCompletedTasks(0);
    });

    // Summed on the main thread, one task's tally at a time, so it needs no lock; every
    // task's post comes before the closing post, which reads it.
    auto tally = std::make_shared<CleaningTally>();
    // On a share each removal waits on its round trip: many libraries go at once there.
    auto group = dispatch.makeConcurrentGroup("cleaningQueue", defaultCleaningJobs(location));
    for (const FCPBundle& library : libraries) {
        for (CacheCategory category : allCacheCategories) {
            group->async([&dispatch, view, locationFd, library, category, token, tally] {
                // After a stop no task starts: the queued ones end at once, uncounted.
                if (token->requested()) return;
                auto done = std::make_shared<CleaningTally>(
                    cleanCategories(library, locationFd->get(), {category}, *token));
                // Posted before the task ends, hence before the closing post below.
                dispatch.postToMain([view, tally, done] {
                    tally->add(*done);
                    if (view) view->recordTaskDone();
                });
            });
        }
    }
    group->wait();
    // A location that gave no library because it is not there says so instead of "done".
    const LocationProblem problem =
        libraries.empty() && !token->requested() ? probeLocation(location) : LocationProblem::none;
    dispatch.postToMain([view, tally, unreadable, token, problem, location] {
        tally->add(*unreadable);
        if (!view) return;
        const QString unusable = locationProblemText(problem, fromBytes(location));
        view->finishCleaning(
            !unusable.isNull()
                ? unusable
                : closingText(
                      token->requested(), *tally,
                      translate("ContentView", "选定目录中有 %n 项无法删除。第一个无法删除的是 %1：%2",
                                nullptr, tally->failed),
                      translate("ContentView",
                                "已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。")),
            token);
    });
}

void ContentView::recordTaskDone() {
    setCompletedTasks(state->completedTasks + 1);
    updateProgress();
}

void ContentView::updateProgress() {
    // Overlapping whole-location runs share the counters, so the quotient can exceed 1 or,
    // after a run that found nothing reset the total to 0, not be finite. The bar stays in
    // [0, 1] and the text between 0% and 100%: above 1 and +infinity read as done, NaN as 0.
    double value = static_cast<double>(state->completedTasks) / static_cast<double>(state->totalTasks);
    value = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0);
    setProgressValue(value);
    // Once a stop is asked for, the text says so until the run ends.
    if (!state->cleaningTokens.empty() && !state->canStopCleaning) return;
    const auto percent = static_cast<int>(value * 100.0); // truncates toward zero
    setProgressText(translate("ContentView", "正在清理... %1%").arg(percent));
}

void ContentView::finishCleaning(const QString& text, const std::shared_ptr<CancellationToken>& token) {
    endCleaningRun(token);
    retrieveBundles();
    setAlertMessage(text);
    setShowAlert(true);
}

} // namespace velmora
