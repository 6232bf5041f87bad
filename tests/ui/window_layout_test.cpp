// The window as it stands: texts, measures, the two button looks, the location rows.
#include "i18n/translation.h"
#include "platform/uuid.h"
#include "support/temp_tree.h"
#include "window_helpers.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlProperty>
#include <QTest>

using namespace velmora::window_testing;
using velmora::testing::TempDir;

namespace {

const QStringList fancyButtons{QStringLiteral("chooseOtherDirectoryButton"),
                               QStringLiteral("cleanRenderButton"),
                               QStringLiteral("cleanProxyButton"),
                               QStringLiteral("cleanOptimizedButton"),
                               QStringLiteral("cleanAnalysisButton"),
                               QStringLiteral("cleanLibraryButton"),
                               QStringLiteral("cleanDiskButton")};

// Shows the window in the language of `locale` while in scope, then the source texts again.
class LanguageScope {
  public:
    explicit LanguageScope(const QString& locale) { (void)velmora::useTranslationFor(QLocale(locale)); }
    ~LanguageScope() { (void)velmora::useTranslationFor(QLocale(QStringLiteral("zh_CN"))); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;
};

// The two languages every fixed text is checked in: the source texts and the English table.
void addLanguageRows() {
    QTest::addColumn<QString>("locale");
    QTest::newRow("Chinese") << QStringLiteral("zh_CN");
    QTest::newRow("English") << QStringLiteral("en_US");
}

bool isEnglish(const QString& locale) {
    return locale.startsWith(QStringLiteral("en"));
}

QString toolTipOf(QQuickItem* item) {
    return QQmlProperty(item, QStringLiteral("ToolTip.text"), qmlContext(item)).read().toString();
}

// The look of `button` while the mouse holds it down, then after release.
void checkPressedLook(QQuickWindow* window, QQuickItem* button) {
    QQuickItem* fill = findChildItem(button, QStringLiteral("fill"));
    QQuickItem* outline = findChildItem(button, QStringLiteral("outline"));
    QVERIFY(fill != nullptr && outline != nullptr);
    const QSizeF sizeBefore = button->size();
    const QPointF placeBefore = button->position();
    QCOMPARE(button->scale(), 1.0);
    QCOMPARE(fill->opacity(), 1.0);

    waitForFrame(window);
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, centreOf(button));
    QTRY_COMPARE(button->scale(), 0.97);
    QTRY_COMPARE(fill->opacity(), 0.7);
    QCOMPARE(outline->opacity(), 1.0);
    QCOMPARE(outline->property("border").value<QObject*>()->property("color").value<QColor>(),
             QColor("#2C3E58"));
    // The shrink is drawn only: the button keeps its place and size in the layout.
    QCOMPARE(button->size(), sizeBefore);
    QCOMPARE(button->position(), placeBefore);

    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    QTRY_COMPARE(button->scale(), 1.0);
    QTRY_COMPARE(fill->opacity(), 1.0);
}

} // namespace

class WindowLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void startsEmptyWithEveryFixedText_data() { addLanguageRows(); }
    void startsEmptyWithEveryFixedText();
    void keepsTheMeasures_data() { addLanguageRows(); }
    void keepsTheMeasures();
    void showsThePressedLook();
    void locationRowsSelectAndHighlight();
    void rowButtonsActOnTheirOwnLibrary();
};

