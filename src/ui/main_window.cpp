#include "ui/main_window.h"

#include "ui/content_view.h"

#include <QQmlContext>
#include <QUrl>

namespace velmora {

namespace {
const char* const mainQmlUrl = "qrc:/qt/qml/Velmora/Main.qml";
}

MainWindow::MainWindow(ContentView& view) : qmlEngine(std::make_unique<QQmlApplicationEngine>()) {
    qmlEngine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    // The panels bind to this one object; it outlives the engine, which the owner drops first.
    qmlEngine->rootContext()->setContextProperty(QStringLiteral("contentView"), &view);
    qmlEngine->load(QUrl(QString::fromLatin1(mainQmlUrl)));
    const auto roots = qmlEngine->rootObjects();
    if (!roots.isEmpty()) {
        loadedWindow = qobject_cast<QQuickWindow*>(roots.first());
    }
}

MainWindow::~MainWindow() = default;

} // namespace velmora
