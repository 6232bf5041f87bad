// The left column while a large location is being searched: spinner, its text and the live
// counts, grabbed to PNG mid-scan.
#include "samples/sample_tree.h"
#include "support/temp_tree.h"
#include "window_helpers.h"

#include <QRegularExpression>
#include <QTest>

using namespace velmora::window_testing;
using velmora::testing::TempDir;

class WindowScanProgressTest : public QObject {
    Q_OBJECT

  private slots:
    void showsLiveCountsWhileSearching();
};

void WindowScanProgressTest::showsLiveCountsWhileSearching() {
    TempDir dir;
    const std::string location = dir / "Large Drive";
    velmora::samples::SampleOptions options;
    options.seed = 11;
    options.entries = 120000;
    options.libraries = 10;
    options.large = true;
    const velmora::samples::SampleLocation generated =
        velmora::samples::generateSampleLocation(location, options);

    WindowUnderTest app;
    QQuickWindow* window = app.window();
    QVERIFY(window != nullptr);
    QQuickItem* indicator = findItem(window, QStringLiteral("retrievingIndicator"));
    QQuickItem* counts = findItem(window, QStringLiteral("retrievalProgress"));
    QVERIFY(indicator != nullptr && counts != nullptr);

    // Each count the window shows while the scan runs, digits grouped by thousands; the last
    // one is kept as a picture. The finished walk's result is held back until the window has
    // shown its whole count, so a walk faster than the refresh still shows one past a thousand.
    const QRegularExpression countsText(
        QStringLiteral("^已扫描 \\d{1,3}(,\\d{3})* 项 · 找到 \\d+ 个资源库$"));
    QStringList shownWhileSearching;
    QString lastGrab;
    QObject::connect(&app.view, &velmora::ContentView::retrievalProgressTextChanged, &app.view, [&] {
        if (!app.view.isRetrieving() || app.view.retrievalProgressText().isEmpty()) {
            return;
        }
        if (isShown(indicator) && isShown(counts)) {
            shownWhileSearching << textOf(counts);
            lastGrab = grabToPng(window, QStringLiteral("window_scan_progress"));
        } else {
            shownWhileSearching << QStringLiteral("<hidden>");
        }
    });

    app.chooser.answers.push_back(QString::fromStdString(location));
    app.dispatch.hold();
    clickItem(window, findItem(window, QStringLiteral("chooseOtherDirectoryButton")));
    QVERIFY(isShown(indicator));
    QTRY_VERIFY_WITH_TIMEOUT(app.dispatch.holdsWork(), 120000);
    QTRY_VERIFY(!shownWhileSearching.isEmpty() && shownWhileSearching.last().contains(QLatin1Char(',')));
    app.dispatch.release();
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 120000);

    QCOMPARE(app.view.fcpBundlesModel()->count(), static_cast<int>(generated.libraries.size()));
    for (const QString& text : shownWhileSearching) {
        QVERIFY2(countsText.match(text).hasMatch(), qPrintable(text));
    }
    QVERIFY2(!lastGrab.isEmpty(), "no grab of the window was saved during the scan");
    qInfo("counts shown during the scan: %s", qPrintable(shownWhileSearching.join(QStringLiteral(" | "))));

    // When the scan has published, the indicator and its counts are gone.
    QTRY_VERIFY(!isShown(indicator));

    // Stopping a search: its result is dropped and the list keeps what it showed.
    QStringList ids;
    for (int row = 0; row < app.view.shownBundles()->count(); ++row)
        ids << app.view.shownBundles()->idAt(row);
    QQuickItem* stop = findItem(window, QStringLiteral("stopRetrievalButton"));
    QVERIFY(stop != nullptr);
    bool stopShown = false;
    QObject::connect(&app.view, &velmora::ContentView::isRetrievingChanged, &app.view, [&] {
        if (!app.view.isRetrieving()) return;
        stopShown = isShown(stop) && stop->isEnabled();
        QMetaObject::invokeMethod(stop, "clicked");
        QVERIFY(!stop->isEnabled()); // asked once; the walk ends on its own
    });
    app.chooser.answers.push_back(QString::fromStdString(location));
    clickItem(window, findItem(window, QStringLiteral("chooseOtherDirectoryButton")));
    QVERIFY(stopShown);
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 5000);
    QStringList idsAfter;
    for (int row = 0; row < app.view.shownBundles()->count(); ++row)
        idsAfter << app.view.shownBundles()->idAt(row);
    QCOMPARE(idsAfter, ids);
    QVERIFY(!isShown(indicator));
}

QTEST_MAIN(WindowScanProgressTest)
#include "window_scan_progress_test.moc"
