// The road of a cleaning through the real window: real clicks, real queues, real files.
#include "support/temp_tree.h"
#include "support/tree_listing.h"
#include "window_helpers.h"

#include <QQmlEngine>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <set>

using namespace velmora::window_testing;
using velmora::testing::TempDir;

namespace {

QQuickItem* rowNamed(QQuickWindow* window, const QString& displayName) {
    return findItem(window, QStringLiteral("libraryRow:") + displayName);
}

QString rowText(QQuickItem* row, const char* name) {
    return textOf(findChildItem(row, QString::fromLatin1(name)));
}

bool anyRowSelected(QQuickWindow* window) {
    for (QQuickItem* item : findItems(window, QStringLiteral("rowSelectArea"))) {
        if (item->parentItem() != nullptr && item->parentItem()->property("isSelected").toBool()) {
            return true;
        }
    }
    return false;
}

// Presses "一键清理硬盘" and confirms it in the dialog that asks first.
void cleanWholeLocation(QQuickWindow* window) {
    clickItem(window, findItem(window, QStringLiteral("cleanDiskButton")));
    QObject* confirm = findObject(window, QStringLiteral("confirmCleanDialog"));
    QTRY_VERIFY(confirm->property("opened").toBool());
    clickItem(window, findItem(window, QStringLiteral("confirmCleanButton")));
}

// Whole-location cleanings stopped part way, checked against the disk: entries other than the
// matched ones all stay, and the alert's count is the matched entries now gone.
struct StoppedRun {
    std::set<std::string> matched;
    std::set<std::string> before;

    explicit StoppedRun(const std::string& location) : before(velmora::testing::listTree(location)) {
        for (const std::string& entry : before)
            if (std::string m = velmora::testing::regenerableEntry(entry); !m.empty()) matched.insert(m);
    }

    void check(const std::string& location, const QString& alert) const {
        const std::set<std::string> after = velmora::testing::listTree(location);
        for (const std::string& entry : before)
            QVERIFY2(!velmora::testing::regenerableEntry(entry).empty() || after.count(entry), entry.c_str());
        std::size_t gone = 0;
        for (const std::string& entry : matched)
            gone += !after.count(entry + "/") && !after.count(entry);
        const QRegularExpression text(QStringLiteral("^清理已停止。停止前已删除 ([0-9,]+) 项。$"));
        const QRegularExpressionMatch match = text.match(alert);
        QVERIFY2(match.hasMatch(), qPrintable(alert));
        QCOMPARE(match.captured(1).remove(QLatin1Char(',')).toULongLong(), static_cast<qulonglong>(gone));
        QVERIFY(gone >= 1);
        QVERIFY2(gone < matched.size(), "the run was not stopped part way");
    }
};

} // namespace

class WindowCleaningTest : public QObject {
    Q_OBJECT

  private slots:
    void cleansProxyMediaOfTheSelectedRow();
    void cleansTheWholeLocationWithPercentages();
    void stopsAWholeLocationCleaningPartWay();
};

