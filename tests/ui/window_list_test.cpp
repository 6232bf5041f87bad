// The lists through the real window: the user's language, sort orders, the filter, the
// keyboard, the rows' buttons, and paging through many libraries.
#include "i18n/translation.h"
#include "support/temp_tree.h"
#include "window_helpers.h"

#include <QTest>

using namespace velmora::window_testing;
using velmora::BundleListModel;
using velmora::testing::TempDir;

namespace {

// The names of the rows the list shows, top to bottom, once the first one is drawn at the top.
QStringList shownNames(WindowUnderTest& app) {
    waitForFrame(app.window());
    QAbstractItemModel* model = app.view.shownBundles();
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names << model->data(model->index(row, 0), BundleListModel::DisplayNameRole).toString();
    if (!names.isEmpty() && (app.row(names.front()) == nullptr || app.row(names.front())->y() > 1))
        return {"<the first row is not drawn at the top>"};
    return names;
}

// Types `text` into the focused item, one key event per character.
void typeText(QQuickWindow* window, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(window, &press);
        QCoreApplication::sendEvent(window, &release);
    }
}

int selectedRow(WindowUnderTest& app) {
    return app.view.shownBundles()->rowOf(app.view.selectedBundleID());
}

} // namespace

class WindowListTest : public QObject {
    Q_OBJECT

  private slots:
    void showsTheUsersLanguage();
    void sortsAndFiltersKeepingTheSelection();
    void keyboardAndRowButtons();
    void scrollsAndPagesThroughManyLibraries();
};

void WindowListTest::showsTheUsersLanguage() {
    (void)velmora::useTranslationFor(QLocale(QStringLiteral("en_US")));
    TempDir dir;
    const QString name = "A library with a name far too long for its row in a window at its smallest.fcpbundle";
    buildLibrary(dir.path(), {.relativePath = name.toStdString()});
    WindowUnderTest app;
    chooseLocation(app, q(dir.path()), 1);
    (void)velmora::useTranslationFor(QLocale(QStringLiteral("zh_CN")));
    if (QTest::currentTestFailed()) return;
    // Texts of the QML, of the C++ behind it, and the user folders' labels, in the list's order.
    QQuickItem* row = app.row(name);
    QCOMPARE((QStringList{textOf(app.item("locationHeader")), textOf(app.item("cleanDiskButton")),
                          textOf(app.item("sortButton0")), textOf(row, "analysisSizeText")}),
             (QStringList{"Choose a Drive or Folder", "Clean All Libraries", "Scan order", "Analysis Files: 0.00 GB"}));
    QStringList labels;
    for (QQuickItem* label : findItems(app.item("userDirRows")->parentItem(), "locationLabel"))
        labels << textOf(label);
    QCOMPARE(labels.mid(labels.size() - 6),
             (QStringList{"Home", "Desktop", "Downloads", "Movies", "Documents", "Pictures"}));

    // At the smallest size the window allows, a long name is shortened in its middle and the
    // row's buttons stay inside the list.
    app.window()->resize(app.window()->minimumWidth(), app.window()->minimumHeight());
    QTRY_COMPARE(app.window()->width(), app.window()->minimumWidth());
    waitForFrame(app.window());
    QQuickItem* title = findChildItem(row, "libraryTitle");
    QVERIFY(title->property("truncated").toBool());
    QVERIFY(textOf(title).endsWith("fcpbundle (0.00 GB)"));
    QQuickItem* open = findChildItem(row, "openButton");
    QVERIFY(open->mapToItem(app.item("libraryList"), QPointF(open->width(), 0)).x() <=
            app.item("libraryList")->width());
}

