// The velmora program: a run that saves a picture once the libraries are listed, the live
// counts while a location is searched, and its own directory chooser on a private session bus.
#include "samples/sample_tree.h"
#include "support/temp_tree.h"
#include "ui/desktop_directory_chooser.h"
#include "window_helpers.h"

#include <QDBusConnection>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>

using namespace velmora::window_testing;
using velmora::testing::TempDir;

class WindowAppTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void savesAPictureOnceListedAndFitsASmallScreen();
    void showsLiveCountsWhileSearching();
    void ownChooserReturnsTheFolderTheUserWentTo();

  private:
    QProcess bus; // killed with the test
    QString busAddress;
};

void WindowAppTest::initTestCase() {
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty()) return; // the desktop cases skip
    // A bus of our own, so no real file manager or portal answers and none is started.
    bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
    QVERIFY(bus.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 10000);
    busAddress = QString::fromUtf8(bus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
}

// On a 1280 x 800 screen at twice the scale, whose 640 x 400 points are less than the layout
// asks for, the window fits the screen and the rest scrolls.
void WindowAppTest::savesAPictureOnceListedAndFitsASmallScreen() {
    TempDir dir, empty;
    buildLibrary(dir.path(), {"Shown.fcpbundle", 0, GiB});
    std::ofstream(dir / "screens.json") << R"({"screens": [{"name": "laptop", "width": 1280, "height": 800,)"
                                           R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + q(dir / "screens.json"));
    environment.insert("QT_SCALE_FACTOR", "2");
    const QString png = q(dir / "window.png");
    // Without a library the program still saves the picture, but says so and fails.
    for (const auto& [location, exitCode] : {std::pair{dir.path(), 0}, std::pair{empty.path(), 1}}) {
        QProcess app;
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::MergedChannels);
        app.start(VELMORA_BIN_DIR "/velmora", {"--screenshot-when-loaded", png, q(location)});
        QVERIFY2(app.waitForFinished(60000), "velmora did not quit after the screenshot");
        const QString output = QString::fromLocal8Bit(app.readAll());
        QVERIFY2(app.exitCode() == exitCode && output.contains("Saved a screenshot of the window to " + png),
                 qPrintable(output));
        QCOMPARE(output.contains("no libraries were listed"), exitCode == 1);
        const QImage image(png);
        QVERIFY2(image.width() <= 1280 && image.height() <= 800 && image.width() >= 1000,
                 qPrintable(QString("%1 x %2").arg(image.width()).arg(image.height())));
    }
}

void WindowAppTest::showsLiveCountsWhileSearching() {
    TempDir dir;
    const std::string location = dir / "Large Drive";
    velmora::samples::generateSampleLocation(location, {.seed = 11, .entries = 120000, .libraries = 10});
    WindowUnderTest app;
    QQuickItem* indicator = app.item("retrievingIndicator");
    QQuickItem* counts = app.item("retrievalProgress");
    // Each count the window shows while the scan runs, digits grouped by thousands. The result
    // is held back until a count past a thousand showed, so a fast walk still shows one.
    QStringList shown;
    QObject::connect(&app.view, &velmora::ContentView::retrievalProgressTextChanged, &app.view, [&] {
        if (!app.view.isRetrieving() || app.view.retrievalProgressText().isEmpty()) return;
        shown << (isShown(indicator) && isShown(counts) ? textOf(counts) : "<hidden>");
    });
    app.chooser.answers.push_back(q(location));
    app.dispatch.hold(true);
    app.click("chooseOtherDirectoryButton");
    QVERIFY(isShown(indicator));
    QTRY_VERIFY_WITH_TIMEOUT(app.dispatch.holdsWork(), 120000);
    QTRY_VERIFY(!shown.isEmpty() && shown.last().contains(','));
    app.dispatch.hold(false);
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 120000);
    QCOMPARE(app.view.fcpBundlesModel()->count(), 10);
    for (const QString& text : shown)
        QVERIFY2(
            QRegularExpression("^已扫描 \\d{1,3}(,\\d{3})* 项 · 找到 \\d+ 个资源库$").match(text).hasMatch(),
            qPrintable(text));
    QTRY_VERIFY(!isShown(indicator));
}

// With no portal on the bus the window's own dialog asks: it returns the folder the user went to
// (typed, double-clicked, or picked inside it), never one merely listed, and nothing when
// cancelled.
void WindowAppTest::ownChooserReturnsTheFolderTheUserWentTo() {
    if (busAddress.isEmpty()) QSKIP("dbus-daemon is not installed: the desktop calls cannot be checked");
    TempDir dir;
    velmora::testing::makeDirs(dir / "Projects/Sub/Deeper");
    velmora::testing::makeDirs(dir / "OnlyHidden/.cache");
    const QString projects = q(dir / "Projects");
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    velmora::DesktopDirectoryChooser chooser;
    chooser.attach(app.mainWindow->engine(), window);
    // Puts `path` in the path field as typing would and presses Return there: the dialog goes to it.
    const auto goTo = [&](const QString& path) {
        app.item("directoryPathField")->forceActiveFocus();
        app.item("directoryPathField")->setProperty("text", path);
        QTest::keyClick(window, Qt::Key_Return);
    };
    const auto choose = [&](const QString& path) {
        goTo(path);
        app.click("directoryChooseButton");
    };
    // In Projects, a double click goes into Sub and a single click picks it.
    const auto chooseSub = [&](bool doubleClick) {
        goTo(projects);
        QQuickItem* sub = nullptr;
        QTRY_VERIFY((sub = app.item("directoryEntry:Sub")) != nullptr);
        (doubleClick ? QTest::mouseDClick : QTest::mouseClick)(window, Qt::LeftButton, {}, centreOf(sub), -1);
        app.click("directoryChooseButton");
    };
    const auto refusedThenUp = [&] {
        choose(q(dir / "missing")); // no folder: refused with a note, and the dialog stays
        QTRY_VERIFY(isShown(app.item("directoryPathError")) && isShown(app.item("directoryPathField")));
        goTo(projects + "/Sub");
        app.click("directoryUpButton");
        app.click("directoryChooseButton");
    };
    const std::pair<std::function<void()>, std::optional<QString>> table[] = {
        {[&] { app.click("directoryCancelButton"); }, std::nullopt},
        {[&] { choose(q(dir / "OnlyHidden")); }, q(dir / "OnlyHidden")}, // its only subfolder is hidden
        {[&] { chooseSub(true); }, projects + "/Sub"},
        {[&] { chooseSub(false); }, projects + "/Sub"},
        {refusedThenUp, projects},
    };
    for (const auto& [act, expected] : table) {
        // The chooser's call returns only when the dialog is answered, so the test acts from
        // the event loop once the dialog is open.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, window, [&] {
            QObject* dialog = window->findChild<QObject*>("directoryDialog");
            if (dialog == nullptr || !dialog->property("opened").toBool()) return;
            poll.stop();
            act();
            // A failed check must not leave the chooser waiting for ever.
            if (QTest::currentTestFailed()) QMetaObject::invokeMethod(dialog, "reject");
        });
        poll.start(10);
        QCOMPARE(chooser.chooseDirectory(), expected);
        QTRY_VERIFY(window->findChild<QObject*>("directoryDialog") == nullptr);
    }
}

QTEST_MAIN(WindowAppTest)
#include "window_app_test.moc"
