#include "ui/desktop_directory_chooser.h"

#include "ui/directory_browser.h"
#include "ui/portal_directory_chooser.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QUrl>
#include <QVariantMap>
#include <memory>

namespace velmora {

namespace {
const char* const dialogQmlUrl = "qrc:/qt/qml/Velmora/DirectoryDialog.qml";
}

void DesktopDirectoryChooser::attach(QQmlEngine& qmlEngine, QQuickWindow* parentWindow) {
    engine = &qmlEngine;
    window = parentWindow;
}

std::optional<QString> DesktopDirectoryChooser::chooseDirectory() {
    // A second request while a chooser is up (it is modal, so only by a programmatic call)
    // gets no answer rather than a second chooser.
    if (engine == nullptr || window.isNull() || running) return std::nullopt;
    running = true;
    std::optional<QString> chosen;
    PortalDirectoryChooser::Answer answer;
    if (usePortal) {
        answer = PortalDirectoryChooser::chooseDirectory(
            window.data(), QCoreApplication::translate("DirectoryDialog", "选择目录"),
            QCoreApplication::translate("DirectoryDialog", "选择"), lastFolder);
    }
    if (answer.outcome == PortalDirectoryChooser::Outcome::chosen)
        chosen = lastFolder = answer.path;
    else if (answer.outcome == PortalDirectoryChooser::Outcome::unavailable && !window.isNull())
        chosen = runOwnDialog();
    running = false;
    return chosen;
}

std::optional<QString> DesktopDirectoryChooser::runOwnDialog() {
    QQmlComponent component(engine, QUrl(QString::fromLatin1(dialogQmlUrl)));
    // The browser starts where the last chooser ended, or in the home folder (also when that
    // folder has gone since), and lives as long as the dialog.
    auto* browser = new DirectoryBrowser(QDir::homePath());
    if (!lastFolder.isEmpty()) (void)browser->go(lastFolder);
    QVariantMap initial;
    initial.insert(QStringLiteral("parent"), QVariant::fromValue(window->contentItem()));
    initial.insert(QStringLiteral("browser"), QVariant::fromValue(static_cast<QObject*>(browser)));
    std::unique_ptr<QObject> dialog(component.createWithInitialProperties(initial));
    if (!dialog) {
        delete browser;
        return std::nullopt;
    }
    browser->setParent(dialog.get());
    // Owned by the window while it runs, so the window's tests can find it by name.
    dialog->setParent(window.data());

    QMetaObject::invokeMethod(dialog.get(), "open");
    // The dialog ends by accepting, rejecting or just closing (with its window).
    QEventLoop loop;
    QObject::connect(dialog.get(), SIGNAL(closed()), &loop, SLOT(quit()));
    QObject::connect(window.data(), &QObject::destroyed, &loop, &QEventLoop::quit);
    if (dialog->property("visible").toBool()) loop.exec();
    if (window.isNull()) {
        (void)dialog.release(); // deleted with the window
        return std::nullopt;
    }
    lastFolder = browser->folder();
    const QString path = dialog->property("chosenPath").toString();
    if (path.isEmpty()) return std::nullopt;
    return path;
}

} // namespace velmora
