// The window through real clicks and keys, checked on disk; the program saving a picture once
// listed, its live counts while searching, and its own directory chooser on a private bus.
#include "library/format_size.h"
#include "samples/sample_tree.h"
#include "support/temp_tree.h"
#include "ui/color_scheme.h"
#include "ui/desktop_directory_chooser.h"
#include "window_helpers.h"

#include <QDBusConnection>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>

using namespace velmora::window_testing;
using velmora::testing::listTree;
using velmora::testing::TempDir;

namespace {

// Relative luminance (0 black, 1 white) and the contrast ratio of two colours, as the web's
// accessibility guidelines define them.
double luminance(const QColor& colour) {
    const auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}
double contrast(const QColor& a, const QColor& b) {
    const double first = luminance(a), second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}
// The mean luminance of a picture, every fourth pixel each way.
double meanLuminance(const QImage& image) {
    double sum = 0;
    int pixels = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4, ++pixels)
            sum += luminance(image.pixelColor(x, y));
    return pixels > 0 ? sum / pixels : 0;
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void keyboardAndRowButtons();
    void stopsPartWayAndWhenTheWindowCloses();
    void buttonsFollowTheSelectionAndEachRunStartsItsBar();
    void everyControlIsReachableOnSmallScreens();
    void followsTheDesktopPaletteReadably();
    void savesAPictureOnceListedAndFitsASmallScreen();
    void showsLiveCountsWhileSearching();
    void ownChooserReturnsTheFolderTheUserWentTo();

  private:
    TempDir userFolders; // the desktop and videos folders the location list offers
    QProcess bus;        // killed with the test
    QString busAddress;
};

void WindowTest::initTestCase() {
    // Two user folders that are there and three that are not: only the first two are offered.
    velmora::testing::makeDirs(userFolders / "Desk");
    velmora::testing::makeDirs(userFolders / "Films");
    std::ofstream(userFolders / "user-dirs.dirs")
        << "XDG_DESKTOP_DIR=\"" << userFolders / "Desk"
        << "\"\nXDG_VIDEOS_DIR=\"" << userFolders / "Films"
        << "\"\nXDG_DOWNLOAD_DIR=\"/nonexistent\"\nXDG_DOCUMENTS_DIR=\"/nonexistent\"\n"
        << "XDG_PICTURES_DIR=\"/nonexistent\"\n";
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(userFolders.path()));
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