void WindowLayoutTest::startsEmptyWithEveryFixedText() {
    QFETCH(QString, locale);
    const LanguageScope language(locale);
    const bool english = isEnglish(locale);
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    QVERIFY(window != nullptr);
    QCOMPARE(window->title(), QStringLiteral("Velmora"));

    // Appearance read the locations; nothing is chosen or shown yet.
    QVERIFY(!app.view.userDirs().isEmpty());
    QVERIFY(app.view.selectedPath().isEmpty());
    QVERIFY(!isShown(findItem(window, QStringLiteral("retrievingIndicator"))));
    QVERIFY(!isShown(findItem(window, QStringLiteral("progressSection"))));
    QVERIFY(!findObject(window, QStringLiteral("messageAlert"))->property("visible").toBool());
    QCOMPARE(findItem(window, QStringLiteral("libraryListView"))->property("count").toInt(), 0);
    for (QQuickItem* highlight : findItems(window, QStringLiteral("locationHighlight"))) {
        QCOMPARE(highlight->property("color").value<QColor>().alpha(), 0);
    }

    struct FixedText {
        const char* objectName;
        const char* chinese;
        const char* english;
    };
    const FixedText texts[] = {
        {"locationHeader", "选择资源库所在硬盘或目录", "Choose a Drive or Folder"},
        {"drivesHeader", "外接硬盘", "External Drives"},
        {"userDirsHeader", "用户目录", "User Folders"},
        {"libraryHeader", "FCPX 资源库", "FCPX Libraries"},
        {"chooseOtherDirectoryButton", "选择其他FCPX工程目录", "Choose Another Folder..."},
        {"cleanRenderButton", "清理渲染缓存", "Clean Render Files"},
        {"cleanProxyButton", "清理代理媒体", "Clean Proxy Media"},
        {"cleanOptimizedButton", "清理优化媒体", "Clean Optimized Media"},
        {"cleanAnalysisButton", "清理分析缓存", "Clean Analysis Files"},
        {"cleanLibraryButton", "一键清理资源库", "Clean Library"},
        {"cleanDiskButton", "一键清理硬盘", "Clean All Libraries"},
    };
    for (const FixedText& text : texts) {
        QCOMPARE(textOf(findItem(window, QString::fromLatin1(text.objectName))),
                 QString::fromUtf8(english ? text.english : text.chinese));
    }
    QCOMPARE(toolTipOf(findItem(window, QStringLiteral("refreshButton"))),
             english ? QStringLiteral("Refresh the list of external drives and user folders")
                     : QStringLiteral("刷新外置硬盘和用户目录列表"));

    // The user directories carry their labels, in the order of the list.
    QStringList labels;
    for (QQuickItem* label : findItems(window, QStringLiteral("locationLabel"))) {
        labels << textOf(label);
    }
    QStringList expected;
    for (const QString& drive : app.view.drives()) {
        expected << app.view.driveLabel(drive);
    }
    if (english) {
        expected << QStringLiteral("Home") << QStringLiteral("Desktop") << QStringLiteral("Downloads")
                 << QStringLiteral("Movies") << QStringLiteral("Documents") << QStringLiteral("Pictures");
    } else {
        expected << QStringLiteral("主目录") << QStringLiteral("桌面") << QStringLiteral("下载")
                 << QStringLiteral("影片") << QStringLiteral("文稿") << QStringLiteral("图片");
    }
    QCOMPARE(labels, expected);

    // With nothing selected or chosen, no button is disabled and pressing one starts nothing.
    for (const QString& name : fancyButtons.mid(1)) {
        QQuickItem* button = findItem(window, name);
        QVERIFY(button->isEnabled());
        clickItem(window, button);
    }
    QTest::qWait(100);
    QVERIFY(!app.view.isCleaning());
    QVERIFY(!app.view.showAlert());
    QVERIFY(!isShown(findItem(window, QStringLiteral("progressSection"))));
}

