// The velmora program itself: its command line, a run that saves a picture once the
// libraries are listed (also on a small screen at twice the scale), and the live counts
// while a large location is searched.
#include "samples/sample_tree.h"
#include "support/temp_tree.h"
#include "ui/velmora_app.h"
#include "window_helpers.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <fstream>
#include <variant>

using namespace velmora::window_testing;
using velmora::testing::TempDir;

class WindowAppTest : public QObject {
    Q_OBJECT

  private slots:
    void readsTheCommandLine();
    void savesAPictureOnceListedAndFitsASmallScreen();
    void showsLiveCountsWhileSearchingAndStops();
};

void WindowAppTest::readsTheCommandLine() {
    const auto parse = [](const QStringList& arguments) { return velmora::parseAppOptions(QStringList{"velmora"} + arguments); };
    const auto options = [&](const QStringList& arguments) { return std::get<velmora::AppOptions>(parse(arguments)); };
    QVERIFY(!options({}).location && !options({}).screenshotPath);
    // A location is taken as given when absolute, from the current directory otherwise,
    // without a trailing separator, as a directory chooser would give it.
    QCOMPARE(options({"/media/Backup Disk/项目"}).location, std::optional<QString>("/media/Backup Disk/项目"));
    QCOMPARE(options({"Footage/../Drives/A/"}).location, std::optional<QString>(QDir::currentPath() + "/Drives/A"));
    QCOMPARE(options({"--screenshot-when-loaded", "/tmp/w.png", "/srv"}).screenshotPath,
             std::optional<QString>("/tmp/w.png"));
    // Mistakes end the program with status 2 before any window opens.
    for (const QStringList& wrong : {QStringList{"/a", "/b"}, QStringList{"--no-such-option"}, QStringList{""},
                                     QStringList{"--screenshot-when-loaded"}})
        QCOMPARE(std::get<int>(parse(wrong)), 2);
}

void WindowAppTest::savesAPictureOnceListedAndFitsASmallScreen() {
    TempDir dir, empty;
    buildLibrary(dir.path(), {.relativePath = "Shown.fcpbundle", .proxyBytes = GiB});
    const QString png = q(dir / "window.png");
    // A 1280 x 800 screen at twice the scale: its 640 x 400 points are less than the layout
    // asks for, so the window fits the screen and the rest scrolls.
    std::ofstream(dir / "screens.json") << R"({"screens": [{"name": "laptop", "width": 1280, "height": 800,)"
                                           R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    const struct {
        QString platform;
        const char* scale;
        std::string location;
        int exitCode;
    } runs[] = {
        {"offscreen", "1", dir.path(), 0},
        {"offscreen:configfile=" + q(dir / "screens.json"), "2", dir.path(), 0},
        // Without a library the program still saves the picture, but says so and fails.
        {"offscreen", "1", empty.path(), 1},
    };
    for (const auto& run : runs) {
        QProcess app;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", run.platform);
        environment.insert("QT_SCALE_FACTOR", run.scale);
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::MergedChannels);
        app.start(VELMORA_BIN_DIR "/velmora", {"--screenshot-when-loaded", png, q(run.location)});
        QVERIFY2(app.waitForFinished(60000), "velmora did not quit after the screenshot");
        const QString output = QString::fromLocal8Bit(app.readAll());
        QVERIFY2(app.exitCode() == run.exitCode, qPrintable(output));
        QVERIFY2(output.contains("Saved a screenshot of the window to " + png), qPrintable(output));
        const QImage image(png);
        if (run.exitCode == 1) QVERIFY(output.contains("no libraries were listed"));
        if (*run.scale == '2')
            QVERIFY2(image.width() <= 1280 && image.height() <= 800 && image.width() >= 1000,
                     qPrintable(QString("%1 x %2").arg(image.width()).arg(image.height())));
        else // both columns fit: the 250 wide locations and the library list of at least 500
            QVERIFY(image.width() >= 750 && image.height() >= 300);
    }
}

void WindowAppTest::showsLiveCountsWhileSearchingAndStops() {
    TempDir dir;
    const std::string location = dir / "Large Drive";
    velmora::samples::SampleOptions options;
    options.seed = 11;
    options.entries = 120000;
    options.libraries = 10;
    velmora::samples::generateSampleLocation(location, options);
    WindowUnderTest app;
    QQuickItem* indicator = app.item("retrievingIndicator");
    QQuickItem* counts = app.item("retrievalProgress");

    // Each count the window shows while the scan runs, digits grouped by thousands. The
    // finished walk's result is held back until the window has shown a count past a thousand,
    // so a walk faster than the refresh still shows one.
    QStringList shown;
    QObject::connect(&app.view, &velmora::ContentView::retrievalProgressTextChanged, &app.view, [&] {
        if (!app.view.isRetrieving() || app.view.retrievalProgressText().isEmpty()) return;
        shown << (isShown(indicator) && isShown(counts) ? textOf(counts) : "<hidden>");
        grabToPng(app.window(), "window_scan_progress");
    });
    app.chooser.answers.push_back(q(location));
    app.dispatch.hold();
    app.click("chooseOtherDirectoryButton");
    QVERIFY(isShown(indicator));
    QTRY_VERIFY_WITH_TIMEOUT(app.dispatch.holdsWork(), 120000);
    QTRY_VERIFY(!shown.isEmpty() && shown.last().contains(','));
    app.dispatch.release();
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 120000);
    QCOMPARE(app.view.fcpBundlesModel()->count(), 10);
    for (const QString& text : shown)
        QVERIFY2(QRegularExpression("^已扫描 \\d{1,3}(,\\d{3})* 项 · 找到 \\d+ 个资源库$").match(text).hasMatch(),
                 qPrintable(text));
    QTRY_VERIFY(!isShown(indicator));

    // Stopping a search: its result is dropped and the list keeps what it showed.
    const QString listed = app.view.shownBundles()->idAt(0);
    QQuickItem* stop = app.item("stopRetrievalButton");
    bool stopShown = false;
    QObject::connect(&app.view, &velmora::ContentView::isRetrievingChanged, &app.view, [&] {
        if (!app.view.isRetrieving()) return;
        stopShown = isShown(stop) && stop->isEnabled();
        QMetaObject::invokeMethod(stop, "clicked");
        QVERIFY(!stop->isEnabled()); // asked once; the walk ends on its own
    });
    app.chooser.answers.push_back(q(location));
    app.click("chooseOtherDirectoryButton");
    QVERIFY(stopShown);
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 5000);
    QCOMPARE(app.view.shownBundles()->idAt(0), listed);
    QCOMPARE(app.view.fcpBundlesModel()->count(), 10);
    QVERIFY(!isShown(indicator));
}

QTEST_MAIN(WindowAppTest)
#include "window_app_test.moc"