void WindowTest::keyboardAndRowButtons() {
    TempDir dir;
    const QString longName = "A library whose name is far too long for its row at the window's smallest size";
    for (int i = 0; i < 120; ++i)
        buildLibrary(dir.path(), {(i ? "Cut " + std::to_string(i) : longName.toStdString()) + ".fcpbundle", 0,
                                  0, 0, 0, 1000000 - i});
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    chooseLocation(app, q(dir.path()), 120);
    if (QTest::currentTestFailed()) return;
    app.item("sortButton2")->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(window, Qt::Key_Return); // largest first: the long name on top, then Cut 1, Cut 2...
    QCOMPARE(app.view.shownBundles()->sortKey(), 2);
    QQuickItem* first = app.row(longName + ".fcpbundle");
    // Tab goes from the sort keys into the list and on: the rows' buttons are no stops.
    app.item("sortButton3")->forceActiveFocus(Qt::TabFocusReason);
    QStringList chain;
    for (int i = 0; i < 3; ++i, QTest::keyClick(window, Qt::Key_Tab))
        chain << window->activeFocusItem()->objectName();
    QCOMPARE(chain,
             (QStringList{"sortButton3", "libraryListView", "cleanDiskButton"})); // the rest wait for a row
    QQuickItem* view = app.item("libraryListView");
    view->forceActiveFocus(Qt::TabFocusReason); // nothing selected: the list shows the focus itself
    QTRY_VERIFY(isShown(app.item("libraryFocusFrame")));
    // The keys move the selection by one, a page (less than in view) or to either end; Ctrl+R and
    // Ctrl+Return reach the selected row's buttons; Ctrl-click on it clears the selection.
    clickItem(window, view); // a row in the middle of the view
    QTest::keyClick(window, Qt::Key_Home);
    QTest::keyClick(window, Qt::Key_PageDown);
    const int page = app.view.shownBundles()->rowOf(app.view.selectedBundleID());
    QVERIFY2(page >= 3 && page < view->height() / first->height(), qPrintable(QString::number(page)));
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_PageDown, 2 * page},
                                            {Qt::Key_PageUp, page},
                                            {Qt::Key_End, 119},
                                            {Qt::Key_Home, 0},
                                            {Qt::Key_Down, 1},
                                            {Qt::Key_Up, 0}};
    for (const auto& [key, row] : keys) {
        QTest::keyClick(window, key);
        QCOMPARE(app.view.shownBundles()->rowOf(app.view.selectedBundleID()), row);
    }
    QVERIFY(!isShown(app.item("libraryFocusFrame"))); // the selected row's ring shows it now
    // The selection, its ring and the view stay with the library through a change of order;
    // with nothing selected, the list starts again at its first row.
    const auto inView = [&](const QString& name) {
        QQuickItem* row = app.row(name);
        const qreal top = view->property("contentY").toReal();
        return row != nullptr && row->y() >= top && row->y() + row->height() <= top + view->height();
    };
    app.view.shownBundles()->sortBy(2);
    QCOMPARE(app.view.shownBundles()->rowOf(app.view.selectedBundleID()), 119);
    QTRY_VERIFY(inView(longName + ".fcpbundle"));
    app.view.shownBundles()->sortBy(2);
    first = app.row(longName + ".fcpbundle");
    QQuickItem* second = app.row("Cut 1.fcpbundle");
    QQuickItem* title = findChildItem(first, "libraryTitle");
    const QString secondPath = q(dir / "Cut 1.fcpbundle");
    QTRY_VERIFY(isShown(findChildItem(first, "rowFocusRing")) &&
                !isShown(findChildItem(second, "rowFocusRing")));
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(app.desktop.revealed + app.desktop.opened,
             QStringList(2, q(dir.path()) + "/" + longName + ".fcpbundle"));
    clickItem(window, title, Qt::ControlModifier);
    QTRY_COMPARE(app.view.selectedBundleID(), QString());
    for (int twice = 0; twice < 2; ++twice) {
        view->setProperty("contentY", 25 * first->height());
        app.view.shownBundles()->sortBy(2);
        QTRY_COMPARE(view->property("contentY").toReal(), view->property("originY").toReal());
    }
    first = app.row(longName + ".fcpbundle"); // the rows scrolled away were made anew
    second = app.row("Cut 1.fcpbundle");
    title = findChildItem(first, "libraryTitle");
    // A row's buttons act on their own library, not the selection; a failure shows an alert.
    clickItem(window, title);
    clickItem(window, findChildItem(second, "revealButton"));
    app.desktop.failing = true;
    clickItem(window, findChildItem(second, "openButton"));
    QCOMPARE(app.desktop.revealed.last() + app.desktop.opened.last(), secondPath + secondPath);
    QVERIFY(first->property("isSelected").toBool() && !second->property("isSelected").toBool());
    QTRY_VERIFY(app.object("messageAlert")->property("opened").toBool());
    QCOMPARE(textOf(app.item("alertMessage")), "无法打开 " + secondPath + "。");
    QCOMPARE(textOf(app.item("alertTitle")) + " " + app.item("alertTitleIcon")->property("source").toString(),
             QString("错误 qrc:/qt/qml/Velmora/icons/alert_error.svg"));
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!app.object("messageAlert")->property("visible").toBool());
    // At the smallest size, a long name is shortened and the row's buttons stay inside the list.
    window->resize(window->minimumWidth(), window->minimumHeight());
    QTRY_VERIFY(title->property("truncated").toBool());
    QVERIFY(centreOf(findChildItem(first, "openButton")).x() < centreOf(view).x() + view->width() / 2);
    // Locations: Tab enters on the chosen row, keys move a ring over both sections, Return chooses.
    const QStringList paths = app.view.drives() + app.view.userDirs();
    const int last = int(paths.size()) - 1, chosen = int(app.view.drives().size()) + 1; // not the home
    const auto location = [&](int i) { return app.item("locationRow:" + paths[i]); };
    const auto ringAt = [&](int i) { return isShown(findChildItem(location(i), "locationFocusRing")); };
    const auto tinted = [&](int i) {
        return findChildItem(location(i), "locationHighlight")->property("color").value<QColor>().alpha() > 0;
    };
    clickItem(window, location(chosen));
    QTRY_VERIFY(tinted(chosen) && !tinted(last));
    app.item("locationListView")->forceActiveFocus(Qt::TabFocusReason);
    QTRY_VERIFY(ringAt(chosen));
    const std::pair<Qt::Key, int> moves[] = {{Qt::Key_End, last},      {Qt::Key_Home, 0},
                                             {Qt::Key_PageDown, last}, {Qt::Key_Up, last - 1},
                                             {Qt::Key_PageUp, 0},      {Qt::Key_End, last}};
    for (const auto& [key, ringed] : moves) {
        QTest::keyClick(window, key);
        QTRY_VERIFY2(ringAt(ringed), qPrintable(paths[ringed]));
    }
    QTest::keyClick(window, Qt::Key_Return);
    QCOMPARE(app.view.selectedPath(), paths[last]);
    QTRY_VERIFY(tinted(last) && !tinted(chosen));
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 60000);
}

