// ContentView on the real Qt event loop with the app's queues: a whole-location cleaning of
// many libraries, checked on disk, with the longest stall of the main thread measured.
#include "content_view_fixtures.h"
#include "samples/sample_tree.h"
#include "support/tree_listing.h"
#include "ui/content_view.h"
#include "ui/qt_dispatch.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtTest>
#include <cstdio>
#include <functional>

using namespace velmora;
using namespace velmora::testing;

namespace {

// Spins a real event loop until `done` holds (checked whenever one of the view's fields
// changes) or the timeout passes. True when `done` held.
bool runUntil(ContentView& view, const std::function<bool()>& done, int timeoutMs) {
    if (done()) return true;
    QEventLoop loop;
    auto check = [&] {
        if (done()) loop.quit();
    };
    QList<QMetaObject::Connection> connections{
        QObject::connect(&view, &ContentView::isRetrievingChanged, &loop, check),
        QObject::connect(&view, &ContentView::isCleaningChanged, &loop, check),
        QObject::connect(&view, &ContentView::showAlertChanged, &loop, check),
        QObject::connect(&view, &ContentView::fcpBundlesChanged, &loop, check)};
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    for (const auto& c : connections)
        QObject::disconnect(c);
    return done();
}

// Records the longest interval between two turns of the event loop while it runs.
class GapMeter : public QObject {
  public:
    GapMeter() {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, this, [this] {
            longest = std::max(longest, clock.restart());
            ++turns;
        });
    }
    void start() {
        longest = 0;
        turns = 0;
        clock.start();
        timer.start();
    }
    void stop() {
        longest = std::max(longest, clock.elapsed());
        timer.stop();
    }
    qint64 longest = 0;
    qint64 turns = 0;

  private:
    QTimer timer;
    QElapsedTimer clock;
};

} // namespace

class ContentViewEventLoopTest : public QObject {
    Q_OBJECT

  private slots:
    void wholeLocationCleaningOfManyLibraries();
    void overlappingRetrievalsOnTheRealLoop();
};

void ContentViewEventLoopTest::wholeLocationCleaningOfManyLibraries() {
    constexpr std::size_t kLibraries = 60;
    TempDir root;
    const std::string location = root / "Projects";
    samples::SampleOptions options;
    options.seed = 4;
    options.libraries = kLibraries;
    options.entries = 25000;
    const samples::SampleLocation sample = samples::generateSampleLocation(location, options);
    QCOMPARE(sample.libraries.size(), kLibraries);
    // Folders with category names outside any library are not the program's to delete.
    makeDirs(location + "/Notes/Render Files");
    writeFile(location + "/Notes/Render Files/keep.txt", 10);
    makeDirs(location + "/Notes/Transcoded Media/Proxy Media");
    writeFile(location + "/Notes/Transcoded Media/Proxy Media/keep.mov", 10);

    const std::set<std::string> before = listTree(location);
    std::set<std::string> expected;
    std::copy_if(before.begin(), before.end(), std::inserter(expected, expected.end()),
                 [](const std::string& entry) { return regenerableEntry(entry).empty(); });
    QVERIFY(expected.size() < before.size());

    QtDispatch dispatch;
    ScriptedChooser chooser;
    RecordingDesktop desktop;
    ContentView view(dispatch, chooser, desktop);

    view.selectLocation(q(location));
    QVERIFY(view.isRetrieving());
    QVERIFY(runUntil(
        view, [&] { return !view.isRetrieving(); }, 60000));
    QCOMPARE(view.fcpBundles().size(), kLibraries);

    QStringList texts;
    connect(&view, &ContentView::progressTextChanged, this, [&] { texts << view.progressText(); });
    bool alertBeforeLastProgress = false;
    connect(&view, &ContentView::showAlertChanged, this, [&] {
        if (view.showAlert() && texts.last() != QString("正在清理... 100%")) alertBeforeLastProgress = true;
    });

    QSignalSpy completedSteps(&view, &ContentView::completedTasksChanged);
    GapMeter gaps;
    QElapsedTimer wall;
    wall.start();
    gaps.start();
    view.cleanAllLibraries();
    QVERIFY(view.isCleaning());
    const bool finished = runUntil(
        view, [&] { return view.showAlert() && !view.isCleaning() && !view.isRetrieving(); }, 120000);
    gaps.stop();
    QVERIFY(finished);
    const qint64 elapsed = wall.elapsed();

    // Final state.
    const qint64 tasks = 4 * static_cast<qint64>(kLibraries);
    QCOMPARE(view.alertMessage(),
             QString("已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。"));
    QCOMPARE(view.totalTasks(), tasks);
    QCOMPARE(view.completedTasks(), tasks);
    QCOMPARE(completedSteps.size(), tasks); // one main-thread step per task
    QCOMPARE(view.progressValue(), 1.0);
    QCOMPARE(view.progressText(), QString("正在清理... 100%"));
    QVERIFY(!alertBeforeLastProgress);
    QCOMPARE(texts.first(), QString("正在清理硬盘上的所有资源库..."));
    int previous = -1;
    for (const QString& text : texts.mid(1)) {
        QVERIFY2(text.startsWith("正在清理... ") && text.endsWith("%"), qPrintable(text));
        const int percent = text.mid(8).chopped(1).toInt();
        QVERIFY2(percent >= previous, qPrintable(text));
        previous = percent;
    }

    // On disk: exactly the regenerable data inside libraries is gone, nothing else.
    QVERIFY(listTree(location) == expected);

    // The rescan after the run shows the cleaned sizes.
    QCOMPARE(view.fcpBundles().size(), kLibraries);
    for (const auto& bundle : view.fcpBundles())
        QCOMPARE(bundle.cacheSize() + bundle.proxySize() + bundle.optimizedSize() + bundle.analysisSize(),
                 std::int64_t(0));

    std::printf("whole-location cleaning of %zu libraries (%lld tasks, %zu entries): %lld ms; longest "
                "main-thread gap %lld ms over %lld loop turns; group threads %d\n",
                kLibraries, static_cast<long long>(tasks), before.size(), static_cast<long long>(elapsed),
                static_cast<long long>(gaps.longest), static_cast<long long>(gaps.turns),
                QtDispatch::groupThreadLimit());
    std::fflush(stdout);
    // A blocked main thread (a scan or a deletion run on it) shows up as a long stall.
    QVERIFY2(gaps.longest < 1000, qPrintable(QString("main thread stalled for %1 ms").arg(gaps.longest)));
}

void ContentViewEventLoopTest::overlappingRetrievalsOnTheRealLoop() {
    TempDir big;
    TempDir small;
    for (int i = 0; i < 20; ++i)
        makeLibrary(big / ("L" + std::to_string(i) + ".fcpbundle"), {.events = 3});
    makeLibrary(small / "Only.fcpbundle", {.events = 1});

    QtDispatch dispatch;
    ScriptedChooser chooser;
    RecordingDesktop desktop;
    ContentView view(dispatch, chooser, desktop);
    QSignalSpy retrieving(&view, &ContentView::isRetrievingChanged);

    view.selectLocation(q(big.path()));
    view.selectLocation(q(small.path()));
    QVERIFY(runUntil(
        view, [&] { return !view.isRetrieving(); }, 60000));
    QCOMPARE(retrieving.size(), 2);
    QCOMPARE(view.fcpBundles().size(), std::size_t(1));
    QCOMPARE(view.fcpBundles()[0].path, small / "Only.fcpbundle");
    QCOMPARE(view.retrievalProgressText(), QString());
}

QTEST_GUILESS_MAIN(ContentViewEventLoopTest)
#include "content_view_event_loop_test.moc"
