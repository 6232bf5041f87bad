#include "ui/main_window.h"

#include "ui/content_view.h"

#include <QUrl>

// Generated with the QML module: registers its C++ types when the engine first imports it.
void qml_register_types_Velmora();

namespace velmora {

namespace {

const char* const mainQmlUrl = "qrc:/qt/qml/Velmora/Main.qml";

// The registration lives in an object of the static library that nothing calls; naming its
// function keeps the linker from leaving it out.
[[maybe_unused]] volatile auto keepTypeRegistration = &qml_register_types_Velmora;

} // namespace

MainWindow::MainWindow(ContentView& view) : qmlEngine(std::make_unique<QQmlApplicationEngine>()) {
    qmlEngine->addImportPath(QStringLiteral("qrc:/qt/qml"));
    // The panels bind to this one view; it outlives the engine, which the owner drops first.
    ContentView::useInQml(view);
    qmlEngine->load(QUrl(QString::fromLatin1(mainQmlUrl)));
    const auto roots = qmlEngine->rootObjects();
    if (!roots.isEmpty()) {
        loadedWindow = qobject_cast<QQuickWindow*>(roots.first());
    }
}

MainWindow::~MainWindow() = default;

} // namespace velmora
