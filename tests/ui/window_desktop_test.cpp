// The desktop calls and the directory chooser, against a private session bus with stand-ins
// for the file manager and the file-chooser portal, and the window's own folder dialog.
#include "support/temp_tree.h"
#include "ui/desktop_directory_chooser.h"
#include "ui/system_desktop_services.h"
#include "window_helpers.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace velmora::window_testing;
using velmora::testing::TempDir;

// Stands in for a file manager, or for the desktop's file-chooser portal, on the bus.
class FakeDesktop : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    QList<QStringList> shown;
    QList<QUrl> opened; // what QDesktopServices would hand to the desktop

  public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
    void open(const QUrl& url) { opened << url; }
};

class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")

  public:
    explicit FakePortal(QDBusConnection connection) : bus(std::move(connection)) {}
    QVariantMap options;
    uint response = 0;
    QStringList uris;

  public slots:
    QDBusObjectPath OpenFile(const QString&, const QString&, const QVariantMap& given, const QDBusMessage& message) {
        options = given;
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(message.service().mid(1).replace('.', '_'), given.value("handle_token").toString());
        // The answer comes later, as the user's choice would.
        QTimer::singleShot(0, this, [this, path] {
            QDBusMessage signal = QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
            signal << response << QVariantMap{{"uris", uris}};
            bus.send(signal);
        });
        return QDBusObjectPath(path);
    }

  private:
    QDBusConnection bus;
};

class WindowDesktopTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void revealAsksTheFileManagerElseOpensTheFolder();
    void portalChooserIsAskedFirst();
    void ownChooserReturnsTheFolderTheUserWentTo();

  private:
    QProcess bus;
    QString busAddress;
    FakeDesktop desktop;
};

void WindowDesktopTest::initTestCase() {
    const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
    if (daemon.isEmpty()) QSKIP("dbus-daemon is not installed: the desktop calls cannot be checked");
    // A bus of our own, so no real file manager or portal answers and none is started.
    bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
    QVERIFY(bus.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 10000);
    busAddress = QString::fromUtf8(bus.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QDesktopServices::setUrlHandler("file", &desktop, "open");
}

void WindowDesktopTest::cleanupTestCase() {
    QDesktopServices::unsetUrlHandler("file");
    bus.kill();
    bus.waitForFinished();
}

void WindowDesktopTest::revealAsksTheFileManagerElseOpensTheFolder() {
    velmora::SystemDesktopServices services;
    int failures = 0;
    const auto failed = [&failures] { ++failures; };
    // No file manager on the bus: the folder that holds the library opens, once the bus says so.
    services.revealInFileManager("/Volumes/Backup Disk/Projects/Demo 演示.fcpbundle/", failed);
    QVERIFY(desktop.opened.isEmpty());
    QTRY_COMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile("/Volumes/Backup Disk/Projects")});

    // A file manager of its own connection, as a separate program would have, shows the item.
    QDBusConnection manager = QDBusConnection::connectToBus(busAddress, "fake-file-manager");
    QVERIFY(manager.registerObject("/org/freedesktop/FileManager1", &desktop, QDBusConnection::ExportAllSlots));
    QVERIFY(manager.registerService("org.freedesktop.FileManager1"));
    services.revealInFileManager("/media/Backup Disk/Demo 演示.fcpbundle", failed);
    QTRY_COMPARE(desktop.shown,
                 QList<QStringList>{{"file:///media/Backup%20Disk/Demo%20%E6%BC%94%E7%A4%BA.fcpbundle"}});
    manager.unregisterService("org.freedesktop.FileManager1");

    // Opening goes to the default application; with none that could start, the caller hears
    // of it, for both calls.
    services.openWithDefaultApplication("/media/Demo.fcpbundle", failed);
    QCOMPARE(desktop.opened.last(), QUrl::fromLocalFile("/media/Demo.fcpbundle"));
    QCOMPARE(failures, 0);
    QDesktopServices::unsetUrlHandler("file");
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    services.openWithDefaultApplication("/media/Demo.fcpbundle", failed);
    services.revealInFileManager("/media/Demo.fcpbundle", failed);
    QTRY_COMPARE(failures, 2);
    qputenv("PATH", savedPath);
    QDesktopServices::setUrlHandler("file", &desktop, "open");
}

