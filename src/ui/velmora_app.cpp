#include "ui/velmora_app.h"

#include "app_identity.h"
#include "ui/content_view.h"
#include "ui/desktop_directory_chooser.h"
#include "ui/main_window.h"
#include "ui/qt_dispatch.h"
#include "ui/system_desktop_services.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QQuickWindow>
#include <QTimer>
#include <cstdio>

namespace velmora {

namespace {

// Time for the list's rows to be laid out and painted before the grab.
constexpr int settleMilliseconds = 500;
// A grab is taken at the latest after this long, whatever the scan is doing.
constexpr int screenshotTimeoutMilliseconds = 10 * 60 * 1000;

} // namespace

std::variant<AppOptions, int> parseAppOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Finds Final Cut Pro libraries, shows the size of their regenerable data and cleans it."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("location"),
        QStringLiteral("A directory to search right away, as if chosen in the window."),
        QStringLiteral("[LOCATION]"));
    const QCommandLineOption screenshot(
        QStringList{QStringLiteral("screenshot-when-loaded")},
        QStringLiteral("Save a PNG of the window once the location's libraries are listed, then quit."),
        QStringLiteral("png"));
    parser.addOption(screenshot);
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "velmora: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QString help = parser.helpText();
        help.replace(QStringLiteral("<executable_name>"), QStringLiteral("velmora"));
        std::printf("%s", qPrintable(help));
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("velmora %s\n", kVersion);
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        std::fprintf(stderr, "velmora: at most one location, got %lld\n",
                     static_cast<long long>(positional.size()));
        return 2;
    }

    AppOptions options;
    if (!positional.isEmpty()) {
        const QString& given = positional.first();
        if (given.isEmpty()) {
            std::fprintf(stderr, "velmora: the location is empty\n");
            return 2;
        }
        // A relative location is taken from the current directory, like a chooser's answer.
        options.location = QDir::cleanPath(QDir::current().absoluteFilePath(given));
    }
    if (parser.isSet(screenshot)) {
        options.screenshotPath = parser.value(screenshot);
    }
    return options;
}

VelmoraApp::VelmoraApp()
    : dispatch(std::make_unique<QtDispatch>()), chooser(std::make_unique<DesktopDirectoryChooser>()),
      desktop(std::make_unique<SystemDesktopServices>()),
      view(std::make_unique<ContentView>(*dispatch, *chooser, *desktop)) {}

VelmoraApp::~VelmoraApp() {
    // The window goes first: its bindings read the view.
    mainWindow.reset();
}

int VelmoraApp::run(const AppOptions& options) {
    mainWindow = std::make_unique<MainWindow>(*view);
    QQuickWindow* window = mainWindow->window();
    if (window == nullptr) {
        std::fprintf(stderr, "velmora: the window could not be loaded\n");
        return 1;
    }
    chooser->attach(mainWindow->engine(), window);
    if (options.location) {
        view->selectLocation(*options.location);
    }
    if (options.screenshotPath) {
        grabWhenLoaded(*options.screenshotPath);
    }
    return QGuiApplication::exec();
}

void VelmoraApp::grabWhenLoaded(const QString& path) {
    QQuickWindow* window = mainWindow->window();
    auto grabAndQuit = [window, path, this] {
        const QImage image = window->grabWindow();
        const bool saved = !image.isNull() && image.save(path, "PNG");
        if (saved) {
            std::printf("Saved a screenshot of the window to %s\n", qPrintable(path));
        } else {
            std::fprintf(stderr, "velmora: could not save the screenshot to %s\n", qPrintable(path));
        }
        const bool listed = view->fcpBundlesModel()->count() > 0;
        if (saved && !listed) {
            std::fprintf(stderr, "velmora: no libraries were listed when the screenshot was taken\n");
        }
        QCoreApplication::exit(saved && listed ? 0 : 1);
    };
    auto scheduled = std::make_shared<bool>(false);
    auto scheduleGrab = [scheduled, grabAndQuit, window] {
        if (*scheduled) {
            return;
        }
        *scheduled = true;
        QTimer::singleShot(settleMilliseconds, window, grabAndQuit);
    };
    const bool waitsForScan = view->isRetrieving();
    if (!waitsForScan) {
        scheduleGrab();
        return;
    }
    QObject::connect(view.get(), &ContentView::isRetrievingChanged, window, [this, scheduleGrab] {
        if (!view->isRetrieving()) {
            scheduleGrab();
        }
    });
    QTimer::singleShot(screenshotTimeoutMilliseconds, window, scheduleGrab);
}

} // namespace velmora
