// The list at scale through the real window: sort orders and the selection across them, the
// filter and its count, paging, the wheel and the scroll bar over 2,000 libraries.
#include "library/format_size.h"
#include "support/temp_tree.h"
#include "window_helpers.h"

#include <QTest>
#include <algorithm>

using namespace velmora::window_testing;
using velmora::BundleListModel;
using velmora::testing::TempDir;

namespace {

// The names of the rows the list shows, top to bottom; the first is the row drawn at the top.
QStringList shownNames(QQuickWindow* window) {
    waitForFrame(window);
    auto* list = findItem(window, QStringLiteral("libraryListView"));
    auto* model = qobject_cast<QAbstractItemModel*>(list->property("model").value<QObject*>());
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->data(model->index(row, 0), BundleListModel::DisplayNameRole).toString();
    if (!names.isEmpty()) {
        QQuickItem* top = findItem(window, QStringLiteral("libraryRow:") + names.front());
        if (top == nullptr || top->y() > 1)
            return {QStringLiteral("<the first row is not drawn at the top>")};
    }
    return names;
}

// Types `text` into the window's focused item, one key event per character.
void typeText(QQuickWindow* window, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(window, &press);
        QCoreApplication::sendEvent(window, &release);
    }
}

void clickSort(QQuickWindow* window, int key) {
    clickItem(window, findItem(window, QStringLiteral("sortButton%1").arg(key)));
}

// The selected record's row in the shown order, -1 when it is not shown.
int selectedRow(WindowUnderTest& app) {
    return app.view.shownBundles()->rowOf(app.view.selectedBundleID());
}

} // namespace

class WindowLibraryOrderTest : public QObject {
    Q_OBJECT

  private slots:
    void sortsAndFiltersKeepingTheSelection();
    void scrollsAndPagesThroughTwoThousandLibraries();
};