void WindowDesktopTest::portalChooserIsAskedFirst() {
    QDBusConnection connection = QDBusConnection::connectToBus(busAddress, "fake-portal");
    FakePortal portal(connection);
    QVERIFY(connection.registerObject("/org/freedesktop/portal/desktop", &portal, QDBusConnection::ExportAllSlots));
    QVERIFY(connection.registerService("org.freedesktop.portal.Desktop"));
    WindowUnderTest app;
    velmora::DesktopDirectoryChooser chooser;
    chooser.attach(app.mainWindow->engine(), app.window());

    portal.uris = {"file:///media/Backup%20Disk/%E9%A1%B9%E7%9B%AE"};
    QCOMPARE(chooser.chooseDirectory(), std::optional<QString>("/media/Backup Disk/项目"));
    QCOMPARE(portal.options.value("directory").toBool(), true);
    QCOMPARE(portal.options.value("multiple").toBool(), false);
    // Cancelled in the desktop's chooser: no answer, and no dialog of our own after it.
    portal.response = 1;
    QCOMPARE(chooser.chooseDirectory(), std::optional<QString>());
    QVERIFY(app.object("directoryDialog") == nullptr);
    QDBusConnection::disconnectFromBus("fake-portal");
}

// Without a portal the window's own dialog asks: it returns the folder the user went to
// (typed, double-clicked, or picked inside it), never one merely listed.
void WindowDesktopTest::ownChooserReturnsTheFolderTheUserWentTo() {
    TempDir dir;
    buildLibrary(dir / "Projects", {.relativePath = "Chosen.fcpbundle"});
    velmora::testing::makeDirs(dir / "Projects/Sub/Deeper");
    velmora::testing::makeDirs(dir / "OnlyHidden/.cache");
    const QString projects = q(dir / "Projects");
    velmora::QtDispatch dispatch;
    velmora::DesktopDirectoryChooser chooser;
    RecordingDesktop recording;
    velmora::ContentView view(dispatch, chooser, recording);
    velmora::MainWindow mainWindow(view);
    QQuickWindow* window = mainWindow.window();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    chooser.attach(mainWindow.engine(), window);

    const auto item = [window](const QString& name) { return findChildItem(window->contentItem(), name); };
    const auto click = [&](const QString& name) { clickItem(window, item(name)); };
    // Puts `text` in the path field as typing would, then presses Return there.
    const auto type = [&](const QString& text) {
        item("directoryPathField")->forceActiveFocus();
        item("directoryPathField")->setProperty("text", text);
        QTest::keyClick(window, Qt::Key_Return);
    };
    const auto enterSub = [&](bool twice) {
        type(projects);
        QQuickItem* sub = nullptr;
        QTRY_VERIFY((sub = item("directoryEntry:Sub")) != nullptr);
        waitForFrame(window);
        if (twice)
            QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(sub));
        else
            QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(sub));
        QTRY_COMPARE(textOf(item("directoryPathField")), projects + "/Sub");
    };
    const struct {
        std::function<void()> act;
        std::optional<QString> expected;
    } table[] = {
        {[&] { click("directoryCancelButton"); }, std::nullopt},
        {[&] { QTest::keyClick(window, Qt::Key_Escape); }, std::nullopt},
        // A folder whose only subfolder is hidden can be chosen all the same.
        {[&] { type(q(dir / "OnlyHidden")); click("directoryChooseButton"); }, q(dir / "OnlyHidden")},
        {[&] { type(projects); click("directoryChooseButton"); }, projects},
        {[&] { enterSub(true); click("directoryChooseButton"); }, projects + "/Sub"},
        {[&] { enterSub(false); click("directoryChooseButton"); }, projects + "/Sub"},
        // A path that is no folder is refused with a note, and the dialog stays.
        {[&] {
             type(q(dir / "missing"));
             QTRY_VERIFY(isShown(item("directoryPathError")));
             click("directoryChooseButton");
             QVERIFY(isShown(item("directoryPathField")));
             type(projects + "/Sub");
             click("directoryUpButton");
             QTRY_COMPARE(textOf(item("directoryPathField")), projects);
             click("directoryChooseButton");
         },
         projects},
    };
    for (const auto& c : table) {
        // The chooser's call returns only when the dialog is answered, so the test acts from
        // the event loop once the dialog is open.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, window, [&] {
            QObject* dialog = window->findChild<QObject*>("directoryDialog");
            if (dialog == nullptr || !dialog->property("opened").toBool()) return;
            poll.stop();
            c.act();
            // A failed check must not leave the chooser waiting for ever.
            if (QTest::currentTestFailed()) QMetaObject::invokeMethod(dialog, "reject");
        });
        poll.start(10);
        QCOMPARE(chooser.chooseDirectory(), c.expected);
        QTRY_VERIFY(window->findChild<QObject*>("directoryDialog") == nullptr);
    }
}

QTEST_MAIN(WindowDesktopTest)
#include "window_desktop_test.moc"