void WindowListTest::sortsAndFiltersKeepingTheSelection() {
    TempDir dir;
    const std::string location = dir / "Projects";
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
        buildLibrary(location, {.relativePath = l.path, .renderBytes = l.render, .proxyBytes = l.proxy,
                                .originalBytes = l.original});
    WindowUnderTest app;
    chooseLocation(app, q(location), 5);
    if (QTest::currentTestFailed()) return;
    QStringList scanOrder;
    for (const auto& bundle : app.view.fcpBundles())
        scanOrder << q(bundle.displayName);
    QCOMPARE(shownNames(app), scanOrder);
    QCOMPARE(textOf(app.item("locationSummary")),
             q(location) + " · 5 个资源库 · 共 24.75 GB · 可清理 10.50 GB");
    QCOMPARE(textOf(app.item("totalsCategoryText1")), QStringLiteral("代理媒体: 5.75 GB"));
    QVERIFY(isShown(app.item("totalsBar")));

    // Lib2 stays the selected record through every order; the active key shows its direction.
    clickItem(app.window(), findChildItem(app.row("Lib2.fcpbundle"), "libraryTitle"));
    const QString lib2 = app.view.selectedBundleID();
    const QString cafe = QString::fromUtf8("Cafe\xcc\x81.fcpbundle");
    const struct {
        int button;
        QString label;
        QStringList expected;
    } orders[] = {
        // Names by the locale's collation, digits by value, case aside; a second click reverses.
        {1, "名称 ↑", {cafe, "lib1.fcpbundle", "Lib2.fcpbundle", "Lib10.fcpbundle", "Zeta.fcpbundle"}},
        {1, "名称 ↓", {"Zeta.fcpbundle", "Lib10.fcpbundle", "Lib2.fcpbundle", "lib1.fcpbundle", cafe}},
        // Sizes come largest first.
        {2, "总大小 ↓", {cafe, "Lib2.fcpbundle", "Lib10.fcpbundle", "Zeta.fcpbundle", "lib1.fcpbundle"}},
        {3, "可清理大小 ↓", {"Lib10.fcpbundle", "Zeta.fcpbundle", "lib1.fcpbundle", "Lib2.fcpbundle", cafe}},
        {3, "可清理大小 ↑", {cafe, "Lib2.fcpbundle", "lib1.fcpbundle", "Zeta.fcpbundle", "Lib10.fcpbundle"}},
        {0, "扫描顺序", scanOrder},
    };
    for (const auto& order : orders) {
        app.click(QStringLiteral("sortButton%1").arg(order.button));
        QCOMPARE(textOf(app.item(QStringLiteral("sortButton%1").arg(order.button))), order.label);
        QCOMPARE(shownNames(app), order.expected);
        QCOMPARE(app.view.selectedBundleID(), lib2);
        QVERIFY(app.row("Lib2.fcpbundle")->property("isSelected").toBool());
    }

    // The filter: case and canonical form aside, in the name or the path; the header counts.
    QQuickItem* count = app.item("libraryFilterCount");
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
        app.click("libraryFilter");
        QTest::keySequence(app.window(), QKeySequence::SelectAll);
        typeText(app.window(), f.typed);
        QCOMPARE(shownNames(app), f.expected);
        QCOMPARE(textOf(count), QStringLiteral("%1 / 5 个资源库").arg(f.expected.size()));
        // Lib2 is filtered out here, and stays the selection the buttons act on.
        QCOMPARE(app.view.selectedBundleID(), lib2);
    }
    // Esc clears the field: every library again, no count.
    QTest::keyClick(app.window(), Qt::Key_Escape);
    QCOMPARE(shownNames(app), scanOrder);
    QVERIFY(!isShown(count));
}

void WindowListTest::keyboardAndRowButtons() {
    TempDir dir;
    buildLibrary(dir.path(), {.relativePath = "First.fcpbundle", .originalBytes = 2000});
    buildLibrary(dir.path(), {.relativePath = "Second.fcpbundle", .originalBytes = 1000});
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    chooseLocation(app, q(dir.path()), 2);
    if (QTest::currentTestFailed()) return;
    app.click("sortButton2"); // largest first: First, then Second
    QQuickItem* first = app.row("First.fcpbundle");
    QQuickItem* second = app.row("Second.fcpbundle");
    const QString firstPath = q(dir / "First.fcpbundle");
    const QString secondPath = q(dir / "Second.fcpbundle");

    // Tab goes through the controls in reading order; the rows' buttons are no stops.
    app.item("refreshButton")->forceActiveFocus(Qt::TabFocusReason);
    QStringList chain;
    for (int i = 0; i < 16; ++i) {
        chain << (window->activeFocusItem() ? window->activeFocusItem()->objectName() : "<none>");
        QTest::keyClick(window, Qt::Key_Tab);
    }
    QCOMPARE(chain, (QStringList{"refreshButton", "locationListView", "chooseOtherDirectoryButton", "libraryFilter",
                                 "sortButton0", "sortButton1", "sortButton2", "sortButton3", "libraryListView",
                                 "cleanRenderButton", "cleanProxyButton", "cleanOptimizedButton",
                                 "cleanAnalysisButton", "cleanLibraryButton", "cleanDiskButton", "refreshButton"}));

    // In the library list the keys move the selection, the focus ring on the selected row;
    // Ctrl+R and Ctrl+Return reach its two buttons; Ctrl-click on it clears the selection.
    app.item("libraryListView")->forceActiveFocus(Qt::TabFocusReason);
    const std::pair<Qt::Key, QQuickItem*> keys[] = {
        {Qt::Key_End, second}, {Qt::Key_Home, first}, {Qt::Key_PageDown, second}, {Qt::Key_Up, first}};
    for (const auto& [key, selected] : keys) {
        QTest::keyClick(window, key);
        QTRY_VERIFY(selected->property("isSelected").toBool());
        QVERIFY(isShown(findChildItem(selected, "rowFocusRing")));
    }
    QVERIFY(!isShown(findChildItem(second, "rowFocusRing")));
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(app.desktop.revealed, QStringList{firstPath});
    QCOMPARE(app.desktop.opened, QStringList{firstPath});
    waitForFrame(window);
    QTest::mouseClick(window, Qt::LeftButton, Qt::ControlModifier, centreOf(findChildItem(first, "libraryTitle")));
    QTRY_COMPARE(app.view.selectedBundleID(), QString());

    // A row's buttons act on their own library and leave the selection alone; a desktop that
    // cannot do it says so in the alert.
    clickItem(window, findChildItem(first, "libraryTitle"));
    clickItem(window, findChildItem(second, "revealButton"));
    clickItem(window, findChildItem(second, "openButton"));
    QCOMPARE(app.desktop.revealed.last(), secondPath);
    QCOMPARE(app.desktop.opened.last(), secondPath);
    QVERIFY(first->property("isSelected").toBool() && !second->property("isSelected").toBool());
    app.desktop.failing = true;
    for (const auto& [button, text] : {std::pair{"revealButton", "无法在文件管理器中显示 %1。"},
                                       std::pair{"openButton", "无法打开 %1。"}}) {
        clickItem(window, findChildItem(second, button));
        QTRY_VERIFY(app.object("messageAlert")->property("opened").toBool());
        QCOMPARE(textOf(app.item("alertMessage")), QString(text).arg(secondPath));
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(!app.object("messageAlert")->property("visible").toBool());
    }

    // The location list: Tab enters on the chosen row, the keys move a ring over both
    // sections, Return chooses the row under it, which alone is then tinted.
    const QStringList paths = app.view.drives() + app.view.userDirs();
    const int last = int(paths.size()) - 1;
    const int chosen = int(app.view.drives().size()) + 1; // a user folder, not the home
    const auto location = [&](int i) { return app.item("locationRow:" + paths[i]); };
    const auto ringAt = [&](int i) { return isShown(findChildItem(location(i), "locationFocusRing")); };
    const auto tinted = [&](int i) {
        return findChildItem(location(i), "locationHighlight")->property("color").value<QColor>().alpha() > 0;
    };
    clickItem(window, location(chosen));
    QTRY_VERIFY(tinted(chosen) && !tinted(last));
    app.item("locationListView")->forceActiveFocus(Qt::TabFocusReason);
    QTRY_VERIFY(ringAt(chosen));
    const std::pair<Qt::Key, int> moves[] = {{Qt::Key_End, last}, {Qt::Key_Home, 0},   {Qt::Key_PageDown, last},
                                             {Qt::Key_Up, last - 1}, {Qt::Key_PageUp, 0}, {Qt::Key_Down, 1},
                                             {Qt::Key_End, last}};
    for (const auto& [key, ringed] : moves) {
        QTest::keyClick(window, key);
        QTRY_VERIFY2(ringAt(ringed), qPrintable(paths[ringed]));
    }
    QTest::keyClick(window, Qt::Key_Return);
    QCOMPARE(app.view.selectedPath(), paths[last]);
    QTRY_VERIFY(tinted(last) && !tinted(chosen));
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 60000);
}