void WindowCleaningTest::cleansProxyMediaOfTheSelectedRow() {
    TempDir dir;
    const std::string location = dir / "Footage";
    buildLibrary(location, {.relativePath = "Alpha.fcpbundle",
                            .renderBytes = GiB / 2,
                            .proxyBytes = GiB,
                            .optimizedBytes = GiB / 4,
                            .analysisFilesBytes = GiB * 3 / 10,
                            .originalBytes = 2 * GiB});
    buildLibrary(location, {.relativePath = "2024/Beta.fcpbundle", .proxyBytes = 3 * GiB / 2});

    WindowUnderTest app;
    QQuickWindow* window = app.window();
    QVERIFY(window != nullptr);

    chooseLocation(app, QString::fromStdString(location), 2);
    if (QTest::currentTestFailed()) return;

    // The rows show the measured sizes.
    QQuickItem* alpha = nullptr;
    QTRY_VERIFY((alpha = rowNamed(window, QStringLiteral("Alpha.fcpbundle"))) != nullptr);
    QCOMPARE(rowText(alpha, "libraryTitle"), QStringLiteral("Alpha.fcpbundle (4.05 GB)"));
    QCOMPARE(rowText(alpha, "cacheSizeText"), QStringLiteral("缓存大小: 0.50 GB"));
    QCOMPARE(rowText(alpha, "proxySizeText"), QStringLiteral("代理媒体: 1.00 GB"));
    QCOMPARE(rowText(alpha, "optimizedSizeText"), QStringLiteral("优化媒体: 0.25 GB"));
    QCOMPARE(rowText(alpha, "analysisSizeText"), QStringLiteral("媒体分析缓存: 0.30 GB"));
    QQuickItem* beta = rowNamed(window, QStringLiteral("Beta.fcpbundle"));
    QVERIFY(beta != nullptr);
    QCOMPARE(rowText(beta, "proxySizeText"), QStringLiteral("代理媒体: 1.50 GB"));
    QVERIFY(!anyRowSelected(window));
    QVERIFY(!isShown(findItem(window, QStringLiteral("emptyListText"))));
    // "一键清理硬盘" would ask with the sums of each kind over the listed rows.
    QCOMPARE(app.view.cleanAllConfirmationText(),
             QStringLiteral("将从 %1 中的 2 个资源库删除：时间线渲染缓存 0.50 GB、代理媒体 2.50 GB、"
                            "优化媒体 0.25 GB、媒体分析缓存 0.30 GB。原始媒体和项目保留不动。")
                 .arg(QString::fromStdString(location)));

    // Selecting the row by a click on its title.
    clickItem(window, findChildItem(alpha, QStringLiteral("libraryTitle")));
    const QString alphaID = alpha->property("bundleId").toString();
    QVERIFY(!alphaID.isEmpty());
    QCOMPARE(app.view.selectedBundleID(), alphaID);
    QTRY_VERIFY(alpha->property("isSelected").toBool());
    QVERIFY(!beta->property("isSelected").toBool());

    // The progress section as it stands when the run starts.
    QQuickItem* progressSection = findItem(window, QStringLiteral("progressSection"));
    QQuickItem* progressText = findItem(window, QStringLiteral("progressText"));
    QVERIFY(progressSection != nullptr && progressText != nullptr);
    QVERIFY(!isShown(progressSection));
    QStringList sectionWhileCleaning;
    QObject::connect(&app.view, &velmora::ContentView::progressTextChanged, &app.view, [&] {
        sectionWhileCleaning << (isShown(progressSection) ? textOf(progressText)
                                                          : QStringLiteral("<hidden>"));
    });

    clickItem(window, findItem(window, QStringLiteral("cleanProxyButton")));
    QCOMPARE(sectionWhileCleaning, QStringList{QStringLiteral("正在清理代理媒体...")});

    // The alert closes the run.
    QObject* alert = findObject(window, QStringLiteral("messageAlert"));
    QVERIFY(alert != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 20000);
    QVERIFY(!app.view.isCleaning());
    QVERIFY(!isShown(progressSection));
    QCOMPARE(textOf(findItem(window, QStringLiteral("alertMessage"))), QStringLiteral("已清理代理媒体。"));
    grabToPng(window, QStringLiteral("window_alert"));

    // Only the proxy media of the selected library went.
    const std::string alphaEvent = location + "/Alpha.fcpbundle/Event 1";
    QVERIFY(!exists(alphaEvent + "/Transcoded Media/Proxy Media"));
    QVERIFY(exists(alphaEvent + "/Transcoded Media/High Quality Media/clip.mov"));
    QVERIFY(exists(alphaEvent + "/Render Files/High Quality Media/render.mov"));
    QVERIFY(exists(alphaEvent + "/Original Media/clip.mov"));
    QVERIFY(exists(location + "/2024/Beta.fcpbundle/Event 1/Transcoded Media/Proxy Media/clip.mov"));

    // Its button dismisses it.
    QQuickItem* okButton = findItem(window, QStringLiteral("alertOkButton"));
    QVERIFY(okButton != nullptr);
    clickItem(window, okButton);
    QTRY_VERIFY(!alert->property("visible").toBool());
    QVERIFY(!app.view.showAlert());

    // The rescan shows the new sizes, and no row is selected any more.
    QTRY_VERIFY_WITH_TIMEOUT(
        !app.view.isRetrieving() && rowNamed(window, QStringLiteral("Alpha.fcpbundle")) != nullptr &&
            rowNamed(window, QStringLiteral("Alpha.fcpbundle"))->property("bundleId").toString() != alphaID,
        20000);
    alpha = rowNamed(window, QStringLiteral("Alpha.fcpbundle"));
    QCOMPARE(rowText(alpha, "proxySizeText"), QStringLiteral("代理媒体: 0.00 GB"));
    QCOMPARE(rowText(alpha, "optimizedSizeText"), QStringLiteral("优化媒体: 0.25 GB"));
    QCOMPARE(rowText(alpha, "libraryTitle"), QStringLiteral("Alpha.fcpbundle (3.05 GB)"));
    QCOMPARE(app.view.selectedBundleID(), alphaID);
    QVERIFY(!anyRowSelected(window));

    const QString png = grabToPng(window, QStringLiteral("window_click_through"));
    QVERIFY2(!png.isEmpty(), "the window grab could not be saved");

    // A removal that fails is reported with the count and the entry, never as done.
    const std::string betaProxy =
        location + "/2024/Beta.fcpbundle/Event 1/Transcoded Media/Proxy Media/clip.mov";
    const velmora::testing::ImmutableFiles locked({betaProxy});
    if (!locked.marked()) QSKIP("chattr +i is not supported on the temporary folder's file system");
    clickItem(window, findChildItem(rowNamed(window, QStringLiteral("Beta.fcpbundle")),
                                    QStringLiteral("libraryTitle")));
    clickItem(window, findItem(window, QStringLiteral("cleanProxyButton")));
    QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 20000);
    QCOMPARE(textOf(findItem(window, QStringLiteral("alertMessage"))),
             QStringLiteral("代理媒体中有 1 项无法删除。第一个无法删除的是 ") +
                 QString::fromStdString(betaProxy) + QStringLiteral("：Operation not permitted"));
    QVERIFY(exists(betaProxy));
    grabToPng(window, QStringLiteral("window_failure_alert"));
}