void WindowLayoutTest::keepsTheMeasures() {
    QFETCH(QString, locale);
    const LanguageScope language(locale);
    const bool english = isEnglish(locale);
    TempDir dir;
    buildLibrary(dir.path(), {.relativePath = "A library with a rather long name for its row.fcpbundle",
                              .proxyBytes = 4096});
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    chooseLocation(app, QString::fromStdString(dir.path()), 1);
    if (QTest::currentTestFailed()) return;

    // Also at the smallest size the window allows.
    for (const QSize size : {window->size(), QSize(window->minimumWidth(), window->minimumHeight())}) {
        window->resize(size);
        QTRY_COMPARE(window->size(), size);
        QTest::qWait(50);
        QCOMPARE(findItem(window, QStringLiteral("locationList"))->width(), 250.0);
        QVERIFY2(findItem(window, QStringLiteral("libraryList"))->width() >= 500.0,
                 qPrintable(QString::number(findItem(window, QStringLiteral("libraryList"))->width())));
        for (const QString& name : fancyButtons) {
            QQuickItem* button = findItem(window, name);
            QVERIFY2(button->width() >= 110.0 && button->height() >= 28.0, qPrintable(name));
            // The label fits inside the button: nothing of it is cut off.
            QQuickItem* label = findChildItem(button, QStringLiteral("fancyLabel"));
            QVERIFY2(label->implicitWidth() <= button->width(), qPrintable(name));
        }
        std::vector<QQuickItem*> squares{findItem(window, QStringLiteral("refreshButton"))};
        for (const char* name : {"revealButton", "openButton"}) {
            const auto found = findItems(window, QString::fromLatin1(name));
            QCOMPARE(found.size(), std::size_t{1});
            squares.push_back(found.front());
        }
        for (QQuickItem* square : squares) {
            QCOMPARE(square->size(), QSizeF(28, 28));
        }
    }

    // Two rows of three, 12 apart.
    QQuickItem* render = findItem(window, QStringLiteral("cleanRenderButton"));
    QQuickItem* proxy = findItem(window, QStringLiteral("cleanProxyButton"));
    QQuickItem* analysis = findItem(window, QStringLiteral("cleanAnalysisButton"));
    const QPointF renderAt = render->mapToScene({0, 0});
    QCOMPARE(proxy->mapToScene({0, 0}).x(), renderAt.x() + render->width() + 12);
    QCOMPARE(proxy->mapToScene({0, 0}).y(), renderAt.y());
    QCOMPARE(analysis->mapToScene({0, 0}).x(), renderAt.x());
    QCOMPARE(analysis->mapToScene({0, 0}).y(), renderAt.y() + render->height() + 12);

    // The row's texts, then a run's alert, at the smallest size: data inserted into whole texts.
    QQuickItem* row = findItem(
        window, QStringLiteral("libraryRow:A library with a rather long name for its row.fcpbundle"));
    QVERIFY(row != nullptr);
    QCOMPARE(textOf(findChildItem(row, QStringLiteral("proxySizeText"))),
             english ? QStringLiteral("Proxy Media: 0.00 GB") : QStringLiteral("代理媒体: 0.00 GB"));
    QCOMPARE(textOf(findChildItem(row, QStringLiteral("analysisSizeText"))),
             english ? QStringLiteral("Analysis Files: 0.00 GB") : QStringLiteral("媒体分析缓存: 0.00 GB"));
    QCOMPARE(toolTipOf(findChildItem(row, QStringLiteral("revealButton"))),
             english ? QStringLiteral("Show in File Manager") : QStringLiteral("在文件管理器中显示"));
    clickItem(window, findChildItem(row, QStringLiteral("libraryTitle")));
    clickItem(window, findItem(window, QStringLiteral("cleanProxyButton")));
    QTRY_VERIFY_WITH_TIMEOUT(findObject(window, QStringLiteral("messageAlert"))->property("opened").toBool(),
                             20000);
    QCOMPARE(textOf(findItem(window, QStringLiteral("alertTitle"))),
             english ? QStringLiteral("Notice") : QStringLiteral("提示"));
    QCOMPARE(textOf(findItem(window, QStringLiteral("alertMessage"))),
             english ? QStringLiteral("Proxy media has been cleaned.") : QStringLiteral("已清理代理媒体。"));
    QQuickItem* ok = findItem(window, QStringLiteral("alertOkButton"));
    QCOMPARE(textOf(ok), english ? QStringLiteral("OK") : QStringLiteral("确定"));
    // The alert fits in the window, and its message wraps inside it instead of running out.
    QObject* alert = findObject(window, QStringLiteral("messageAlert"));
    QVERIFY(alert->property("width").toReal() <= window->width());
    QVERIFY(alert->property("height").toReal() <= window->height());
    QQuickItem* message = findItem(window, QStringLiteral("alertMessage"));
    QVERIFY(message->width() <= alert->property("availableWidth").toReal());
    grabToPng(window, QStringLiteral("window_alert_") + locale);
    clickItem(window, ok);
    QTRY_VERIFY(!app.view.showAlert());
}

void WindowLayoutTest::showsThePressedLook() {
    TempDir dir;
    buildLibrary(dir.path(), {.relativePath = "Look.fcpbundle"});
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    chooseLocation(app, QString::fromStdString(dir.path()), 1);
    if (QTest::currentTestFailed()) return;

    checkPressedLook(window, findItem(window, QStringLiteral("cleanRenderButton")));
    checkPressedLook(window, findItem(window, QStringLiteral("refreshButton")));
    checkPressedLook(window, findItem(window, QStringLiteral("openButton")));
    // Releasing outside the button did not press it.
    QVERIFY(app.desktop.opened.isEmpty());
}

