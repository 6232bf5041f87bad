// Cleaning through the real window: real clicks, the app's queues, real files on disk.
#include "library/format_size.h"
#include "samples/sample_tree.h"
#include "support/temp_tree.h"
#include "window_helpers.h"

#include <QElapsedTimer>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace velmora::window_testing;
using velmora::testing::listTree;
using velmora::testing::regenerableEntry;
using velmora::testing::TempDir;

namespace {

// Presses "一键清理硬盘"; the dialog that asks first opens.
void askToCleanWholeLocation(WindowUnderTest& app) {
    app.click("cleanDiskButton");
    QTRY_VERIFY(app.object("confirmCleanDialog")->property("opened").toBool());
}

// The entries below `location` that no cleaning may remove.
std::set<std::string> keptEntries(const std::string& location) {
    std::set<std::string> kept;
    for (const std::string& entry : listTree(location))
        if (regenerableEntry(entry).empty()) kept.insert(entry);
    return kept;
}

// The longest time the event loop went without a turn while it ran.
class GapMeter : public QObject {
  public:
    GapMeter() {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(1);
        connect(&timer, &QTimer::timeout, this, [this] { longest = std::max(longest, clock.restart()); });
        clock.start();
        timer.start();
    }
    qint64 longest = 0;

  private:
    QTimer timer;
    QElapsedTimer clock;
};

} // namespace

class WindowCleaningTest : public QObject {
    Q_OBJECT

  private slots:
    void cleansOneKindOfTheSelectedLibrary();
    void cleansTheWholeLocationAfterAsking();
    void stopsPartWayAndWhenTheWindowCloses();
};

void WindowCleaningTest::cleansOneKindOfTheSelectedLibrary() {
    TempDir dir;
    const std::string location = dir / "Footage";
    const std::string alphaEvent = buildLibrary(location, {.relativePath = "Alpha.fcpbundle",
                                                           .renderBytes = GiB / 2,
                                                           .proxyBytes = GiB,
                                                           .optimizedBytes = GiB / 4,
                                                           .analysisFilesBytes = GiB * 3 / 10,
                                                           .originalBytes = 2 * GiB});
    const std::string betaProxy = buildLibrary(location, {.relativePath = "2024/Beta.fcpbundle",
                                                          .proxyBytes = 3 * GiB / 2}) +
                                  "/Transcoded Media/Proxy Media/clip.mov";
    WindowUnderTest app;
    chooseLocation(app, q(location), 2);
    if (QTest::currentTestFailed()) return;

    // The rows show the measured sizes; nothing is selected yet.
    QQuickItem* alpha = nullptr;
    QTRY_VERIFY((alpha = app.row("Alpha.fcpbundle")) != nullptr && app.row("Beta.fcpbundle") != nullptr);
    QCOMPARE(textOf(alpha, "libraryTitle"), QStringLiteral("Alpha.fcpbundle (4.05 GB)"));
    QCOMPARE((QStringList{textOf(alpha, "cacheSizeText"), textOf(alpha, "proxySizeText"),
                          textOf(alpha, "optimizedSizeText"), textOf(alpha, "analysisSizeText")}),
             (QStringList{"缓存大小: 0.50 GB", "代理媒体: 1.00 GB", "优化媒体: 0.25 GB", "媒体分析缓存: 0.30 GB"}));
    QCOMPARE(textOf(app.row("Beta.fcpbundle"), "proxySizeText"), QStringLiteral("代理媒体: 1.50 GB"));
    QVERIFY(!alpha->property("isSelected").toBool() && !app.row("Beta.fcpbundle")->property("isSelected").toBool());

    // A click on the title selects the row; the proxy run shows its text while it goes.
    clickItem(app.window(), findChildItem(alpha, "libraryTitle"));
    const QString alphaId = alpha->property("bundleId").toString();
    QCOMPARE(app.view.selectedBundleID(), alphaId);
    QTRY_VERIFY(alpha->property("isSelected").toBool());
    QVERIFY(!app.row("Beta.fcpbundle")->property("isSelected").toBool());
    QStringList shown;
    QObject::connect(&app.view, &velmora::ContentView::progressTextChanged, &app.view, [&] {
        shown << (isShown(app.item("progressSection")) ? textOf(app.item("progressText")) : "<hidden>");
    });
    app.click("cleanProxyButton");
    QCOMPARE(shown, QStringList{"正在清理代理媒体..."});

    // The alert closes the run; only the proxy media of the selected library went.
    QObject* alert = app.object("messageAlert");
    QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 20000);
    QVERIFY(!isShown(app.item("progressSection")));
    QCOMPARE(textOf(app.item("alertMessage")), QStringLiteral("已清理代理媒体。"));
    QVERIFY(!exists(alphaEvent + "/Transcoded Media/Proxy Media"));
    for (const char* kept : {"/Transcoded Media/High Quality Media/clip.mov", "/Render Files/High Quality Media",
                             "/Original Media/clip.mov", "/Analysis Files/Shots/clip.plist"})
        QVERIFY2(exists(alphaEvent + kept), kept);
    QVERIFY(exists(betaProxy));
    app.click("alertOkButton");
    QTRY_VERIFY(!alert->property("visible").toBool() && !app.view.showAlert());

    // The fresh scan shows the new sizes under new ids, so no row is selected any more.
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving() && app.row("Alpha.fcpbundle") &&
                                 app.row("Alpha.fcpbundle")->property("bundleId").toString() != alphaId,
                             20000);
    QCOMPARE(textOf(app.row("Alpha.fcpbundle"), "libraryTitle"), QStringLiteral("Alpha.fcpbundle (3.05 GB)"));
    QCOMPARE(textOf(app.row("Alpha.fcpbundle"), "proxySizeText"), QStringLiteral("代理媒体: 0.00 GB"));
    QVERIFY(!app.row("Alpha.fcpbundle")->property("isSelected").toBool());
    grabToPng(app.window(), "window_click_through");

    // A removal that fails is named in the alert with its path and error, never as done.
    const velmora::testing::ImmutableFiles locked({betaProxy});
    if (!locked.marked()) QSKIP("chattr +i is not supported on the temporary folder's file system");
    clickItem(app.window(), findChildItem(app.row("Beta.fcpbundle"), "libraryTitle"));
    app.click("cleanProxyButton");
    QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 20000);
    QCOMPARE(textOf(app.item("alertMessage")), "代理媒体中有 1 项无法删除。第一个无法删除的是 " + q(betaProxy) +
                                                   "：Operation not permitted");
    QVERIFY(exists(betaProxy));
    grabToPng(app.window(), "window_failure_alert");
}