void WindowTest::stopsPartWayAndWhenTheWindowCloses() {
    TempDir dir;
    const std::string location = dir / "Big Drive";
    // Made whole before each run: one that began with an emptied library would remove nothing.
    std::vector<std::string> events;
    const auto buildAll = [&] {
        events.clear();
        for (int i = 0; i < 150; ++i)
            events.push_back(buildLibrary(
                location, {"Client " + std::to_string(i % 7) + "/Cut " + std::to_string(i) + ".fcpbundle",
                           3 << 20, 2 << 20, 1 << 20, 400 << 10, 9000}));
    };
    buildAll();
    const std::set<std::string> all = listTree(location);
    // A stopped run's alert counts the removed entries that are gone: at least one, and not all.
    const auto checkStopped = [&](const QString& alert) {
        std::size_t gone = 0;
        for (const std::string& event : events)
            for (const char* kind : {"/Render Files", "/Transcoded Media/Proxy Media",
                                     "/Transcoded Media/High Quality Media", "/Analysis Files"})
                gone += !exists(event + kind);
        QCOMPARE(alert, QString("清理已停止。停止前已删除 %1 项。").arg(gone));
        QVERIFY2(gone >= 1 && gone < 4 * events.size(), "the run was not stopped part way");
    };
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    chooseLocation(app, q(location), 150);
    if (QTest::currentTestFailed()) return;
    // 1. The run asks first, naming the sums; Escape and Return (cancel is the default) keep all.
    const auto sum = [](std::int64_t bytes) { return q(velmora::formatSize(150 * bytes)); };
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        app.click("cleanDiskButton");
        QTRY_VERIFY(app.object("confirmCleanDialog")->property("opened").toBool());
        // The default is cancel, ringed as the keyboard's; the clean looks like what it does.
        QTRY_VERIFY(isShown(findChildItem(app.item("confirmCancelButton"), "focusRing")));
        QVERIFY(findChildItem(app.item("confirmCleanButton"), "fill")->property("color") !=
                findChildItem(app.item("confirmCancelButton"), "fill")->property("color"));
        QCOMPARE(textOf(app.item("confirmMessage")),
                 QString("将从 %1 中的 150 个资源库删除：时间线渲染缓存 %2、代理媒体 %3、优化媒体 %4、"
                         "媒体分析缓存 %5。原始媒体和项目保留不动。")
                     .arg(q(location), sum(3 << 20), sum(2 << 20), sum(1 << 20), sum(400 << 10)));
        QTest::keyClick(window, key);
        QTRY_VERIFY(!app.object("confirmCleanDialog")->property("visible").toBool());
        QVERIFY(!app.view.isCleaning() && listTree(location) == all);
    }
    // Runs the whole-location cleaning and calls `act` once, when its first task has finished.
    const auto cleanAndOnFirstTask = [&](const std::function<void()>& act) {
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(&app.view, &velmora::ContentView::progressTextChanged, &app.view,
                                       [&, connection, act] {
                                           if (!app.view.progressText().startsWith("正在清理... ")) return;
                                           QObject::disconnect(*connection);
                                           act();
                                       });
        app.click("cleanDiskButton");
        QTRY_VERIFY(app.object("confirmCleanDialog")->property("opened").toBool());
        app.click("confirmCleanButton");
    };
    // 2. The stop button: the run says it stops, and ends with its alert and a fresh search.
    bool pressed = false;
    cleanAndOnFirstTask([&] {
        pressed = isShown(app.item("stopCleaningButton")) && app.item("stopCleaningButton")->isEnabled();
        QMetaObject::invokeMethod(app.item("stopCleaningButton"), "clicked");
        QCOMPARE(textOf(app.item("progressText")), QStringLiteral("正在停止清理..."));
    });
    QTRY_VERIFY_WITH_TIMEOUT(app.object("messageAlert")->property("opened").toBool(), 60000);
    QVERIFY(pressed && !app.view.isCleaning());
    checkStopped(textOf(app.item("alertMessage")));
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 20000);
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!app.object("messageAlert")->property("visible").toBool());
    // 3. Closing the window during a cleaning asks; stopping ends the run the same way, then quits.
    buildAll();
    QSignalSpy quit(qmlEngine(window), &QQmlEngine::quit);
    bool asked = false;
    cleanAndOnFirstTask([&] {
        window->close();
        asked = app.object("stopOnCloseDialog")->property("visible").toBool() && app.view.isCleaning();
        QMetaObject::invokeMethod(app.object("stopAndQuitButton"), "clicked");
    });
    QTRY_VERIFY_WITH_TIMEOUT(quit.count() == 1, 60000);
    QVERIFY(asked && !app.view.isCleaning());
    checkStopped(app.view.alertMessage());
}

