#include "ui/folder_dialog_directory_chooser.h"

#include <QDir>
#include <QEventLoop>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QUrl>
#include <QVariantMap>
#include <memory>

namespace velmora {

namespace {
const char* const dialogQmlUrl = "qrc:/qt/qml/Velmora/DirectoryDialog.qml";
}

void FolderDialogDirectoryChooser::attach(QQmlEngine& qmlEngine, QQuickWindow* parentWindow) {
    engine = &qmlEngine;
    window = parentWindow;
}

std::optional<QString> FolderDialogDirectoryChooser::chooseDirectory() {
    // A second request while the dialog is up (it is modal, so only by a programmatic call)
    // gets no answer rather than a second dialog.
    if (engine == nullptr || window.isNull() || running) {
        return std::nullopt;
    }
    QQmlComponent component(engine, QUrl(QString::fromLatin1(dialogQmlUrl)));
    QVariantMap initial;
    initial.insert(QStringLiteral("parentWindow"), QVariant::fromValue(window.data()));
    initial.insert(QStringLiteral("currentFolder"), QUrl::fromLocalFile(QDir::homePath()));
    std::unique_ptr<QObject> dialog(component.createWithInitialProperties(initial));
    if (!dialog) {
        return std::nullopt;
    }
    // Owned by the window while it runs, so the window's tests can find it by name.
    dialog->setParent(window.data());

    running = true;
    QMetaObject::invokeMethod(dialog.get(), "open");
    // The dialog ends by accepting, rejecting or just hiding (closed with its window).
    QEventLoop loop;
    QObject::connect(dialog.get(), SIGNAL(accepted()), &loop, SLOT(quit()));
    QObject::connect(dialog.get(), SIGNAL(rejected()), &loop, SLOT(quit()));
    QObject::connect(dialog.get(), SIGNAL(visibleChanged()), &loop, SLOT(quit()));
    QObject::connect(window.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    if (dialog->property("visible").toBool()) {
        loop.exec();
    }
    running = false;
    if (window.isNull()) {
        (void)dialog.release(); // deleted with the window
        return std::nullopt;
    }

    constexpr int acceptedResult = 1;
    const bool accepted = dialog->property("result").toInt() == acceptedResult;
    const QUrl folder = dialog->property("selectedFolder").toUrl();
    if (!accepted || !folder.isLocalFile()) {
        return std::nullopt;
    }
    QString path = folder.toLocalFile();
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path;
}

} // namespace velmora