void WindowCleaningTest::cleansTheWholeLocationAfterAsking() {
    TempDir root;
    const std::string location = root / "Projects";
    velmora::samples::SampleOptions options;
    options.seed = 4;
    options.libraries = 60;
    options.entries = 25000;
    const auto sample = velmora::samples::generateSampleLocation(location, options);
    // Folders with category names outside any library are not the program's to delete.
    velmora::testing::makeDirs(location + "/Notes/Render Files");
    velmora::testing::makeDirs(location + "/Notes/Transcoded Media/Proxy Media");
    velmora::testing::writeFile(location + "/Notes/Render Files/keep.txt", 10);
    const std::set<std::string> kept = keptEntries(location);
    QVERIFY(kept.size() < listTree(location).size());
    std::array<std::int64_t, 4> sums{};
    for (const auto& library : sample.libraries)
        for (std::size_t k = 0; k < sums.size(); ++k)
            sums[k] += library.categorySizes[k];
    const auto size = [](std::int64_t bytes) { return q(velmora::formatSize(bytes)); };

    WindowUnderTest app;
    chooseLocation(app, q(location), 60);
    if (QTest::currentTestFailed()) return;
    QStringList shown;
    QObject::connect(&app.view, &velmora::ContentView::progressTextChanged, &app.view, [&] {
        shown << (isShown(app.item("progressSection")) ? textOf(app.item("progressText")) : "<hidden>");
    });

    // The run asks first, naming the location and the sums of each kind; Escape and the
    // default button (cancel, taken by Return) leave everything as it is.
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        askToCleanWholeLocation(app);
        QCOMPARE(textOf(app.item("confirmMessage")),
                 QStringLiteral("将从 %1 中的 60 个资源库删除：时间线渲染缓存 %2、代理媒体 %3、优化媒体 %4、"
                                "媒体分析缓存 %5。原始媒体和项目保留不动。")
                     .arg(q(location), size(sums[0]), size(sums[1]), size(sums[2]), size(sums[3])));
        QTest::keyClick(app.window(), key);
        QTRY_VERIFY(!app.object("confirmCleanDialog")->property("visible").toBool());
        QVERIFY(!app.view.isCleaning() && shown.isEmpty());
    }

    // No row needs to be selected: the run takes every library of the location. The main
    // thread keeps turning while it runs.
    askToCleanWholeLocation(app);
    grabToPng(app.window(), "window_confirm_clean");
    GapMeter gaps;
    app.click("confirmCleanButton");
    QObject* alert = app.object("messageAlert");
    QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 120000);
    QVERIFY2(gaps.longest < 1000, qPrintable(QString("main thread stalled for %1 ms").arg(gaps.longest)));
    QCOMPARE(textOf(app.item("alertMessage")),
             QStringLiteral("已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。"));
    QCOMPARE(shown.first(), QStringLiteral("正在清理硬盘上的所有资源库..."));
    QCOMPARE(shown.last(), QStringLiteral("正在清理... 100%"));
    int previous = -1;
    for (const QString& text : shown.mid(1)) {
        const QRegularExpressionMatch percent = QRegularExpression("^正在清理... (\\d+)%$").match(text);
        QVERIFY2(percent.hasMatch() && percent.captured(1).toInt() >= previous, qPrintable(text));
        previous = percent.captured(1).toInt();
    }
    QVERIFY(!isShown(app.item("progressSection")));
    // On disk: exactly the regenerable data inside libraries is gone.
    QVERIFY(listTree(location) == kept);
    QTest::keyClick(app.window(), Qt::Key_Escape);
    QTRY_VERIFY(!alert->property("visible").toBool() && !app.view.showAlert());
}

