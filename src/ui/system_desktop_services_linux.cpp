#include "ui/system_desktop_services.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

namespace velmora {

namespace {

// The folder that holds `path`; the path itself for "/" and for names without a parent.
QUrl parentFolderUrl(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) {
        trimmed.chop(1);
    }
    const QString parent = QFileInfo(trimmed).path();
    return QUrl::fromLocalFile(parent.isEmpty() ? trimmed : parent);
}

// Opens `url` with the desktop's handler; says so when no handler could be started.
void openOrReport(const QUrl& url, const DesktopFailure& onFailure) {
    if (!QDesktopServices::openUrl(url) && onFailure) {
        onFailure();
    }
}

} // namespace

void SystemDesktopServices::revealInFileManager(const QString& path, DesktopFailure onFailure) {
    if (path.isEmpty()) {
        return;
    }
    const QUrl parent = parentFolderUrl(path);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openOrReport(parent, onFailure);
        return;
    }
    // The freedesktop file-manager interface shows the item selected in a window; it is
    // asked asynchronously so a slow or absent file manager never holds up the window.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [parent, onFailure](QDBusPendingCallWatcher* finished) {
                         if (finished->isError()) {
                             openOrReport(parent, onFailure);
                         }
                         finished->deleteLater();
                     });
}

void SystemDesktopServices::openWithDefaultApplication(const QString& path, DesktopFailure onFailure) {
    if (path.isEmpty()) {
        return;
    }
    openOrReport(QUrl::fromLocalFile(path), onFailure);
}

} // namespace velmora