void WindowLayoutTest::locationRowsSelectAndHighlight() {
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    const QStringList userDirs = app.view.userDirs();
    QVERIFY(userDirs.size() >= 2);
    const QString chosen = userDirs.at(1);
    QQuickItem* row = findItem(window, QStringLiteral("locationRow:") + chosen);
    QQuickItem* home = findItem(window, QStringLiteral("locationRow:") + userDirs.at(0));
    QVERIFY(row != nullptr && home != nullptr);

    // A click on the empty part of the row selects it too.
    waitForFrame(window);
    const QPointF nearRightEnd = row->mapToScene(QPointF(row->width() - 6, row->height() / 2));
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, nearRightEnd.toPoint());
    QCOMPARE(app.view.selectedPath(), chosen);
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 60000);
    const auto highlightOf = [](QQuickItem* locationRow) {
        return findChildItem(locationRow, QStringLiteral("locationHighlight"))
            ->property("color")
            .value<QColor>();
    };
    QCOMPARE(highlightOf(row).alphaF(), 0.2f);
    QCOMPARE(highlightOf(row).blue(), 255);
    QCOMPARE(highlightOf(home).alpha(), 0);

    // From the keyboard: the list takes the focus with its ring on the chosen row, the keys
    // move the ring, Return chooses the row under it.
    const auto ringOn = [window](const QString& path) {
        return isShown(findChildItem(findItem(window, QStringLiteral("locationRow:") + path),
                                     QStringLiteral("locationFocusRing")));
    };
    findItem(window, QStringLiteral("locationListView"))->forceActiveFocus(Qt::TabFocusReason);
    QTRY_VERIFY(ringOn(chosen));
    const QString first = app.view.drives().isEmpty() ? userDirs.first() : app.view.drives().first();
    const std::pair<Qt::Key, QString> moves[] = {
        {Qt::Key_Home, first},
        {Qt::Key_End, userDirs.last()},
        {Qt::Key_Up, userDirs.at(userDirs.size() - 2)},
        {Qt::Key_PageDown, userDirs.last()},
        {Qt::Key_PageUp, first},
        {Qt::Key_Down, app.view.drives().isEmpty() ? userDirs.at(1) : QString()},
    };
    for (const auto& [key, ringed] : moves) {
        QTest::keyClick(window, key);
        if (!ringed.isEmpty()) QTRY_VERIFY2(ringOn(ringed), qPrintable(ringed));
    }
    QTest::keyClick(window, Qt::Key_End);
    QTest::keyClick(window, Qt::Key_Return);
    QCOMPARE(app.view.selectedPath(), userDirs.last());
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 60000);
    clickItem(window, findItem(window, QStringLiteral("locationRow:") + chosen));
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 60000);

    // Refresh keeps the choice and its highlight.
    clickItem(window, findItem(window, QStringLiteral("refreshButton")));
    row = findItem(window, QStringLiteral("locationRow:") + chosen);
    QTRY_COMPARE(highlightOf(row).alphaF(), 0.2f);
    QCOMPARE(app.view.selectedPath(), chosen);

    // A directory chosen elsewhere highlights no row.
    TempDir other;
    app.chooser.answers.push_back(QString::fromStdString(other.path()));
    clickItem(window, findItem(window, QStringLiteral("chooseOtherDirectoryButton")));
    for (QQuickItem* highlight : findItems(window, QStringLiteral("locationHighlight"))) {
        QTRY_COMPARE(highlight->property("color").value<QColor>().alpha(), 0);
    }
    QCOMPARE(app.view.selectedPath(), QString::fromStdString(other.path()));
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving(), 60000);
}