void WindowCleaningTest::stopsPartWayAndWhenTheWindowCloses() {
    TempDir dir;
    const std::string location = dir / "Big Drive";
    // Made whole again before each run: the scan order varies, and a run that began with a
    // library the last one emptied would stop before it removed anything.
    std::vector<std::string> events;
    const auto buildAll = [&] {
        events.clear();
        for (int i = 0; i < 150; ++i)
            events.push_back(buildLibrary(location, {.relativePath = "Client " + std::to_string(i % 7) + "/Cut " +
                                                                     std::to_string(i) + ".fcpbundle",
                                                     .renderBytes = 3000,
                                                     .proxyBytes = 2000,
                                                     .optimizedBytes = 1000,
                                                     .analysisCacheBytes = 400,
                                                     .originalBytes = 9000}));
    };
    buildAll();
    const std::set<std::string> kept = keptEntries(location);
    // A stopped run keeps what no cleaning removes, and its alert counts the removed entries
    // that are gone: at least one, and not all.
    const auto checkStopped = [&](const QString& alert) {
        std::size_t gone = 0;
        for (const std::string& event : events)
            for (const char* kind : {"/Render Files", "/Transcoded Media/Proxy Media",
                                     "/Transcoded Media/High Quality Media", "/Analysis Cache"})
                gone += !exists(event + kind);
        const QRegularExpressionMatch count = QRegularExpression("^清理已停止。停止前已删除 ([0-9,]+) 项。$").match(alert);
        QVERIFY2(count.hasMatch(), qPrintable(alert));
        QCOMPARE(count.captured(1).remove(',').toULongLong(), static_cast<qulonglong>(gone));
        QVERIFY2(gone >= 1 && gone < 4 * events.size(), "the run was not stopped part way");
        QVERIFY(keptEntries(location) == kept);
    };
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    chooseLocation(app, q(location), 150);
    if (QTest::currentTestFailed()) return;
    QQuickItem* stopButton = app.item("stopCleaningButton");
    QObject* alert = app.object("messageAlert");

    // 1. The stop button, pressed once the first task has finished.
    bool pressed = false;
    QString shownAfterPress;
    auto connection = QObject::connect(&app.view, &velmora::ContentView::progressTextChanged, &app.view, [&] {
        if (pressed) shownAfterPress = textOf(app.item("progressText"));
        if (pressed || !app.view.progressText().startsWith("正在清理... ")) return;
        pressed = isShown(stopButton) && stopButton->isEnabled();
        QMetaObject::invokeMethod(stopButton, "clicked");
    });
    askToCleanWholeLocation(app);
    app.click("confirmCleanButton");
    QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 60000);
    QObject::disconnect(connection);
    QVERIFY(pressed && !app.view.isCleaning());
    QCOMPARE(shownAfterPress, QStringLiteral("正在停止清理..."));
    checkStopped(textOf(app.item("alertMessage")));
    grabToPng(window, "window_clean_stopped");
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 20000);
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!alert->property("visible").toBool());

    // 2. Closing the window during a cleaning asks; stopping ends the run the same way, then quits.
    buildAll();
    QSignalSpy quit(qmlEngine(window), &QQmlEngine::quit);
    QObject* dialog = app.object("stopOnCloseDialog");
    bool asked = false;
    connection = QObject::connect(&app.view, &velmora::ContentView::progressTextChanged, &app.view, [&] {
        if (asked || !app.view.progressText().startsWith("正在清理... ")) return;
        window->close();
        asked = dialog->property("visible").toBool() && app.view.isCleaning();
        QMetaObject::invokeMethod(app.object("stopAndQuitButton"), "clicked");
    });
    askToCleanWholeLocation(app);
    app.click("confirmCleanButton");
    QTRY_VERIFY_WITH_TIMEOUT(quit.count() == 1, 60000);
    QObject::disconnect(connection);
    QVERIFY(asked && !app.view.isCleaning());
    checkStopped(app.view.alertMessage());
}

QTEST_MAIN(WindowCleaningTest)
#include "window_cleaning_test.moc"