void WindowCleaningTest::cleansTheWholeLocationWithPercentages() {
    TempDir dir;
    const std::string location = dir / "Disk";
    const std::vector<std::string> names{"One.fcpbundle", "Two.fcpbundle", "Nested/Three.fcpbundle"};
    for (const std::string& name : names) {
        buildLibrary(location, {.relativePath = name,
                                .renderBytes = 100000,
                                .proxyBytes = 200000,
                                .optimizedBytes = 300000,
                                .analysisFilesBytes = 1000,
                                .analysisCacheBytes = 400000,
                                .originalBytes = 500000});
    }

    WindowUnderTest app;
    QQuickWindow* window = app.window();
    QVERIFY(window != nullptr);
    chooseLocation(app, QString::fromStdString(location), 3);
    if (QTest::currentTestFailed()) return;

    // Every text the progress label shows while the run goes, in order.
    QQuickItem* progressText = findItem(window, QStringLiteral("progressText"));
    QQuickItem* progressSection = findItem(window, QStringLiteral("progressSection"));
    QStringList shown;
    QObject::connect(&app.view, &velmora::ContentView::progressTextChanged, &app.view, [&] {
        shown << (isShown(progressSection) ? textOf(progressText) : QStringLiteral("<hidden>"));
        if (shown.back() == QStringLiteral("正在清理... 50%")) {
            grabToPng(window, QStringLiteral("window_clean_disk_progress"));
        }
    });

    // The run asks first, naming the location and what goes; Escape and the default button
    // (cancel, taken by Return) leave everything as it is.
    QObject* confirm = findObject(window, QStringLiteral("confirmCleanDialog"));
    QVERIFY(confirm != nullptr);
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        clickItem(window, findItem(window, QStringLiteral("cleanDiskButton")));
        QTRY_VERIFY(confirm->property("opened").toBool());
        QCOMPARE(textOf(findItem(window, QStringLiteral("confirmMessage"))),
                 QStringLiteral("将从 %1 中的 3 个资源库删除：时间线渲染缓存 0.00 GB、代理媒体 0.00 GB、"
                                "优化媒体 0.00 GB、媒体分析缓存 0.00 GB。原始媒体和项目保留不动。")
                     .arg(QString::fromStdString(location)));
        if (key == Qt::Key_Escape) grabToPng(window, QStringLiteral("window_confirm_clean"));
        QTest::keyClick(window, key);
        QTRY_VERIFY(!confirm->property("visible").toBool());
        QVERIFY(!app.view.isCleaning());
        QVERIFY(shown.isEmpty());
        QVERIFY(exists(location + "/One.fcpbundle/Event 1/Render Files"));
    }

    // No row needs to be selected: the run takes every library of the chosen location.
    cleanWholeLocation(window);
    QObject* alert = findObject(window, QStringLiteral("messageAlert"));
    QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 30000);

    QStringList expected{QStringLiteral("正在清理硬盘上的所有资源库...")};
    for (const char* percent : {"8", "16", "25", "33", "41", "50", "58", "66", "75", "83", "91", "100"}) {
        expected << QStringLiteral("正在清理... %1%").arg(QLatin1String(percent));
    }
    QCOMPARE(shown, expected);
    QCOMPARE(textOf(findItem(window, QStringLiteral("alertMessage"))),
             QStringLiteral("已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。"));
    QCOMPARE(findItem(window, QStringLiteral("progressBar"))->property("value").toDouble(), 1.0);
    QVERIFY(!isShown(progressSection));

    for (const std::string& name : names) {
        const std::string event = location + "/" + name + "/Event 1";
        for (const char* gone : {"Render Files", "Transcoded Media/Proxy Media",
                                 "Transcoded Media/High Quality Media", "Analysis Cache", "Analysis Files"}) {
            QVERIFY2(!exists(event + "/" + gone), (name + ": " + gone).c_str());
        }
        QVERIFY2(exists(event + "/Original Media/clip.mov"), name.c_str());
    }

    // Escape dismisses the alert as well.
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!alert->property("visible").toBool());
    QVERIFY(!app.view.showAlert());
    grabToPng(window, QStringLiteral("window_clean_disk"));
}

