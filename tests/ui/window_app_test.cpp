// The velmora program itself: its command line, and a run that opens the window on a
// location and saves a picture once the libraries are listed.
#include "support/temp_tree.h"
#include "ui/velmora_app.h"
#include "window_helpers.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <cstdio>
#include <QTest>
#include <variant>

using namespace velmora::window_testing;
using velmora::testing::TempDir;

namespace {

std::variant<velmora::AppOptions, int> parse(const QStringList& arguments) {
    return velmora::parseAppOptions(QStringList{QStringLiteral("velmora")} + arguments);
}

QString appPath() {
    return QStringLiteral(VELMORA_BIN_DIR "/velmora");
}

} // namespace

class WindowAppTest : public QObject {
    Q_OBJECT

  private slots:
    void readsTheCommandLine();
    void opensTheWindowOnAGivenLocation();
};

void WindowAppTest::readsTheCommandLine() {
    auto none = parse({});
    QVERIFY(std::holds_alternative<velmora::AppOptions>(none));
    QVERIFY(!std::get<velmora::AppOptions>(none).location.has_value());
    QVERIFY(!std::get<velmora::AppOptions>(none).screenshotPath.has_value());

    // A location is taken as given when absolute, from the current directory otherwise,
    // without a trailing separator, as a directory chooser would give it.
    auto absolute = parse({QStringLiteral("/media/Backup Disk/项目")});
    QCOMPARE(std::get<velmora::AppOptions>(absolute).location,
             std::optional<QString>(QStringLiteral("/media/Backup Disk/项目")));
    auto relative = parse({QStringLiteral("Footage/../Drives/A/")});
    QCOMPARE(std::get<velmora::AppOptions>(relative).location,
             std::optional<QString>(QDir::currentPath() + QStringLiteral("/Drives/A")));

    auto shot = parse(
        {QStringLiteral("--screenshot-when-loaded"), QStringLiteral("/tmp/w.png"), QStringLiteral("/srv")});
    QCOMPARE(std::get<velmora::AppOptions>(shot).screenshotPath,
             std::optional<QString>(QStringLiteral("/tmp/w.png")));
    QCOMPARE(std::get<velmora::AppOptions>(shot).location, std::optional<QString>(QStringLiteral("/srv")));

    // Mistakes end the program with status 2 before any window opens.
    QCOMPARE(std::get<int>(parse({QStringLiteral("/a"), QStringLiteral("/b")})), 2);
    QCOMPARE(std::get<int>(parse({QStringLiteral("--no-such-option")})), 2);
    QCOMPARE(std::get<int>(parse({QString()})), 2);
    QCOMPARE(std::get<int>(parse({QStringLiteral("--screenshot-when-loaded")})), 2);
}

void WindowAppTest::opensTheWindowOnAGivenLocation() {
    TempDir dir;
    buildLibrary(dir.path(), {.relativePath = "Shown.fcpbundle", .proxyBytes = GiB});
    const QString png = QString::fromStdString(dir / "window.png");

    QProcess app;
    app.setProcessChannelMode(QProcess::MergedChannels);
    app.start(appPath(),
              {QStringLiteral("--screenshot-when-loaded"), png, QString::fromStdString(dir.path())});
    QVERIFY2(app.waitForFinished(60000), "velmora did not quit after the screenshot");
    const QString output = QString::fromLocal8Bit(app.readAll());
    QVERIFY2(app.exitStatus() == QProcess::NormalExit && app.exitCode() == 0, qPrintable(output));
    QVERIFY2(output.contains(QStringLiteral("Saved a screenshot of the window to ") + png),
             qPrintable(output));

    const QImage image(png);
    QVERIFY(!image.isNull());
    // Both columns fit: the 250-wide locations and the library list of at least 500.
    QVERIFY2(image.width() >= 250 + 500, qPrintable(QString::number(image.width())));
    QVERIFY(image.height() >= 300);

    // On a 1280 x 800 screen at twice the scale the window fits the screen, whose 640 x 400
    // points are less than the layout asks for; the rest scrolls.
    const std::string screens = dir / "screens.json";
    {
        std::FILE* file = std::fopen(screens.c_str(), "w");
        QVERIFY(file != nullptr);
        std::fputs(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1280, "height": 800,)"
                   R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})",
                   file);
        std::fclose(file);
    }
    QProcessEnvironment small = QProcessEnvironment::systemEnvironment();
    small.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen:configfile=") + QString::fromStdString(screens));
    small.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    app.setProcessEnvironment(small);
    app.start(appPath(), {QStringLiteral("--screenshot-when-loaded"), png, QString::fromStdString(dir.path())});
    QVERIFY(app.waitForFinished(60000));
    QVERIFY2(app.exitCode() == 0, qPrintable(QString::fromLocal8Bit(app.readAll())));
    const QImage fitted(png);
    QVERIFY2(fitted.width() <= 1280 && fitted.height() <= 800 && fitted.width() >= 1000,
             qPrintable(QStringLiteral("%1 x %2").arg(fitted.width()).arg(fitted.height())));
    app.setProcessEnvironment(QProcessEnvironment::systemEnvironment());

    // Without a library the program still saves the picture, but says so and fails.
    TempDir empty;
    app.start(appPath(),
              {QStringLiteral("--screenshot-when-loaded"), png, QString::fromStdString(empty.path())});
    QVERIFY(app.waitForFinished(60000));
    QCOMPARE(app.exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(app.readAll()).contains(QStringLiteral("no libraries were listed")));
}

QTEST_MAIN(WindowAppTest)
#include "window_app_test.moc"
