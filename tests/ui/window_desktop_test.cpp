// The app's own desktop calls and directory chooser, against a private session bus and the
// real folder dialog.
#include "support/temp_tree.h"
#include "ui/desktop_directory_chooser.h"
#include "ui/system_desktop_services.h"
#include "window_helpers.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
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

// Stands in for a file manager on the bus.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

  public:
    QList<QStringList> shown;

  public slots:
    void ShowItems(const QStringList& uris, const QString& startupId) {
        Q_UNUSED(startupId);
        shown << uris;
    }
};

// Takes the URLs that QDesktopServices would hand to the desktop.
class UrlCatcher : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> opened;

  public slots:
    void open(const QUrl& url) { opened << url; }
};

class WindowDesktopTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void revealFallsBackToTheParentFolderWithoutAFileManager();
    void revealAsksTheFileManagerOverTheBus();
    void openUsesTheDefaultApplication();
    void ownChooserReturnsTheFolderTheUserWentTo();
    void portalChooserIsAskedFirst();

  private:
    QProcess bus;
    UrlCatcher catcher;
    QString busAddress;
};

void WindowDesktopTest::initTestCase() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        QSKIP("dbus-daemon is not installed: the file-manager calls cannot be checked");
    }
    // A bus of our own, so no real file manager answers and none is started.
    bus.start(daemon,
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY(bus.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(bus.canReadLine(), 10000);
    busAddress = QString::fromUtf8(bus.readLine()).trimmed();
    QVERIFY(!busAddress.isEmpty());
    qputenv("DBUS_SESSION_BUS_ADDRESS", busAddress.toUtf8());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
}

void WindowDesktopTest::cleanupTestCase() {
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    if (bus.state() != QProcess::NotRunning) {
        bus.kill();
        bus.waitForFinished();
    }
}

void WindowDesktopTest::revealFallsBackToTheParentFolderWithoutAFileManager() {
    catcher.opened.clear();
    velmora::SystemDesktopServices desktop;
    desktop.revealInFileManager(QStringLiteral("/Volumes/Backup Disk/Projects/Demo 演示.fcpbundle"), {});
    // The call returns before any answer; the fallback follows the bus's error reply.
    QVERIFY(catcher.opened.isEmpty());
    QTRY_COMPARE(catcher.opened,
                 QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/Volumes/Backup Disk/Projects"))});

    // A path with a trailing slash still opens the folder that holds it.
    catcher.opened.clear();
    desktop.revealInFileManager(QStringLiteral("/srv/Demo.fcpbundle/"), {});
    QTRY_COMPARE(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/srv"))});
}

void WindowDesktopTest::revealAsksTheFileManagerOverTheBus() {
    // The file manager has a connection of its own, as a separate program would.
    QDBusConnection managerConnection =
        QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-file-manager"));
    QVERIFY(managerConnection.isConnected());
    FakeFileManager manager;
    QVERIFY(managerConnection.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                             QDBusConnection::ExportAllSlots));
    QVERIFY(managerConnection.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    catcher.opened.clear();
    velmora::SystemDesktopServices desktop;
    desktop.revealInFileManager(QStringLiteral("/media/Backup Disk/Demo 演示.fcpbundle"), {});
    QTRY_COMPARE(manager.shown.size(), 1);
    QCOMPARE(manager.shown.front(),
             QStringList{QStringLiteral("file:///media/Backup%20Disk/Demo%20%E6%BC%94%E7%A4%BA.fcpbundle")});
    QTest::qWait(100);
    QVERIFY(catcher.opened.isEmpty());

    managerConnection.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    managerConnection.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-file-manager"));
}

void WindowDesktopTest::openUsesTheDefaultApplication() {
    catcher.opened.clear();
    int failures = 0;
    const auto failed = [&failures] { ++failures; };
    velmora::SystemDesktopServices desktop;
    desktop.openWithDefaultApplication(QStringLiteral("/media/Backup Disk/Demo.fcpbundle"), failed);
    QCOMPARE(catcher.opened,
             QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/media/Backup Disk/Demo.fcpbundle"))});
    // Nothing to open, nothing asked.
    desktop.openWithDefaultApplication(QString(), failed);
    desktop.revealInFileManager(QString(), failed);
    QCOMPARE(catcher.opened.size(), 1);
    QCOMPARE(failures, 0);

    // No handler that could be started: the caller hears of it, for both calls (the reveal
    // falls back to opening the folder once the bus says there is no file manager).
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    TempDir emptyPath;
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", emptyPath.path().c_str());
    desktop.openWithDefaultApplication(QStringLiteral("/media/Backup Disk/Demo.fcpbundle"), failed);
    QCOMPARE(failures, 1);
    desktop.revealInFileManager(QStringLiteral("/media/Backup Disk/Demo.fcpbundle"), failed);
    QTRY_COMPARE(failures, 2);
    qputenv("PATH", savedPath);
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
}

namespace {

// Runs `action` with the window's own directory dialog once it is open: the chooser's call
// returns only when the dialog is answered, so the test acts from the event loop.
void whenDialogOpens(QQuickWindow* window, std::function<void(QObject*)> action) {
    auto* poll = new QTimer(window);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, window, [window, poll, action] {
        QObject* dialog = window->findChild<QObject*>(QStringLiteral("directoryDialog"));
        if (dialog == nullptr || !dialog->property("opened").toBool()) return;
        poll->stop();
        poll->deleteLater();
        action(dialog);
        // A failed check inside `action` must not leave the chooser waiting for ever.
        if (QTest::currentTestFailed() && dialog->property("opened").toBool())
            QMetaObject::invokeMethod(dialog, "reject");
    });
    poll->start();
}

// Puts `text` in the path field as typing would, then presses Return there.
void typeInto(QQuickWindow* window, QQuickItem* field, const QString& text) {
    field->forceActiveFocus();
    field->setProperty("text", text);
    QTest::keyClick(window, Qt::Key_Return);
}

} // namespace

// Without a portal on the bus the window's own dialog asks: it returns the folder the user
// went to (typed, double-clicked, or picked inside it), never a folder merely highlighted.
void WindowDesktopTest::ownChooserReturnsTheFolderTheUserWentTo() {
    TempDir dir;
    buildLibrary(dir / "Projects", {.relativePath = "Chosen.fcpbundle", .proxyBytes = 1 << 20});
    velmora::testing::makeDirs(dir / "Projects/Sub/Deeper");
    velmora::testing::makeDirs(dir / "OnlyHidden/.cache");
    const QString projects = QString::fromStdString(dir / "Projects");

    velmora::QtDispatch dispatch;
    velmora::DesktopDirectoryChooser chooser;
    RecordingDesktop desktop;
    velmora::ContentView view(dispatch, chooser, desktop);
    velmora::MainWindow mainWindow(view);
    QQuickWindow* window = mainWindow.window();
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // Not attached to a window yet: no dialog, no answer.
    QCOMPARE(chooser.chooseDirectory(), std::optional<QString>());
    chooser.attach(mainWindow.engine(), window);

    struct Case {
        const char* what;
        std::function<void(QObject*)> act;
        std::optional<QString> expected;
    };
    const auto field = [window] { return findItem(window, QStringLiteral("directoryPathField")); };
    const auto click = [window](const QString& name) { clickItem(window, findItem(window, name)); };
    const Case table[] = {
        {"cancelled", [&](QObject*) { click(QStringLiteral("directoryCancelButton")); }, std::nullopt},
        {"escape", [&](QObject*) { QTest::keyClick(window, Qt::Key_Escape); }, std::nullopt},
        // A folder whose only subfolder is hidden can be chosen all the same.
        {"typed path",
         [&](QObject*) {
             typeInto(window, field(), QString::fromStdString(dir / "OnlyHidden"));
             QTRY_COMPARE(textOf(field()), QString::fromStdString(dir / "OnlyHidden"));
             click(QStringLiteral("directoryChooseButton"));
         },
         QString::fromStdString(dir / "OnlyHidden")},
        // Typing a folder and going in: its first subfolder is listed but not taken.
        {"navigated folder",
         [&](QObject*) {
             typeInto(window, field(), projects);
             QTRY_VERIFY(findItem(window, QStringLiteral("directoryEntry:Sub")) != nullptr);
             grabToPng(window, QStringLiteral("window_directory_dialog"));
             click(QStringLiteral("directoryChooseButton"));
         },
         projects},
        {"double-clicked subfolder",
         [&](QObject*) {
             typeInto(window, field(), projects);
             QQuickItem* sub = nullptr;
             QTRY_VERIFY((sub = findItem(window, QStringLiteral("directoryEntry:Sub"))) != nullptr);
             waitForFrame(window);
             QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(sub));
             QTRY_VERIFY(findItem(window, QStringLiteral("directoryEntry:Deeper")) != nullptr);
             click(QStringLiteral("directoryChooseButton"));
         },
         projects + QStringLiteral("/Sub")},
        {"picked subfolder",
         [&](QObject*) {
             typeInto(window, field(), projects);
             QQuickItem* sub = nullptr;
             QTRY_VERIFY((sub = findItem(window, QStringLiteral("directoryEntry:Sub"))) != nullptr);
             clickItem(window, sub);
             QCOMPARE(textOf(field()), projects + QStringLiteral("/Sub"));
             click(QStringLiteral("directoryChooseButton"));
         },
         projects + QStringLiteral("/Sub")},
        // A path that is no folder is refused with a note, and the dialog stays.
        {"no folder, then up",
         [&](QObject* dialog) {
             typeInto(window, field(), QString::fromStdString(dir / "missing"));
             QTRY_VERIFY(isShown(findItem(window, QStringLiteral("directoryPathError"))));
             click(QStringLiteral("directoryChooseButton"));
             QVERIFY(dialog->property("opened").toBool());
             typeInto(window, field(), projects + QStringLiteral("/Sub"));
             click(QStringLiteral("directoryUpButton"));
             QTRY_COMPARE(textOf(field()), projects);
             click(QStringLiteral("directoryChooseButton"));
         },
         projects},
    };
    for (const Case& c : table) {
        QString title;
        bool modal = false;
        whenDialogOpens(window, [&](QObject* dialog) {
            title = dialog->property("title").toString();
            modal = dialog->property("modal").toBool();
            c.act(dialog);
        });
        QCOMPARE(chooser.chooseDirectory(), c.expected);
        QCOMPARE(title, QStringLiteral("选择目录"));
        QVERIFY2(modal, c.what);
        QTRY_VERIFY(window->findChild<QObject*>(QStringLiteral("directoryDialog")) == nullptr);
    }

    // Through the window's button: the chosen folder is searched.
    whenDialogOpens(window, [&](QObject*) {
        typeInto(window, field(), projects);
        clickItem(window, findItem(window, QStringLiteral("directoryChooseButton")));
    });
    clickItem(window, findItem(window, QStringLiteral("chooseOtherDirectoryButton")));
    QCOMPARE(view.selectedPath(), projects);
    QTRY_VERIFY_WITH_TIMEOUT(!view.isRetrieving() && view.fcpBundlesModel()->count() == 1, 20000);
}

// Stands in for the desktop's file-chooser portal.
class FakePortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")

  public:
    explicit FakePortal(QDBusConnection connection) : bus(std::move(connection)) {}
    QString title;
    QVariantMap options;
    uint response = 0;
    QStringList uris;

  public slots:
    QDBusObjectPath OpenFile(const QString& parent, const QString& dialogTitle, const QVariantMap& given,
                             const QDBusMessage& message) {
        Q_UNUSED(parent);
        title = dialogTitle;
        options = given;
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, given.value(QStringLiteral("handle_token")).toString());
        // The answer comes later, as the user's choice would.
        QTimer::singleShot(0, this, [this, path] {
            QDBusMessage signal = QDBusMessage::createSignal(
                path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
            signal << response << QVariantMap{{QStringLiteral("uris"), uris}};
            bus.send(signal);
        });
        return QDBusObjectPath(path);
    }

  private:
    QDBusConnection bus;
};

void WindowDesktopTest::portalChooserIsAskedFirst() {
    QDBusConnection portalConnection =
        QDBusConnection::connectToBus(busAddress, QStringLiteral("fake-portal"));
    FakePortal portal(portalConnection);
    QVERIFY(portalConnection.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                            QDBusConnection::ExportAllSlots));
    QVERIFY(portalConnection.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));

    velmora::QtDispatch dispatch;
    velmora::DesktopDirectoryChooser chooser;
    RecordingDesktop desktop;
    velmora::ContentView view(dispatch, chooser, desktop);
    velmora::MainWindow mainWindow(view);
    chooser.attach(mainWindow.engine(), mainWindow.window());

    portal.uris = {QStringLiteral("file:///media/Backup%20Disk/%E9%A1%B9%E7%9B%AE")};
    QCOMPARE(chooser.chooseDirectory(), std::optional<QString>(QStringLiteral("/media/Backup Disk/项目")));
    QCOMPARE(portal.title, QStringLiteral("选择目录"));
    QCOMPARE(portal.options.value(QStringLiteral("directory")).toBool(), true);
    QCOMPARE(portal.options.value(QStringLiteral("multiple")).toBool(), false);
    QCOMPARE(portal.options.value(QStringLiteral("modal")).toBool(), true);
    // Cancelled in the desktop's chooser: no answer, and no second dialog of our own.
    portal.response = 1;
    QCOMPARE(chooser.chooseDirectory(), std::optional<QString>());
    QVERIFY(mainWindow.window()->findChild<QObject*>(QStringLiteral("directoryDialog")) == nullptr);

    portalConnection.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    portalConnection.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
}

QTEST_MAIN(WindowDesktopTest)
#include "window_desktop_test.moc"
