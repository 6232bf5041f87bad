// The app's own desktop calls and directory chooser, against a private session bus and the
// real folder dialog.
#include "support/temp_tree.h"
#include "ui/folder_dialog_directory_chooser.h"
#include "ui/system_desktop_services.h"
#include "window_helpers.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

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
    void chooserIsAModalFolderDialogTitledInChinese();

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
    desktop.revealInFileManager(QStringLiteral("/Volumes/Backup Disk/Projects/Demo 演示.fcpbundle"));
    // The call returns before any answer; the fallback follows the bus's error reply.
    QVERIFY(catcher.opened.isEmpty());
    QTRY_COMPARE(catcher.opened,
                 QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/Volumes/Backup Disk/Projects"))});

    // A path with a trailing slash still opens the folder that holds it.
    catcher.opened.clear();
    desktop.revealInFileManager(QStringLiteral("/srv/Demo.fcpbundle/"));
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
    desktop.revealInFileManager(QStringLiteral("/media/Backup Disk/Demo 演示.fcpbundle"));
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
    velmora::SystemDesktopServices desktop;
    desktop.openWithDefaultApplication(QStringLiteral("/media/Backup Disk/Demo.fcpbundle"));
    QCOMPARE(catcher.opened,
             QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/media/Backup Disk/Demo.fcpbundle"))});
    // Nothing to open, nothing asked.
    desktop.openWithDefaultApplication(QString());
    desktop.revealInFileManager(QString());
    QTest::qWait(100);
    QCOMPARE(catcher.opened.size(), 1);
}

void WindowDesktopTest::chooserIsAModalFolderDialogTitledInChinese() {
    TempDir dir;
    buildLibrary(dir.path(), {.relativePath = "Chosen.fcpbundle", .proxyBytes = 1 << 20});
    const QString location = QString::fromStdString(dir.path());

    // The app's chooser instead of the scripted one.
    velmora::QtDispatch dispatch;
    velmora::FolderDialogDirectoryChooser chooser;
    RecordingDesktop desktop;
    velmora::ContentView view(dispatch, chooser, desktop);
    velmora::MainWindow mainWindow(view);
    QQuickWindow* window = mainWindow.window();
    QVERIFY(window != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // Not attached to a window yet: no dialog, no answer.
    QCOMPARE(chooser.chooseDirectory(), std::optional<QString>());
    chooser.attach(mainWindow.engine(), window);
    QQuickItem* chooseButton = findItem(window, QStringLiteral("chooseOtherDirectoryButton"));

    // A cancelled dialog changes nothing.
    bool rejected = false;
    QTimer::singleShot(200, window, [&] {
        if (QObject* dialog = window->findChild<QObject*>(QStringLiteral("directoryDialog"))) {
            rejected = QMetaObject::invokeMethod(dialog, "reject");
        }
    });
    clickItem(window, chooseButton);
    QVERIFY(rejected);
    QVERIFY(view.selectedPath().isEmpty());
    QVERIFY(!view.isRetrieving());

    QString title;
    QString acceptLabel;
    QString rejectLabel;
    int modality = -1;
    bool wasVisible = false;
    QTimer::singleShot(200, window, [&] {
        QObject* dialog = window->findChild<QObject*>(QStringLiteral("directoryDialog"));
        if (dialog == nullptr) {
            return;
        }
        title = dialog->property("title").toString();
        modality = dialog->property("modality").toInt();
        acceptLabel = dialog->property("acceptLabel").toString();
        rejectLabel = dialog->property("rejectLabel").toString();
        wasVisible = dialog->property("visible").toBool();
        grabToPng(window, QStringLiteral("window_directory_dialog"));
        dialog->setProperty("currentFolder", QUrl::fromLocalFile(location));
        dialog->setProperty("selectedFolder", QUrl::fromLocalFile(location));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    clickItem(window, chooseButton);

    // The click returned only once the dialog was answered.
    QCOMPARE(title, QStringLiteral("选择目录"));
    QCOMPARE(modality, static_cast<int>(Qt::ApplicationModal));
    QCOMPARE(acceptLabel, QStringLiteral("选择"));
    QCOMPARE(rejectLabel, QStringLiteral("取消"));
    QVERIFY(wasVisible);
    QCOMPARE(view.selectedPath(), location);
    QTRY_VERIFY_WITH_TIMEOUT(!view.isRetrieving() && view.fcpBundlesModel()->count() == 1, 20000);
    QVERIFY(findItem(window, QStringLiteral("libraryRow:Chosen.fcpbundle")) != nullptr);
    QVERIFY(window->findChild<QObject*>(QStringLiteral("directoryDialog")) == nullptr);
}

QTEST_MAIN(WindowDesktopTest)
#include "window_desktop_test.moc"