// The cleaning buttons wait for a selected library (again after every rescan) and say so; every
// run's bar starts empty, whatever the last one left, and its line has the whole row from the
// first run of the window on.
void WindowTest::buttonsFollowTheSelectionAndEachRunStartsItsBar() {
    TempDir dir;
    for (const char* name : {"A.fcpbundle", "B.fcpbundle", "C.fcpbundle"})
        buildLibrary(dir.path(), {name, 4096, 4096, 4096, 4096, 4096});
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    QTRY_VERIFY(isShown(app.item("emptyListText"))); // before the first choice: where to start
    QCOMPARE(textOf(app.item("emptyListText")), QString("在左侧选择一个硬盘或目录。"));
    chooseLocation(app, q(dir.path()), 3);
    if (QTest::currentTestFailed()) return;
    const QStringList forSelected{"cleanRenderButton", "cleanProxyButton", "cleanOptimizedButton",
                                  "cleanAnalysisButton", "cleanLibraryButton"};
    const auto enabled = [&](const QStringList& names) {
        QList<bool> states;
        for (const QString& name : names)
            states << app.item(name)->isEnabled();
        return states;
    };
    const struct {
        const char* button;
        bool confirm;
        double valueAfter; // a category run counts no steps; the whole-location run fills the bar
    } runs[] = {{"cleanRenderButton", false, 0.0},
                {"cleanDiskButton", true, 1.0},
                {"cleanProxyButton", false, 0.0},
                {"cleanDiskButton", true, 1.0}};
    for (const auto& run : runs) {
        // Nothing selected after a scan: the five wait for a row, with a hint; clean-all does not.
        QCOMPARE(enabled(forSelected), QList<bool>(5, false));
        QVERIFY(app.item("cleanDiskButton")->isEnabled());
        QCOMPARE(textOf(app.item("cleanHint")), QString("选择一个资源库"));
        app.click("cleanRenderButton");
        QVERIFY(!app.view.isCleaning());
        clickItem(window, findChildItem(app.row("A.fcpbundle"), "libraryTitle"));
        QTRY_COMPARE(enabled(forSelected), QList<bool>(5, true));
        QCOMPARE(textOf(app.item("cleanHint")), QString());
        // At the start, before any work reaches the window.
        app.dispatch.hold(true);
        app.click(run.button);
        if (run.confirm) {
            QTRY_VERIFY(app.object("confirmCleanDialog")->property("opened").toBool());
            app.click("confirmCleanButton");
        }
        QTRY_VERIFY(isShown(app.item("progressSection")));
        QQuickItem* bar = app.item("progressBar");
        QVERIFY2(bar->property("value").toDouble() == 0.0 && bar->property("indeterminate").toBool(),
                 run.button);
        QQuickItem *line = app.item("progressText"), *stop = app.item("stopCleaningButton");
        (void)centreOf(line); // laid out
        QVERIFY2(!line->property("truncated").toBool() && line->width() >= line->implicitWidth(),
                 qPrintable(textOf(line)));
        QCOMPARE(stop->mapToItem(app.item("progressSection"), QPointF(stop->width(), 0)).x(),
                 app.item("progressSection")->width());
        app.dispatch.hold(false);
        QTRY_VERIFY_WITH_TIMEOUT(app.object("messageAlert")->property("opened").toBool(), 60000);
        QCOMPARE(app.view.progressValue(), run.valueAfter);
        QCOMPARE(textOf(app.item("alertTitle")) + " " +
                     app.item("alertTitleIcon")->property("source").toString(),
                 QString("提示 qrc:/qt/qml/Velmora/icons/alert_info.svg"));
        QTest::keyClick(window, Qt::Key_Return); // the focused OK button
        QTRY_VERIFY(!app.object("messageAlert")->property("visible").toBool());
        QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 60000);
    }
}

