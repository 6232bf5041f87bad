// Resident memory of the window with many libraries: after the list is shown, after scrolling
// it from top to bottom, and after five changes of order (each followed by a scroll again),
// with the app's own panels, models and queues. Every frame is also read out through the
// accessibility interfaces, as a screen reader would. Prints one line per stage.
//
//   velmora-window-memory LOCATION
#include "ui/bundle_sort_filter_model.h"
#include "ui/content_view.h"
#include "ui/main_window.h"
#include "ui/qt_dispatch.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickItem>
#include <QQuickWindow>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

struct NoChooser : velmora::DirectoryChooser {
    std::optional<QString> chooseDirectory() override { return std::nullopt; }
};
struct NoDesktop : velmora::DesktopServices {
    void revealInFileManager(const QString&, velmora::DesktopFailure) override {}
    void openWithDefaultApplication(const QString&, velmora::DesktopFailure) override {}
};

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

QQuickItem* findItem(QQuickItem* root, const QString& name) {
    if (root == nullptr || root->objectName() == name) return root;
    for (QQuickItem* child : root->childItems())
        if (QQuickItem* found = findItem(child, name)) return found;
    return nullptr;
}

// Reads every object of the window's accessibility tree, as a screen reader does when it
// walks the window: each gets its accessibility interface.
int readAccessibleTree(QAccessibleInterface* node, int depth = 0) {
    if (node == nullptr || depth > 60) return 0;
    int count = 1;
    (void)node->text(QAccessible::Name);
    for (int i = 0; i < node->childCount(); ++i)
        count += readAccessibleTree(node->child(i), depth + 1);
    return count;
}

// Lets pending work run and draws a frame, as a shown window would, then reads it out.
void settle(QQuickWindow* window) {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    (void)window->grabWindow();
    (void)readAccessibleTree(QAccessible::queryAccessibleInterface(window));
}

void scrollThrough(QQuickWindow* window, QQuickItem* list) {
    const qreal page = list->height();
    for (qreal y = 0; y < list->property("contentHeight").toReal(); y += page) {
        list->setProperty("contentY", y);
        settle(window);
    }
    list->setProperty("contentY", 0);
    settle(window);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora-window-memory LOCATION\n");
        return 2;
    }
    velmora::QtDispatch dispatch;
    NoChooser chooser;
    NoDesktop desktop;
    velmora::ContentView view(dispatch, chooser, desktop);
    auto mainWindow = std::make_unique<velmora::MainWindow>(view);
    QQuickWindow* window = mainWindow->window();
    view.selectLocation(QString::fromLocal8Bit(argv[1]));
    QElapsedTimer waited;
    waited.start();
    while (view.isRetrieving() && waited.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    settle(window);
    QQuickItem* list = findItem(window->contentItem(), QStringLiteral("libraryListView"));
    std::printf("libraries: %d\n", view.fcpBundlesModel()->count());
    std::printf("resident at load:                 %6ld MiB\n", residentKiB() / 1024);
    scrollThrough(window, list);
    std::printf("after scrolling the whole list:   %6ld MiB\n", residentKiB() / 1024);
    for (const int key : {1, 2, 3, 1, 2}) {
        view.shownBundles()->sortBy(key);
        scrollThrough(window, list);
    }
    std::printf("after five sorts, each scrolled:  %6ld MiB\n", residentKiB() / 1024);
    mainWindow.reset();
    return 0;
}
