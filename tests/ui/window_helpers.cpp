#include "window_helpers.h"

#include "support/temp_tree.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QQmlProperty>
#include <QTest>
#include <QThread>
#include <utility>

namespace velmora::window_testing {

std::optional<QString> ScriptedChooser::chooseDirectory() {
    ++calls;
    if (answers.empty()) {
        return std::nullopt;
    }
    const bool chosen = answers.front().has_value();
    const QString path = answers.front().value_or(QString());
    answers.pop_front();
    return chosen ? std::optional<QString>(path) : std::nullopt;
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
    if (window() != nullptr) {
        if (!QTest::qWaitForWindowExposed(window())) {
            qWarning("the window was not shown");
        }
        // Key presses go to the active window only.
        window()->requestActivate();
        (void)QTest::qWaitForWindowActive(window());
    }
}

WindowUnderTest::~WindowUnderTest() {
    mainWindow.reset();
}

namespace {

void collect(QQuickItem* item, const QString& name, std::vector<QQuickItem*>& found, bool firstOnly) {
    if (item == nullptr || (firstOnly && !found.empty())) {
        return;
    }
    if (item->objectName() == name) {
        found.push_back(item);
    }
    for (QQuickItem* child : item->childItems()) {
        collect(child, name, found, firstOnly);
    }
}

} // namespace

QQuickItem* findChildItem(QQuickItem* root, const QString& name) {
    std::vector<QQuickItem*> found;
    collect(root, name, found, true);
    return found.empty() ? nullptr : found.front();
}

QQuickItem* findItem(QQuickWindow* window, const QString& name) {
    return window == nullptr ? nullptr : findChildItem(window->contentItem(), name);
}

std::vector<QQuickItem*> findItems(QQuickWindow* window, const QString& name) {
    std::vector<QQuickItem*> found;
    if (window != nullptr) {
        collect(window->contentItem(), name, found, false);
    }
    return found;
}

QObject* findObject(QQuickWindow* window, const QString& name) {
    if (window == nullptr) {
        return nullptr;
    }
    if (QQuickItem* item = findItem(window, name)) {
        return item;
    }
    return window->findChild<QObject*>(name);
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
    for (QQuickItem* at = item; at != nullptr; at = at->parentItem()) {
        if (!at->isVisible()) {
            return false;
        }
    }
    return item != nullptr;
}

QString textOf(QQuickItem* item) {
    return item == nullptr ? QStringLiteral("<missing item>") : item->property("text").toString();
}

QString outputDirectory() {
    QString dir = qEnvironmentVariable("VELMORA_TEST_OUTPUT");
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    QDir().mkpath(dir);
    return dir;
}

QString grabToPng(QQuickWindow* window, const QString& name) {
    const QImage image = window->grabWindow();
    const QString path = outputDirectory() + QLatin1Char('/') + name + QStringLiteral(".png");
    return !image.isNull() && image.save(path, "PNG") ? path : QString();
}

void buildLibrary(const std::string& location, const LibrarySpec& spec) {
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
        if (bytes > 0) {
            const std::string path = event + "/" + relative;
            makeDirs(path.substr(0, path.rfind('/')));
            writeFile(path, bytes);
        }
    }
}

void chooseLocation(WindowUnderTest& app, const QString& location, int expectedRows) {
    app.chooser.answers.push_back(location);
    QQuickItem* chooseButton = findItem(app.window(), QStringLiteral("chooseOtherDirectoryButton"));
    QVERIFY(chooseButton != nullptr);
    clickItem(app.window(), chooseButton);
    QCOMPARE(app.chooser.calls, 1);
    QCOMPARE(app.view.selectedPath(), location);
    QTRY_VERIFY_WITH_TIMEOUT(!app.view.isRetrieving() && app.view.fcpBundlesModel()->count() == expectedRows,
                             20000);
}

} // namespace velmora::window_testing
