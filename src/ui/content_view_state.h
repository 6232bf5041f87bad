#pragma once

// What ContentView keeps, shared by the files that implement it; nothing else includes this.

#include "platform/location_probe.h"
#include "ui/content_view.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora {

namespace view_detail {

// Stores `value` and says whether the field changed, so a change signal fires only then.
template <typename T> bool assign(T& field, T value) {
    if (field == value) return false;
    field = std::move(value);
    return true;
}

inline QString fromBytes(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace view_detail

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
    bool alertIsError = false;
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
    // The run the progress bar shows: the newest one. Steps of an older run that overlaps it
    // leave the bar alone.
    const CancellationToken* progressRun = nullptr;

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

} // namespace velmora
