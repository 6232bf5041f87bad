#pragma once

#include "cleaning/cleaning_tally.h"
#include "discovery/scanner.h"
#include "library/cache_category.h"
#include "library/fcp_bundle.h"
#include "platform/location_probe.h"
#include "platform/uuid.h"
#include "ui/bundle_list_model.h"
#include "ui/bundle_sort_filter_model.h"
#include "ui/desktop_services.h"
#include "ui/directory_chooser.h"
#include "ui/dispatch.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QtQml/qqmlregistration.h>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QQmlEngine;
class QJSEngine;

namespace velmora {

// The state of one window: thirteen fields, written only on the main thread, and the
// operations that change them. Background work reaches the fields only by posting to main.
// QML reaches the window's one view as the singleton `ContentView`.
class ContentView : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QStringList drives READ drives NOTIFY drivesChanged)
    Q_PROPERTY(QStringList userDirs READ userDirs NOTIFY userDirsChanged)
    // A null string when no location has been chosen.
    Q_PROPERTY(QString selectedPath READ selectedPath NOTIFY selectedPathChanged)
    Q_PROPERTY(velmora::BundleListModel* fcpBundles READ fcpBundlesModel CONSTANT)
    // fcpBundles in the order and with the filter the user chose; the list shows this.
    Q_PROPERTY(velmora::BundleSortFilterModel* shownBundles READ shownBundles CONSTANT)
    // The selected record's id in 8-4-4-4-12 form; an empty string for none.
    Q_PROPERTY(QString selectedBundleID READ selectedBundleID WRITE setSelectedBundleID NOTIFY
                   selectedBundleIDChanged)
    Q_PROPERTY(bool isCleaning READ isCleaning NOTIFY isCleaningChanged)
    Q_PROPERTY(bool isRetrieving READ isRetrieving NOTIFY isRetrievingChanged)
    Q_PROPERTY(bool showAlert READ showAlert WRITE setShowAlert NOTIFY showAlertChanged)
    Q_PROPERTY(QString alertMessage READ alertMessage NOTIFY alertMessageChanged)
    // Whether the alert tells of something that could not be done (entries that stayed, a
    // location that cannot be cleaned, a desktop call that failed) rather than of a run's end.
    Q_PROPERTY(bool alertIsError READ alertIsError NOTIFY alertMessageChanged)
    Q_PROPERTY(QString progressText READ progressText NOTIFY progressTextChanged)
    Q_PROPERTY(double progressValue READ progressValue NOTIFY progressValueChanged)
    Q_PROPERTY(qint64 totalTasks READ totalTasks NOTIFY totalTasksChanged)
    Q_PROPERTY(qint64 completedTasks READ completedTasks NOTIFY completedTasksChanged)
    // Live counts of the running scans, e.g. "已扫描 123,456 项 · 找到 7 个资源库"; empty when idle.
    Q_PROPERTY(QString retrievalProgressText READ retrievalProgressText NOTIFY retrievalProgressTextChanged)
    // The location whose libraries are listed (null before the first list); the one line
    // under the header that names it with the number of its libraries, their whole size and
    // what cleaning them would free; and the grey line an empty list shows (empty while the
    // list has rows).
    Q_PROPERTY(QString listedLocation READ listedLocation NOTIFY listedLocationChanged)
    Q_PROPERTY(QString locationSummary READ locationSummary NOTIFY listedLocationChanged)
    Q_PROPERTY(QString emptyListText READ emptyListText NOTIFY listedLocationChanged)
    // Whether a stop would still change something: a run is under way and not yet asked to stop.
    Q_PROPERTY(bool canStopRetrieval READ canStopRetrieval NOTIFY canStopRetrievalChanged)
    Q_PROPERTY(bool canStopCleaning READ canStopCleaning NOTIFY canStopCleaningChanged)
    // Whether the five buttons that clean the selected library have one (a listed record is
    // selected), and whether the whole-location button has libraries to clean (the chosen
    // location is the listed one and it has some); the hint says what enables the first five.
    Q_PROPERTY(bool canCleanSelected READ canCleanSelected NOTIFY cleanTargetsChanged)
    Q_PROPERTY(bool canCleanLocation READ canCleanLocation NOTIFY cleanTargetsChanged)
    Q_PROPERTY(QString cleanHint READ cleanHint NOTIFY cleanTargetsChanged)

  public:
    ContentView(Dispatch& dispatch, DirectoryChooser& chooser, DesktopServices& desktop,
                QObject* parent = nullptr);
    ~ContentView() override;

    // The singleton's factory, called by a QML engine the first time its QML names
    // `ContentView`: the view given to useInQml, which stays owned by its maker. Without a
    // default constructor the engine can make no second view of its own.
    static ContentView* create(QQmlEngine* engine, QJSEngine* scriptEngine);
    // Makes `view` the one the QML engines made from now on bind to; call before loading.
    static void useInQml(ContentView& view);

    // The thirteen fields.
    [[nodiscard]] QStringList drives() const;
    [[nodiscard]] QStringList userDirs() const;
    [[nodiscard]] QString selectedPath() const;
    [[nodiscard]] const std::vector<FCPBundle>& fcpBundles() const;
    [[nodiscard]] BundleListModel* fcpBundlesModel();
    [[nodiscard]] BundleSortFilterModel* shownBundles();
    [[nodiscard]] QString selectedBundleID() const;
    void setSelectedBundleID(const QString& id);
    [[nodiscard]] bool isCleaning() const;
    [[nodiscard]] bool isRetrieving() const;
    [[nodiscard]] bool showAlert() const;
    void setShowAlert(bool show);
    [[nodiscard]] QString alertMessage() const;
    [[nodiscard]] bool alertIsError() const;
    [[nodiscard]] QString progressText() const;
    [[nodiscard]] double progressValue() const;
    [[nodiscard]] qint64 totalTasks() const;
    [[nodiscard]] qint64 completedTasks() const;
    [[nodiscard]] QString retrievalProgressText() const;
    [[nodiscard]] QString listedLocation() const;
    [[nodiscard]] QString locationSummary() const;
    [[nodiscard]] QString emptyListText() const;
    [[nodiscard]] bool canStopRetrieval() const;
    [[nodiscard]] bool canStopCleaning() const;
    [[nodiscard]] bool canCleanSelected() const;
    [[nodiscard]] bool canCleanLocation() const;
    [[nodiscard]] QString cleanHint() const;

    // Locations.
    Q_INVOKABLE void loadLocations();
    Q_INVOKABLE void selectLocation(const QString& path);
    Q_INVOKABLE void chooseOtherDirectory();
    Q_INVOKABLE [[nodiscard]] QString locationLabel(const QString& path) const;
    Q_INVOKABLE [[nodiscard]] QString driveLabel(const QString& path) const;
    // True when `path` is the chosen location (text equality under canonical equivalence).
    Q_INVOKABLE [[nodiscard]] bool isSelectedPath(const QString& path) const;

    // Retrieval.
    Q_INVOKABLE void retrieveBundles();
    // Ends every scan under way within a directory listing; their results are dropped and the
    // list keeps what it showed. isRetrieving goes false once the walks have ended.
    Q_INVOKABLE void stopRetrieval();

    // Rows.
    [[nodiscard]] std::optional<FCPBundle> selectedBundle() const;
    // `bundleId` names the row's record; an id of no listed record does nothing.
    // Shows the library in the desktop's file manager (on Linux, whichever the desktop runs).
    Q_INVOKABLE void revealInFinder(const QString& bundleId);
    Q_INVOKABLE void openLibrary(const QString& bundleId);

    // Cleaning. `categoryKey` is "render", "proxy", "optimized" or "analysis".
    Q_INVOKABLE void cleanCategory(const QString& categoryKey);
    void cleanCategory(CacheCategory category);
    // The end of a run: `token` is the run's own (from beginCleaning); a run whose stop was
    // requested says so, whatever the tally.
    void finishCategoryClean(CacheCategory category, const CleaningTally& tally,
                             const std::shared_ptr<CancellationToken>& token = {});
    Q_INVOKABLE void cleanSelectedLibrary();
    Q_INVOKABLE void cleanAllLibraries();
    // What "一键清理硬盘" is about to do, from the list on screen: the location, the number
    // of libraries and the bytes of each kind. Asked before the run starts.
    Q_INVOKABLE [[nodiscard]] QString cleanAllConfirmationText() const;
    void recordTaskDone();
    void updateProgress();
    // `isError`: the text tells of something that could not be done.
    void finishCleaning(const QString& text, const std::shared_ptr<CancellationToken>& token = {},
                        bool isError = false);
    // Asks every cleaning under way to stop: each lets the removal call under way finish,
    // starts no other, and ends with an alert that says how much it removed.
    Q_INVOKABLE void stopCleaning();

  signals:
    void drivesChanged();
    void userDirsChanged();
    void selectedPathChanged();
    void fcpBundlesChanged();
    void selectedBundleIDChanged();
    void isCleaningChanged();
    void isRetrievingChanged();
    void showAlertChanged();
    void alertMessageChanged();
    void progressTextChanged();
    void progressValueChanged();
    void totalTasksChanged();
    void completedTasksChanged();
    void retrievalProgressTextChanged();
    void listedLocationChanged();
    void canStopRetrievalChanged();
    void canStopCleaningChanged();
    void cleanTargetsChanged();

  private:
    void setSelectedPath(const QString& path);
    void setIsCleaning(bool value);
    void setIsRetrieving(bool value);
    void setAlert(const QString& text, bool isError);
    void setProgressText(const QString& text);
    void setProgressValue(double value);
    void setTotalTasks(qint64 value);
    void setCompletedTasks(qint64 value);
    void setBundles(std::vector<FCPBundle> bundles);
    // Starts a cleaning run: its stop token, the counters and the start text.
    [[nodiscard]] std::shared_ptr<CancellationToken> beginCleaning(const QString& startText);
    void endCleaningRun(const std::shared_ptr<CancellationToken>& token);
    [[nodiscard]] bool showsProgressOf(const std::shared_ptr<CancellationToken>& token) const;
    void refreshCanStop();
    void publishRetrieval(std::uint64_t run, std::vector<FCPBundle> bundles, const QString& location,
                          LocationProblem problem);
    void refreshRetrievalProgressText();
    // The alert for a desktop call that failed (reveal or open).
    void showDesktopFailure(const QString& text);
    // The background part of a whole-location run, with no access to `this` but through `view`.
    static void runLocationCleaning(Dispatch& dispatch, const QPointer<ContentView>& view,
                                    const std::string& location,
                                    const std::shared_ptr<CancellationToken>& token);

    struct State;
    std::unique_ptr<State> state;
};

} // namespace velmora