// At twice the scale on a 1280 x 800 screen (640 x 400 points) and on an 800 x 600 screen every
// control lies within the window's width and is brought into view by scrolling down.
void WindowTest::everyControlIsReachableOnSmallScreens() {
    TempDir dir;
    for (const char* name : {"A.fcpbundle", "B.fcpbundle"})
        buildLibrary(dir.path(), {name, GiB});
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    chooseLocation(app, q(dir.path()), 2);
    if (QTest::currentTestFailed()) return;
    auto* scroller = qobject_cast<QQuickItem*>(app.item("bodyScroller"));
    QQuickItem* content = scroller->property("contentItem").value<QQuickItem*>();
    const QStringList controls{"refreshButton",
                               "locationListView",
                               "chooseOtherDirectoryButton",
                               "libraryFilter",
                               "sortButton0",
                               "sortButton3",
                               "libraryListView",
                               "revealButton",
                               "openButton",
                               "cleanRenderButton",
                               "cleanOptimizedButton",
                               "cleanAnalysisButton",
                               "cleanDiskButton",
                               "cleanHint"};
    for (const QSize size : {QSize(640, 400), QSize(800, 600), QSize(480, 420)}) {
        window->resize(size);
        QTRY_COMPARE(window->size(), size);
        for (const QString& name : controls) {
            QQuickItem* control = app.item(name);
            (void)centreOf(control);
            const QRectF inContent = control->mapRectToItem(content, control->boundingRect());
            const QString where = QString("%1 at %2x%3: %4,%5 %6x%7")
                                      .arg(name)
                                      .arg(size.width())
                                      .arg(size.height())
                                      .arg(inContent.x())
                                      .arg(inContent.y())
                                      .arg(inContent.width())
                                      .arg(inContent.height());
            QVERIFY2(inContent.left() >= 0 && inContent.right() <= scroller->width() &&
                         inContent.bottom() <= scroller->property("contentHeight").toReal(),
                     qPrintable(where));
            const qreal bottom = scroller->property("contentHeight").toReal() - scroller->height();
            scroller->setProperty("contentY", std::clamp(inContent.top() - 8, 0.0, std::max(0.0, bottom)));
            const QRectF shown = control->mapRectToScene(control->boundingRect());
            QVERIFY2(QRectF(QPointF(0, 0), QSizeF(size)).contains(shown), qPrintable(where));
        }
        scroller->setProperty("contentY", 0);
    }
}

// The window takes the desktop's palette as it changes: dark surfaces under light text or the
// reverse, and every text, the category colours included, readable on the list in both.
void WindowTest::followsTheDesktopPaletteReadably() {
    TempDir dir;
    buildLibrary(dir.path(), {"A.fcpbundle", GiB, GiB, GiB, GiB, GiB});
    WindowUnderTest app;
    chooseLocation(app, q(dir.path()), 1);
    if (QTest::currentTestFailed()) return;
    const QPalette desktop = QGuiApplication::palette();
    const QStringList texts{"libraryHeader",     "libraryTitle",     "cacheSizeText", "proxySizeText",
                            "optimizedSizeText", "analysisSizeText", "locationLabel", "locationSummary"};
    for (const auto scheme : {velmora::ColorScheme::dark, velmora::ColorScheme::light}) {
        const bool dark = scheme == velmora::ColorScheme::dark;
        QGuiApplication::setPalette(velmora::paletteFor(scheme));
        const QColor surface = velmora::paletteFor(scheme).color(QPalette::Base);
        QTRY_COMPARE(app.item("libraryList")->property("color").value<QColor>(), surface);
        const double shown = meanLuminance(app.window()->grabWindow());
        QVERIFY2(dark ? shown < 0.2 : shown > 0.6, qPrintable(QString::number(shown)));
        for (const QString& name : texts) {
            const double ratio = contrast(app.item(name)->property("color").value<QColor>(), surface);
            QVERIFY2(ratio >= 4.5, qPrintable(QString("%1: %2").arg(name).arg(ratio)));
        }
    }
    QGuiApplication::setPalette(desktop);
}