void WindowLibraryOrderTest::sortsAndFiltersKeepingTheSelection() {
    TempDir dir;
    const std::string location = dir / "Projects";
    // name, reclaimable (render + proxy), everything else
    const struct {
        const char* path;
        std::int64_t render, proxy, original;
    } libraries[] = {
        {"Lib2.fcpbundle", GiB / 2, GiB / 2, 5 * GiB},
        {"Lib10.fcpbundle", 2 * GiB, 2 * GiB, 0},
        {"lib1.fcpbundle", GiB, GiB, GiB},
        {"Cafe\xcc\x81.fcpbundle", GiB / 4, GiB / 4, 8 * GiB}, // decomposed é
        {"Archive/Zeta.fcpbundle", GiB, 2 * GiB, GiB / 4},
    };
    for (const auto& l : libraries)
        buildLibrary(location, {.relativePath = l.path,
                                .renderBytes = l.render,
                                .proxyBytes = l.proxy,
                                .originalBytes = l.original});

    WindowUnderTest app;
    QQuickWindow* window = app.window();
    QVERIFY(window != nullptr);
    chooseLocation(app, QString::fromStdString(location), 5);
    if (QTest::currentTestFailed()) return;

    QStringList scanOrder;
    std::int64_t whole = 0, reclaimable = 0, render = 0;
    for (const auto& bundle : app.view.fcpBundles()) {
        scanOrder << QString::fromStdString(bundle.displayName);
        whole += bundle.size;
        render += bundle.cacheSize();
        reclaimable += bundle.cacheSize() + bundle.proxySize() + bundle.optimizedSize() + bundle.analysisSize();
    }
    QCOMPARE(shownNames(window), scanOrder);

    // The totals under the header: the location, the sums of the rows, and its bar's picture of them.
    auto size = [](std::int64_t bytes) { return QString::fromStdString(velmora::formatSize(bytes)); };
    QCOMPARE(textOf(findItem(window, QStringLiteral("locationSummary"))),
             QStringLiteral("%1 · 5 个资源库 · 共 %2 · 可清理 %3")
                 .arg(app.view.selectedPath(), size(whole), size(reclaimable)));
    QCOMPARE(textOf(findItem(window, QStringLiteral("totalsCategoryText0"))), "缓存大小: " + size(render));
    QQuickItem* totalsBar = findItem(window, QStringLiteral("totalsBar"));
    QVERIFY(isShown(totalsBar));
    QCOMPARE(findChildItem(totalsBar, QStringLiteral("sizeBarPart0"))->width(),
             totalsBar->width() * static_cast<double>(render) / static_cast<double>(whole));
    // A row's bar: the largest library (Café) spans the width; Lib10 is nearly all regenerable.
    auto record = [&](const char* name) {
        for (const auto& bundle : app.view.fcpBundles())
            if (bundle.displayName == name) return bundle;
        return velmora::FCPBundle{};
    };
    const auto lib10 = record("Lib10.fcpbundle");
    const auto largest = record("Cafe\xcc\x81.fcpbundle");
    QQuickItem* lib10Bar = findChildItem(findItem(window, QStringLiteral("libraryRow:Lib10.fcpbundle")),
                                         QStringLiteral("sizeBar"));
    const double fullWidth = lib10Bar->width() / static_cast<double>(largest.size);
    QCOMPARE(findChildItem(lib10Bar, QStringLiteral("sizeBarWhole"))->width(), fullWidth * lib10.size);
    QCOMPARE(findChildItem(lib10Bar, QStringLiteral("sizeBarPart1"))->width(), fullWidth * lib10.proxySize());
    QCOMPARE(lib10Bar->property("description").toString(),
             QStringLiteral("总大小 4.00 GB；缓存大小: 2.00 GB；代理媒体: 2.00 GB；优化媒体: 0.00 "
                            "GB；媒体分析缓存: 0.00 GB"));

    // Select Lib2 by a click; it stays the selected record through every order.
    QQuickItem* lib2 = findItem(window, QStringLiteral("libraryRow:Lib2.fcpbundle"));
    clickItem(window, findChildItem(lib2, QStringLiteral("libraryTitle")));
    const QString lib2Id = app.view.selectedBundleID();
    QVERIFY(!lib2Id.isEmpty());

    const QString cafe = QString::fromUtf8("Cafe\xcc\x81.fcpbundle");
    const struct {
        int key;
        QStringList expected;
        int lib2Row;
    } orders[] = {
        // Names by the locale's collation, digits by value, case aside; a second click reverses.
        {1, {cafe, "lib1.fcpbundle", "Lib2.fcpbundle", "Lib10.fcpbundle", "Zeta.fcpbundle"}, 2},
        {1, {"Zeta.fcpbundle", "Lib10.fcpbundle", "Lib2.fcpbundle", "lib1.fcpbundle", cafe}, 2},
        // Sizes come largest first.
        {2, {cafe, "Lib2.fcpbundle", "Lib10.fcpbundle", "Zeta.fcpbundle", "lib1.fcpbundle"}, 1},
        {3, {"Lib10.fcpbundle", "Zeta.fcpbundle", "lib1.fcpbundle", "Lib2.fcpbundle", cafe}, 3},
        {3, {cafe, "Lib2.fcpbundle", "lib1.fcpbundle", "Zeta.fcpbundle", "Lib10.fcpbundle"}, 1},
        {0, scanOrder, static_cast<int>(scanOrder.indexOf("Lib2.fcpbundle"))},
    };
    for (const auto& order : orders) {
        clickSort(window, order.key);
        QCOMPARE(shownNames(window), order.expected);
        QCOMPARE(app.view.selectedBundleID(), lib2Id);
        QCOMPARE(selectedRow(app), order.lib2Row);
        QVERIFY(
            findItem(window, QStringLiteral("libraryRow:Lib2.fcpbundle"))->property("isSelected").toBool());
    }
    QCOMPARE(app.view.fcpBundles().size(), std::size_t{5}); // the list itself never changed order
    QCOMPARE(QString::fromStdString(app.view.fcpBundles()[0].displayName), scanOrder[0]);

    // A row's buttons act on that row's own library, whatever the order.
    clickSort(window, 3);
    QQuickItem* zeta = findItem(window, QStringLiteral("libraryRow:Zeta.fcpbundle"));
    clickItem(window, findChildItem(zeta, QStringLiteral("revealButton")));
    QCOMPARE(app.desktop.revealed, QStringList{QString::fromStdString(location + "/Archive/Zeta.fcpbundle")});

    // The filter: case and canonical form aside, in the name or the path; the header counts.
    QQuickItem* filter = findItem(window, QStringLiteral("libraryFilter"));
    QQuickItem* count = findItem(window, QStringLiteral("libraryFilterCount"));
    QVERIFY(!isShown(count));
    const struct {
        QString typed;
        QStringList expected;
    } filters[] = {
        {"LIB1", {"Lib10.fcpbundle", "lib1.fcpbundle"}},
        {QString::fromUtf8("CAF\xc3\x89"), {cafe}}, // precomposed É finds the decomposed é
        {"archive/", {"Zeta.fcpbundle"}},
        {"nothing like it", {}},
    };
    for (const auto& f : filters) {
        clickItem(window, filter);
        QTest::keySequence(window, QKeySequence::SelectAll);
        typeText(window, f.typed);
        QCOMPARE(textOf(filter), f.typed);
        QCOMPARE(shownNames(window), f.expected);
        QCOMPARE(textOf(count), QStringLiteral("%1 / 5 个资源库").arg(f.expected.size()));
        QVERIFY(isShown(count));
        // Lib2 is filtered out here, and stays the selection the buttons act on.
        QCOMPARE(app.view.selectedBundleID(), lib2Id);
        QCOMPARE(selectedRow(app), -1);
    }
    grabToPng(window, QStringLiteral("window_filter_empty"));
    // Esc clears the field: every library again, no count.
    QTest::keyClick(window, Qt::Key_Escape);
    QCOMPARE(textOf(filter), QString());
    QCOMPARE(shownNames(window).size(), 5);
    QVERIFY(!isShown(count));
    QCOMPARE(selectedRow(app), 3);
}