void WindowListTest::scrollsAndPagesThroughManyLibraries() {
    TempDir dir;
    for (int i = 0; i < 300; ++i)
        buildLibrary(dir.path(), {.relativePath = "Year " + std::to_string(i % 5) + "/Project " + std::to_string(i) +
                                                  ".fcpbundle",
                                  .renderBytes = (i * 7919 % 1000 + 1) * 1000000,
                                  .proxyBytes = (i * 104729 % 700) * 1000000});
    WindowUnderTest app;
    chooseLocation(app, q(dir.path()), 300);
    if (QTest::currentTestFailed()) return;
    QQuickItem* view = app.item("libraryListView");
    QQuickItem* scrollBar = app.item("libraryScrollBar");
    waitForFrame(app.window());
    QVERIFY(isShown(scrollBar));

    // One notch of the wheel moves three rows.
    const double rowHeight = app.row(shownNames(app).front())->height();
    const double before = view->property("contentY").toDouble();
    const QPointF at = view->mapToScene(QPointF(view->width() / 2, view->height() / 2));
    QWheelEvent wheel(at, app.window()->mapToGlobal(at.toPoint()), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(app.window(), &wheel);
    QVERIFY(qAbs(view->property("contentY").toDouble() - before - 3 * rowHeight) < 1);

    // Keys move the selection by one, by a page (less than the rows in view), or to either
    // end; the view follows it.
    clickItem(app.window(), view); // the row in the middle of the view
    QTest::keyClick(app.window(), Qt::Key_Home);
    QTest::keyClick(app.window(), Qt::Key_PageDown);
    const int page = selectedRow(app);
    QVERIFY2(page >= 3 && page < view->height() / rowHeight, qPrintable(QString::number(page)));
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_PageDown, 2 * page}, {Qt::Key_PageUp, page},
                                            {Qt::Key_Down, page + 1},     {Qt::Key_End, 299}};
    for (const auto& [key, row] : keys) {
        QTest::keyClick(app.window(), key);
        QCOMPARE(selectedRow(app), row);
    }
    QTRY_COMPARE(scrollBar->property("position").toDouble() + scrollBar->property("size").toDouble(), 1.0);
    const QModelIndex lastRow = app.view.shownBundles()->index(299, 0);
    QVERIFY(app.row(lastRow.data(BundleListModel::DisplayNameRole).toString()) != nullptr);
    grabToPng(app.window(), "window_many_libraries");
}

QTEST_MAIN(WindowListTest)
#include "window_list_test.moc"
