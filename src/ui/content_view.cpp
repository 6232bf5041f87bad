#include "ui/content_view.h"

#include "discovery/locations.h"
#include "i18n/grouped_number.h"
#include "i18n/translation.h"
#include "platform/text.h"
#include "ui/content_view_state.h"
#include "ui/location_problem_text.h"

#include <QJSEngine>
#include <QThread>
#include <atomic>

namespace velmora {

using view_detail::assign;
using view_detail::fromBytes;

namespace {

constexpr int kRetrievalProgressIntervalMs = 200;

// The view the next QML engine binds to.
QPointer<ContentView> viewForQml;

QStringList toStringList(const std::vector<std::string>& items) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& item : items)
        list.push_back(fromBytes(item));
    return list;
}

} // namespace

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

ContentView* ContentView::create(QQmlEngine* /*engine*/, QJSEngine* /*scriptEngine*/) {
    Q_ASSERT_X(viewForQml, "ContentView::create", "useInQml was not called before the QML was loaded");
    // An engine deletes the singletons it owns; this one belongs to its maker.
    QJSEngine::setObjectOwnership(viewForQml.data(), QJSEngine::CppOwnership);
    return viewForQml.data();
}

void ContentView::useInQml(ContentView& view) {
    viewForQml = &view;
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
    if (!assign(state->selectedBundleID, value)) return;
    emit selectedBundleIDChanged();
    emit cleanTargetsChanged();
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
bool ContentView::alertIsError() const {
    return state->alertIsError;
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
        .arg(label, groupedSize(totals.size), groupedSize(totals.reclaimable()));
}

QString ContentView::emptyListText() const {
    // Before the first choice the list says where to start.
    if (state->listedLocation.isNull())
        return state->selectedPath.isNull() ? translate("ContentView", "在左侧选择一个硬盘或目录。") : QString();
    if (!state->bundles->bundles().empty()) return {};
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

bool ContentView::canCleanSelected() const {
    return selectedBundle().has_value();
}

bool ContentView::canCleanLocation() const {
    return !state->bundles->bundles().empty() && isSelectedPath(state->listedLocation);
}

QString ContentView::cleanHint() const {
    // Without libraries the list itself says why; with some, the user has to pick one.
    if (canCleanSelected() || state->bundles->bundles().empty()) return {};
    return translate("ContentView", "选择一个资源库");
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
    emit cleanTargetsChanged();
    emit listedLocationChanged(); // the empty list's text
}

void ContentView::setIsCleaning(bool value) {
    if (assign(state->isCleaning, value)) emit isCleaningChanged();
}

void ContentView::setIsRetrieving(bool value) {
    if (assign(state->isRetrieving, value)) emit isRetrievingChanged();
}

void ContentView::setAlert(const QString& text, bool isError) {
    const bool textChanged = assign(state->alertMessage, text);
    if (assign(state->alertIsError, isError) || textChanged) emit alertMessageChanged();
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
        emit cleanTargetsChanged();
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
    setAlert(text, true);
    setShowAlert(true);
}

} // namespace velmora