void WindowLayoutTest::rowButtonsActOnTheirOwnLibrary() {
    TempDir dir;
    buildLibrary(dir.path(), {.relativePath = "First.fcpbundle"});
    buildLibrary(dir.path(), {.relativePath = "Second.fcpbundle"});
    WindowUnderTest app;
    QQuickWindow* window = app.window();
    chooseLocation(app, QString::fromStdString(dir.path()), 2);
    if (QTest::currentTestFailed()) return;

    QQuickItem* first = nullptr;
    QQuickItem* second = nullptr;
    QTRY_VERIFY((first = findItem(window, QStringLiteral("libraryRow:First.fcpbundle"))) != nullptr &&
                (second = findItem(window, QStringLiteral("libraryRow:Second.fcpbundle"))) != nullptr);
    // The rows come in scan order; "first" here is the upper one.
    if (app.view.shownBundles()->rowOf(first->property("bundleId").toString()) == 1) {
        std::swap(first, second);
    }
    const QString secondPath = second->property("path").toString();
    clickItem(window, findChildItem(first, QStringLiteral("libraryTitle")));
    QTRY_VERIFY(first->property("isSelected").toBool());

    QQuickItem* reveal = findChildItem(second, QStringLiteral("revealButton"));
    QQuickItem* open = findChildItem(second, QStringLiteral("openButton"));
    QCOMPARE(toolTipOf(reveal), QStringLiteral("在文件管理器中显示"));
    QCOMPARE(toolTipOf(open), QStringLiteral("打开资源库"));
    clickItem(window, reveal);
    clickItem(window, open);
    QVERIFY(secondPath == QString::fromStdString(dir.path() + "/Second.fcpbundle") ||
            secondPath == QString::fromStdString(dir.path() + "/First.fcpbundle"));
    // An id of no listed library does nothing.
    app.view.revealInFinder(QStringLiteral("not an id"));
    app.view.openLibrary(QString::fromStdString(velmora::Uuid::random().toString()));
    QCOMPARE(app.desktop.revealed, QStringList{secondPath});
    QCOMPARE(app.desktop.opened, QStringList{secondPath});
    // The buttons do not select their row.
    QVERIFY(first->property("isSelected").toBool());
    QVERIFY(!second->property("isSelected").toBool());

    // A desktop that cannot show or open the library says so in the alert.
    app.desktop.failing = true;
    QObject* alert = findObject(window, QStringLiteral("messageAlert"));
    const std::pair<QQuickItem*, QString> failures[] = {
        {reveal, QStringLiteral("无法在文件管理器中显示 %1。").arg(secondPath)},
        {open, QStringLiteral("无法打开 %1。").arg(secondPath)},
    };
    for (const auto& [button, text] : failures) {
        clickItem(window, button);
        QTRY_VERIFY(alert->property("opened").toBool());
        QCOMPARE(textOf(findItem(window, QStringLiteral("alertMessage"))), text);
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(!alert->property("visible").toBool());
    }

    // Tab goes through the controls in reading order; the icon buttons of the rows are no
    // stops of their own.
    app.desktop.failing = false;
    app.desktop.revealed.clear();
    app.desktop.opened.clear();
    findItem(window, QStringLiteral("refreshButton"))->forceActiveFocus(Qt::TabFocusReason);
    QStringList chain;
    for (int i = 0; i < 16; ++i) {
        chain << (window->activeFocusItem() ? window->activeFocusItem()->objectName()
                                            : QStringLiteral("<none>"));
        QTest::keyClick(window, Qt::Key_Tab);
    }
    QCOMPARE(chain,
             (QStringList{"refreshButton", "locationListView", "chooseOtherDirectoryButton", "libraryFilter",
                          "sortButton0", "sortButton1", "sortButton2", "sortButton3", "libraryListView",
                          "cleanRenderButton", "cleanProxyButton", "cleanOptimizedButton",
                          "cleanAnalysisButton", "cleanLibraryButton", "cleanDiskButton", "refreshButton"}));

    // In the list the keys move the selection itself, the focus ring drawn on the selected
    // row; Ctrl+R and Ctrl+Return reach the row's two buttons.
    QQuickItem* listView = findItem(window, QStringLiteral("libraryListView"));
    listView->forceActiveFocus(Qt::TabFocusReason);
    const std::pair<Qt::Key, QQuickItem*> keys[] = {
        {Qt::Key_End, second}, {Qt::Key_Home, first}, {Qt::Key_PageDown, second}, {Qt::Key_PageUp, first}};
    for (const auto& [key, selected] : keys) {
        QTest::keyClick(window, key);
        QTRY_VERIFY(selected->property("isSelected").toBool());
        QVERIFY(isShown(findChildItem(selected, QStringLiteral("rowFocusRing"))));
    }
    QVERIFY(!isShown(findChildItem(second, QStringLiteral("rowFocusRing"))));
    QTest::keyClick(window, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(window, Qt::Key_Return, Qt::ControlModifier);
    const QString firstPath = first->property("path").toString();
    QCOMPARE(app.desktop.revealed, QStringList{firstPath});
    QCOMPARE(app.desktop.opened, QStringList{firstPath});

    // Down moves the selection to the next row; ctrl-click on the selected row clears it.
    QTest::keyClick(window, Qt::Key_Down);
    QTRY_VERIFY(second->property("isSelected").toBool());
    waitForFrame(window);
    QTest::mouseClick(window, Qt::LeftButton, Qt::ControlModifier,
                      centreOf(findChildItem(second, QStringLiteral("libraryTitle"))));
    QTRY_COMPARE(app.view.selectedBundleID(), QString());
    QVERIFY(!first->property("isSelected").toBool() && !second->property("isSelected").toBool());
}

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