// On a 1280 x 800 screen at twice the scale, whose 640 x 400 points are less than the layout
// asks for, the window fits the screen and the rest scrolls.
void WindowTest::savesAPictureOnceListedAndFitsASmallScreen() {
    TempDir dir, empty;
    buildLibrary(dir.path(), {"Shown.fcpbundle", 0, GiB});
    std::ofstream(dir / "screens.json") << R"({"screens": [{"name": "laptop", "width": 1280, "height": 800,)"
                                           R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + q(dir / "screens.json"));
    environment.insert("QT_SCALE_FACTOR", "2");
    const QString png = q(dir / "window.png");
    // Without a library the program still saves the picture, but says so and fails. The
    // environment can ask for a dark look where the platform has no dark palette.
    const struct {
        std::string location;
        int exitCode;
        const char* scheme;
    } runs[] = {{dir.path(), 0, "dark"}, {empty.path(), 1, "light"}};
    for (const auto& [location, exitCode, scheme] : runs) {
        QProcess app;
        environment.insert("VELMORA_COLOR_SCHEME", scheme);
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
        const double shown = meanLuminance(image);
        QVERIFY2(exitCode == 0 ? shown < 0.2 : shown > 0.6,
                 qPrintable(QString("%1: %2").arg(scheme).arg(shown)));
    }
}

void WindowTest::showsLiveCountsWhileSearching() {
    TempDir dir;
    const std::string location = dir / "Large Drive";
    velmora::samples::generateSampleLocation(location, {.seed = 11, .entries = 120000, .libraries = 10});
    WindowUnderTest app;
    QQuickItem* indicator = app.item("retrievingIndicator");
    QQuickItem* counts = app.item("retrievalProgress");
    // The counts shown while the scan runs; the result waits for one past a thousand to show.
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

// With no portal on the bus the window's own dialog returns the folder the user went to (typed,
// double-clicked, or picked inside it), never one merely listed, and nothing when cancelled.
void WindowTest::ownChooserReturnsTheFolderTheUserWentTo() {
    if (busAddress.isEmpty()) QSKIP("dbus-daemon is not installed: the desktop calls cannot be checked");
    TempDir dir;
    velmora::testing::makeDirs(dir / "Projects/Sub/Deeper");
    velmora::testing::makeDirs(dir / "OnlyHidden/.cache");
    const QString projects = q(dir / "Projects");
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    velmora::DesktopDirectoryChooser chooser;
    chooser.attach(app.mainWindow->engine(), window);
    // Puts `path` in the path field as typing would and presses Return there: a folder is chosen.
    const auto typeAndReturn = [&](const QString& path) {
        app.item("directoryPathField")->forceActiveFocus();
        app.item("directoryPathField")->setProperty("text", path);
        QTest::keyClick(window, Qt::Key_Return);
    };
    const auto isOpen = [&] {
        QObject* dialog = window->findChild<QObject*>("directoryDialog");
        return dialog != nullptr && dialog->property("opened").toBool();
    };
    const auto goTo = [&](const QString& path) {
        QObject* browser = app.object("directoryDialog")->property("browser").value<QObject*>();
        QMetaObject::invokeMethod(browser, "go", Q_ARG(QString, path));
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
        typeAndReturn(q(dir / "missing")); // no folder: refused with a note, and the dialog stays
        QTRY_VERIFY(isShown(app.item("directoryPathError")) && isShown(app.item("directoryPathField")));
        goTo(projects + "/Sub");
        app.click("directoryUpButton");
        app.click("directoryChooseButton");
    };
    const std::pair<std::function<void()>, std::optional<QString>> table[] = {
        {[&] { app.click("directoryCancelButton"); }, std::nullopt},
        {[&] {
             typeAndReturn(q(dir / "OnlyHidden")); // its only subfolder is hidden
             QTRY_VERIFY(!isOpen());               // Return chose it
         },
         q(dir / "OnlyHidden")},
        {[&] { chooseSub(true); }, projects + "/Sub"},
        {[&] { chooseSub(false); }, projects + "/Sub"},
        {refusedThenUp, projects},
        // The next opening starts where the last one ended.
        {[&] {
             QCOMPARE(textOf(app.item("directoryPathField")), projects);
             app.click("directoryCancelButton");
         },
         std::nullopt},
    };
    for (const auto& [act, expected] : table) {
        // The call returns only once the dialog is answered: act from the event loop.
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

QTEST_MAIN(WindowTest)
#include "window_test.moc"