void WindowCleaningTest::stopsAWholeLocationCleaningPartWay() {
    TempDir dir;
    const std::string location = dir / "Big Drive";
    constexpr int kLibraries = 150;
    // Made whole again before each run: the scan order varies, and a run that began with a
    // library the last one emptied would stop before it removed anything.
    const auto buildAll = [&] {
        for (int i = 0; i < kLibraries; ++i) {
            buildLibrary(location, {.relativePath = "Client " + std::to_string(i % 7) + "/Cut " +
                                                    std::to_string(i) + ".fcpbundle",
                                    .renderBytes = 3000,
                                    .proxyBytes = 2000,
                                    .optimizedBytes = 1000,
                                    .analysisFilesBytes = 500,
                                    .analysisCacheBytes = 400,
                                    .originalBytes = 9000});
        }
    };
    buildAll();

    WindowUnderTest app;
    QQuickWindow* window = app.window();
    QVERIFY(window != nullptr);
    chooseLocation(app, QString::fromStdString(location), kLibraries);
    if (QTest::currentTestFailed()) return;
    const QString listedId = app.view.shownBundles()->idAt(0);
    QQuickItem* progressText = findItem(window, QStringLiteral("progressText"));
    QQuickItem* stopButton = findItem(window, QStringLiteral("stopCleaningButton"));
    QObject* alert = findObject(window, QStringLiteral("messageAlert"));
    QVERIFY(progressText != nullptr && stopButton != nullptr && alert != nullptr);

    // 1. The stop button, pressed once the first task has finished.
    StoppedRun first(location);
    QVERIFY(first.matched.size() > 400);
    bool pressed = false;
    QString shownAfterPress;
    auto connection = QObject::connect(&app.view, &velmora::ContentView::progressTextChanged, &app.view, [&] {
        if (pressed) {
            shownAfterPress = textOf(progressText);
            return;
        }
        if (!app.view.progressText().startsWith(QStringLiteral("正在清理... "))) return;
        pressed = isShown(stopButton) && stopButton->isEnabled();
        QMetaObject::invokeMethod(stopButton, "clicked");
    });
    cleanWholeLocation(window);
    QTRY_VERIFY_WITH_TIMEOUT(alert->property("opened").toBool(), 60000);
    QObject::disconnect(connection);
    QVERIFY(pressed);
    QCOMPARE(shownAfterPress, QStringLiteral("正在停止清理..."));
    QVERIFY(!app.view.isCleaning());
    const QString firstAlert = textOf(findItem(window, QStringLiteral("alertMessage")));
    first.check(location, firstAlert);
    if (QTest::currentTestFailed()) return;
    grabToPng(window, QStringLiteral("window_clean_stopped"));
    // The rescan follows, as after any run.
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving() && app.view.shownBundles()->idAt(0) != listedId, 20000);
    QTest::keyClick(window, Qt::Key_Escape);
    QTRY_VERIFY(!alert->property("visible").toBool());

    // 2. Closing the window during a cleaning asks; stopping ends the run the same way, then quits.
    buildAll();
    StoppedRun second(location);
    QSignalSpy quit(qmlEngine(window), &QQmlEngine::quit);
    QObject* dialog = findObject(window, QStringLiteral("stopOnCloseDialog"));
    QVERIFY(dialog != nullptr);
    bool asked = false;
    connection = QObject::connect(&app.view, &velmora::ContentView::progressTextChanged, &app.view, [&] {
        if (asked || !app.view.progressText().startsWith(QStringLiteral("正在清理... "))) return;
        window->close();
        asked = dialog->property("opened").toBool() || dialog->property("visible").toBool();
        QVERIFY(app.view.isCleaning());
        QMetaObject::invokeMethod(findObject(window, QStringLiteral("stopAndQuitButton")), "clicked");
    });
    cleanWholeLocation(window);
    QTRY_VERIFY_WITH_TIMEOUT(quit.count() == 1, 60000);
    QObject::disconnect(connection);
    QVERIFY(asked);
    QVERIFY(!app.view.isCleaning());
    second.check(location, app.view.alertMessage());
}

QTEST_MAIN(WindowCleaningTest)
#include "window_cleaning_test.moc"
