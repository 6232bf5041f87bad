#include "window_helpers.h"

#include "support/temp_tree.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTest>
#include <QThread>

namespace velmora::window_testing {

std::optional<QString> ScriptedChooser::chooseDirectory() {
    ++calls;
    if (answers.empty()) return std::nullopt;
    std::optional<QString> answer = answers.front();
    answers.pop_front();
    return answer;
}

void RecordingDesktop::revealInFileManager(const QString& path, DesktopFailure onFailure) {
    revealed << path;
    if (failing) onFailure();
}

void RecordingDesktop::openWithDefaultApplication(const QString& path, DesktopFailure onFailure) {
    opened << path;
    if (failing) onFailure();
}

void HoldingDispatch::postToMain(Work work) {
    {
        const std::lock_guard lock(mutex);
        if (holding && QThread::currentThread() != QCoreApplication::instance()->thread()) {
            held.push_back(std::move(work));
            return;
        }
    }
    QtDispatch::postToMain(std::move(work));
}

void HoldingDispatch::hold() {
    const std::lock_guard lock(mutex);
    holding = true;
}

void HoldingDispatch::release() {
    std::vector<Work> released;
    {
        const std::lock_guard lock(mutex);
        holding = false;
        released.swap(held);
    }
    for (Work& work : released)
        QtDispatch::postToMain(std::move(work));
}

bool HoldingDispatch::holdsWork() {
    const std::lock_guard lock(mutex);
    return !held.empty();
}

WindowUnderTest::WindowUnderTest() : mainWindow(std::make_unique<MainWindow>(view)) {
    if (window() == nullptr) return;
    if (!QTest::qWaitForWindowExposed(window())) qWarning("the window was not shown");
    // Key presses go to the active window only.
    window()->requestActivate();
    (void)QTest::qWaitForWindowActive(window());
}

QQuickItem* WindowUnderTest::item(const QString& name) const {
    return window() == nullptr ? nullptr : findChildItem(window()->contentItem(), name);
}

QObject* WindowUnderTest::object(const QString& name) const {
    if (QQuickItem* found = item(name)) return found;
    return window() == nullptr ? nullptr : window()->findChild<QObject*>(name);
}

QQuickItem* WindowUnderTest::row(const QString& displayName) const {
    return item(QStringLiteral("libraryRow:") + displayName);
}

void WindowUnderTest::click(const QString& name) const {
    QQuickItem* found = item(name);
    QVERIFY2(found != nullptr, qPrintable(name));
    clickItem(window(), found);
}

std::vector<QQuickItem*> findItems(QQuickItem* root, const QString& name) {
    std::vector<QQuickItem*> found;
    std::vector<QQuickItem*> stack{root};
    while (!stack.empty()) {
        QQuickItem* item = stack.back();
        stack.pop_back();
        if (item == nullptr) continue;
        if (item->objectName() == name) found.push_back(item);
        const QList<QQuickItem*> children = item->childItems();
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return found;
}

QQuickItem* findChildItem(QQuickItem* root, const QString& name) {
    const std::vector<QQuickItem*> found = findItems(root, name);
    return found.empty() ? nullptr : found.front();
}

QPoint centreOf(QQuickItem* item) {
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

void waitForFrame(QQuickWindow* window) {
    // A grab lays out and draws the scene at once, whatever the platform's frame timing.
    QCoreApplication::processEvents();
    (void)window->grabWindow();
}

void clickItem(QQuickWindow* window, QQuickItem* item) {
    waitForFrame(window);
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(item));
}

bool isShown(QQuickItem* item) {
    for (QQuickItem* at = item; at != nullptr; at = at->parentItem())
        if (!at->isVisible()) return false;
    return item != nullptr;
}

QString textOf(QQuickItem* item, const QString& child) {
    if (item != nullptr && !child.isEmpty()) item = findChildItem(item, child);
    return item == nullptr ? QStringLiteral("<missing item>") : item->property("text").toString();
}

void chooseLocation(WindowUnderTest& app, const QString& location, int expectedRows) {
    app.chooser.answers.push_back(location);
    app.click(QStringLiteral("chooseOtherDirectoryButton"));
    QCOMPARE(app.view.selectedPath(), location);
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving() && app.view.fcpBundlesModel()->count() == expectedRows,
                             60000);
}

QString grabToPng(QQuickWindow* window, const QString& name) {
    QString dir = qEnvironmentVariable("VELMORA_TEST_OUTPUT");
    if (dir.isEmpty()) dir = QDir::tempPath();
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    const QImage image = window->grabWindow();
    return !image.isNull() && image.save(path, "PNG") ? path : QString();
}

std::string buildLibrary(const std::string& location, const LibrarySpec& spec) {
    using velmora::testing::makeDirs;
    using velmora::testing::writeFile;
    const std::string library = location + "/" + spec.relativePath;
    const std::string event = library + "/Event 1";
    makeDirs(event + "/Original Media");
    writeFile(library + "/CurrentVersion.flexolibrary", 4096);
    writeFile(event + "/CurrentVersion.fcpevent", 2048);
    const std::pair<const char*, std::int64_t> files[] = {
        {"Original Media/clip.mov", spec.originalBytes},
        {"Render Files/High Quality Media/render.mov", spec.renderBytes},
        {"Transcoded Media/Proxy Media/clip.mov", spec.proxyBytes},
        {"Transcoded Media/High Quality Media/clip.mov", spec.optimizedBytes},
        {"Analysis Files/Shots/clip.plist", spec.analysisFilesBytes},
        {"Analysis Cache/clip.cache", spec.analysisCacheBytes},
    };
    for (const auto& [relative, bytes] : files) {
        if (bytes <= 0) continue;
        const std::string path = event + "/" + relative;
        makeDirs(path.substr(0, path.rfind('/')));
        writeFile(path, bytes);
    }
    return event;
}

} // namespace velmora::window_testing