void WindowLibraryOrderTest::scrollsAndPagesThroughTwoThousandLibraries() {
    // 2,000 small libraries, every 14th a "Wedding", sizes spread so that the orders differ.
    TempDir dir;
    const std::string location = dir / "Archive Drive";
    for (int i = 0; i < 2000; ++i) {
        const std::string name = (i % 14 == 0 ? "Wedding " : "Project ") + std::to_string(i);
        buildLibrary(location, {.relativePath = "Year " + std::to_string(i % 5) + "/" + name + ".fcpbundle",
                                .renderBytes = (i * 7919 % 1000 + 1) * 1000000,
                                .proxyBytes = (i * 104729 % 700) * 1000000,
                                .originalBytes = (i * 31 % 997 + 1) * 10000000});
    }

    WindowUnderTest app;
    QQuickWindow* window = app.window();
    QVERIFY(window != nullptr);
    chooseLocation(app, QString::fromStdString(location), 2000);
    if (QTest::currentTestFailed()) return;

    auto* view = findItem(window, QStringLiteral("libraryListView"));
    QQuickItem* scrollBar = findItem(window, QStringLiteral("libraryScrollBar"));
    QVERIFY(view != nullptr && scrollBar != nullptr);
    waitForFrame(window);
    QVERIFY(isShown(scrollBar));
    QVERIFY(scrollBar->property("size").toDouble() < 0.05);

    // The wheel: one notch moves at least three rows.
    const double rowHeight = view->property("rowHeight").toDouble();
    QVERIFY(rowHeight > 20);
    const double before = view->property("contentY").toDouble();
    const QPointF at = view->mapToScene(QPointF(view->width() / 2, view->height() / 2));
    QWheelEvent wheel(at, window->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window, &wheel);
    QVERIFY2(view->property("contentY").toDouble() - before >= 3 * rowHeight - 1,
             qPrintable(QStringLiteral("moved %1 for rows of %2")
                            .arg(view->property("contentY").toDouble() - before)
                            .arg(rowHeight)));

    // Keys move the selection: End, Home, PageDown, PageUp.
    clickItem(window, view); // the row in the middle of the view
    QVERIFY(selectedRow(app) >= 0);
    auto* model = app.view.shownBundles();
    const int page = view->property("rowsPerPage").toInt();
    QVERIFY(page >= 3);
    const struct {
        Qt::Key key;
        int row;
    } keys[] = {{Qt::Key_End, 1999},          {Qt::Key_Home, 0},      {Qt::Key_PageDown, page},
                {Qt::Key_PageDown, 2 * page}, {Qt::Key_PageUp, page}, {Qt::Key_Down, page + 1}};
    for (const auto& k : keys) {
        QTest::keyClick(window, k.key);
        QCOMPARE(selectedRow(app), k.row);
        QCOMPARE(app.view.selectedBundleID(), model->idAt(k.row));
    }
    QTest::keyClick(window, Qt::Key_End);
    waitForFrame(window);
    QTRY_VERIFY(
        findItem(window,
                 QStringLiteral("libraryRow:") +
                     model->data(model->index(1999, 0), BundleListModel::DisplayNameRole).toString()) !=
        nullptr);
    QCOMPARE(scrollBar->property("position").toDouble() + scrollBar->property("size").toDouble(), 1.0);

    // The ten with the most reclaimable data, one click away; then narrowed by a name.
    clickSort(window, 3);
    auto reclaimable = [&](int row) {
        const QModelIndex index = model->index(row, 0);
        qint64 sum = 0;
        for (int role : {BundleListModel::CacheSizeRole, BundleListModel::ProxySizeRole,
                         BundleListModel::OptimizedSizeRole, BundleListModel::AnalysisSizeRole})
            sum += model->data(index, role).toLongLong();
        return sum;
    };
    for (int row = 1; row < model->rowCount(); ++row)
        QVERIFY2(reclaimable(row - 1) >= reclaimable(row), qPrintable(QString::number(row)));
    QTest::keyClick(window, Qt::Key_Home);
    grabToPng(window, QStringLiteral("window_2000_sorted"));

    clickItem(window, findItem(window, QStringLiteral("libraryFilter")));
    typeText(window, QStringLiteral("wedding"));
    QCOMPARE(model->rowCount(), 143);
    QCOMPARE(textOf(findItem(window, QStringLiteral("libraryFilterCount"))),
             QStringLiteral("143 / 2,000 个资源库"));
    for (int row = 1; row < model->rowCount(); ++row)
        QVERIFY(reclaimable(row - 1) >= reclaimable(row));
    grabToPng(window, QStringLiteral("window_2000_sorted_filtered"));
}

QTEST_MAIN(WindowLibraryOrderTest)
#include "window_library_order_test.moc"
