#include "ui/portal_directory_chooser.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QUrl>
#include <QVariantMap>

namespace velmora {

namespace {

const char* const kPortalService = "org.freedesktop.portal.Desktop";
const char* const kPortalPath = "/org/freedesktop/portal/desktop";
const char* const kFileChooser = "org.freedesktop.portal.FileChooser";
const char* const kRequest = "org.freedesktop.portal.Request";

// Receives the one Response signal of a portal request.
class ResponseReceiver : public QObject {
    Q_OBJECT

  public:
    bool answered = false;
    uint response = 2;
    QStringList uris;

  signals:
    void done();

  public slots:
    void onResponse(uint code, const QVariantMap& results) {
        answered = true;
        response = code;
        uris = results.value(QStringLiteral("uris")).toStringList();
        emit done();
    }
};

// The handle the desktop knows the window by; empty where there is none to give.
QString parentWindowHandle(QWindow* window) {
    if (window == nullptr || QGuiApplication::platformName() != QLatin1String("xcb")) return {};
    return QStringLiteral("x11:") + QString::number(window->winId(), 16);
}

} // namespace

PortalDirectoryChooser::Answer PortalDirectoryChooser::chooseDirectory(QWindow* window, const QString& title,
                                                                       const QString& acceptLabel,
                                                                       const QString& startFolder) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(QString::fromLatin1(kPortalService)).value())
        return {};

    // The request's object path follows from our bus name and a token of ours, so the
    // answer is listened for before the call can produce it.
    const QString token = QStringLiteral("velmora%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath =
        QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
    ResponseReceiver receiver;
    bus.connect(QString::fromLatin1(kPortalService), requestPath, QString::fromLatin1(kRequest),
                QStringLiteral("Response"), &receiver, SLOT(onResponse(uint, QVariantMap)));

    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kPortalService), QString::fromLatin1(kPortalPath),
                                       QString::fromLatin1(kFileChooser), QStringLiteral("OpenFile"));
    QVariantMap options{
        {QStringLiteral("handle_token"), token},       {QStringLiteral("modal"), true},
        {QStringLiteral("directory"), true},           {QStringLiteral("multiple"), false},
        {QStringLiteral("accept_label"), acceptLabel},
    };
    // The portal takes the folder as the path's bytes with a terminating zero.
    if (!startFolder.isEmpty())
        options.insert(QStringLiteral("current_folder"), QFile::encodeName(startFolder).append('\0'));
    call << parentWindowHandle(window) << title << options;

    // The window takes no input until the answer is in, as with a modal dialog of its own.
    auto* quickWindow = qobject_cast<QQuickWindow*>(window);
    QPointer<QQuickItem> content = quickWindow != nullptr ? quickWindow->contentItem() : nullptr;
    if (content) content->setEnabled(false);
    // Waits for the portal's answer, or for the call's error when no portal takes it.
    const QDBusPendingCall pending = bus.asyncCall(call);
    QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, [&loop, &watcher] {
        if (watcher.isError()) loop.quit();
    });
    QObject::connect(&receiver, &ResponseReceiver::done, &loop, &QEventLoop::quit);
    if (window != nullptr) QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
    if (!receiver.answered) loop.exec();

    Answer answer;
    if (receiver.answered) {
        // 0: chosen; 1: cancelled by the user; 2: ended otherwise.
        const QUrl url = receiver.uris.isEmpty() ? QUrl() : QUrl(receiver.uris.first());
        if (receiver.response == 0 && url.isLocalFile() && !url.toLocalFile().isEmpty())
            answer = {Outcome::chosen, url.toLocalFile()};
        else
            answer = {Outcome::cancelled, {}};
    } else if (!watcher.isError()) {
        answer = {Outcome::cancelled, {}}; // the window went away meanwhile
    }
    bus.disconnect(QString::fromLatin1(kPortalService), requestPath, QString::fromLatin1(kRequest),
                   QStringLiteral("Response"), &receiver, SLOT(onResponse(uint, QVariantMap)));
    if (content) content->setEnabled(true);
    return answer;
}

} // namespace velmora

#include "portal_directory_chooser.moc"
