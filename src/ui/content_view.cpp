#include "ui/content_view.h"

#include "cleaning/delete_matching_items.h"
#include "discovery/locations.h"
#include "discovery/walk_concurrency.h"
#include "i18n/translation.h"
#include "platform/text.h"
#include "platform/unique_fd.h"
#include "ui/grouped_number.h"

#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
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

// The alert of a run whose stop was requested, with the matched entries it removed whole.
QString stoppedText(std::uint64_t removed) {
    return translate("ContentView", "清理已停止。停止前已删除 %1 项。").arg(groupedNumber(removed));
}

// Matched entries removed whole, the four categories of one library.
struct LibraryCleaning {
    std::uint64_t removed = 0;
    bool anythingRemoved = false;
};

// Cleans categories of a listed library, reached beneath the location it was found in (open
// at `locationFd`, or reopened from the record when it is -1) and checked against the scan.
LibraryCleaning cleanCategories(const FCPBundle& library, int locationFd,
                                const std::vector<CacheCategory>& categories, const CancellationToken& token) {
    DeletionOptions options;
    options.cancel = &token;
    LibraryCleaning result;
    // One category after the other; an empty or failed category does not stop the next.
    for (CacheCategory category : categories) {
        if (token.requested()) break;
        const std::vector<std::string_view> names{categoryInfo(category).deletionName};
        const DeletionReport report = locationFd >= 0
                                          ? deleteMatchingItemsBeneath(locationFd, library, names, options).front()
                                          : deleteMatchingItemsOf(library, names, options).front();
        result.removed += report.removed;
        result.anythingRemoved = result.anythingRemoved || report.anythingRemoved();
    }
    return result;
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
    if (assign(state->drives, toStringList(loadDrives()))) emit drivesChanged();
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
    dispatch->runInBackground(
        [dispatch, view = state->self, path = selectedPath().toStdString(), run, scan] {
            ScanOptions options;
            options.progress = scan.progress.get();
            options.cancel = scan.cancel.get();
            auto found = std::make_shared<std::vector<FCPBundle>>(scanBundles(path, options));
            dispatch->postToMain([view, run, found] {
                if (view) view->publishRetrieval(run, std::move(*found));
            });
        });
}

void ContentView::stopRetrieval() {
    for (auto& [run, scan] : state->runningScans)
        scan.cancel->request();
    refreshCanStop();
}

void ContentView::publishRetrieval(std::uint64_t run, std::vector<FCPBundle> bundles) {
    auto scan = state->runningScans.find(run);
    const bool stopped = scan == state->runningScans.end() || scan->second.cancel->requested();
    if (scan != state->runningScans.end()) state->runningScans.erase(scan);
    // A run that a later run has superseded publishes nothing, and a stopped one (its list is
    // incomplete) neither: the list always shows one complete scan.
    if (run == state->newestRun && !stopped) setBundles(std::move(bundles));
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
    if (const FCPBundle* bundle = state->bundles->find(bundleId))
        state->desktop.revealInFileManager(fromBytes(bundle->path));
}

void ContentView::openLibrary(const QString& bundleId) {
    if (const FCPBundle* bundle = state->bundles->find(bundleId))
        state->desktop.openWithDefaultApplication(fromBytes(bundle->path));
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
        const LibraryCleaning result = cleanCategories(library, -1, {category}, *token);
        const QString stopped = token->requested() ? stoppedText(result.removed) : QString();
        dispatch->postToMain([view, category, result, token, stopped] {
            if (view) view->finishCategoryClean(category, result.anythingRemoved, token, stopped);
        });
    });
}

void ContentView::finishCategoryClean(CacheCategory category, bool removed,
                                      const std::shared_ptr<CancellationToken>& token,
                                      const QString& stoppedText) {
    const auto& info = categoryInfo(category);
    endCleaningRun(token);
    retrieveBundles();
    setAlertMessage(!stoppedText.isEmpty() ? stoppedText
                                           : categoryText(removed ? info.removedText : info.nothingText));
    setShowAlert(true);
}

void ContentView::cleanSelectedLibrary() {
    std::optional<FCPBundle> bundle = selectedBundle();
    if (!bundle) return;
    auto token = beginCleaning(translate("ContentView", "正在清理资源库..."));

    Dispatch* dispatch = &state->dispatch;
    dispatch->runInBackground([dispatch, view = state->self, library = *bundle, token] {
        const LibraryCleaning result =
            cleanCategories(library, -1, {allCacheCategories.begin(), allCacheCategories.end()}, *token);
        const QString text = token->requested() ? stoppedText(result.removed)
                                                : translate("ContentView", "已清理选定的资源库。");
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

void ContentView::cleanLocation(const std::string& location) {
    runLocationCleaning(state->dispatch, state->self, location, std::make_shared<CancellationToken>());
}

void ContentView::runLocationCleaning(Dispatch& dispatch, const QPointer<ContentView>& view,
                                      const std::string& location,
                                      const std::shared_ptr<CancellationToken>& token) {
    // A fresh scan: libraries created since the list was shown are cleaned too. A stop during
    // it leaves an incomplete list, of which nothing is cleaned.
    ScanOptions scan;
    scan.cancel = token.get();
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

    auto removed = std::make_shared<std::atomic<std::uint64_t>>(0);
    // On a share each removal waits on its round trip: many libraries go at once there.
    auto group = dispatch.makeConcurrentGroup("cleaningQueue", defaultCleaningJobs(location));
    for (const FCPBundle& library : libraries) {
        for (CacheCategory category : allCacheCategories) {
            group->async([&dispatch, view, locationFd, library, category, token, removed] {
                // After a stop no task starts: the queued ones end at once, uncounted.
                if (token->requested()) return;
                *removed += cleanCategories(library, locationFd->get(), {category}, *token).removed;
                // Posted before the task ends, hence before the closing post below.
                dispatch.postToMain([view] {
                    if (view) view->recordTaskDone();
                });
            });
        }
    }
    group->wait();
    const QString text =
        token->requested()
            ? stoppedText(removed->load())
            : translate("ContentView", "已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。");
    dispatch.postToMain([view, text, token] {
        if (view) view->finishCleaning(text, token);
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
