#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <variant>

namespace velmora {

class ContentView;
class MainWindow;
class QtDispatch;
class DesktopDirectoryChooser;
class SystemDesktopServices;

// What the command line asks of the app.
struct AppOptions {
    // A location to select at start, as if chosen in the directory chooser.
    std::optional<QString> location;
    // Where to save a grab of the window once the location's libraries are listed; the app
    // quits after saving.
    std::optional<QString> screenshotPath;
};

// Reads `velmora [--screenshot-when-loaded PNG] [LOCATION]`. Prints help, the version or an
// error and returns an exit code when the app should not start.
[[nodiscard]] std::variant<AppOptions, int> parseAppOptions(const QStringList& arguments);

// The application: its queues, desktop services, the one ContentView and its window.
// Make it after the QGuiApplication.
class VelmoraApp {
  public:
    VelmoraApp();
    ~VelmoraApp();
    VelmoraApp(const VelmoraApp&) = delete;
    VelmoraApp& operator=(const VelmoraApp&) = delete;

    // Opens the window and runs the event loop until the user quits; returns the exit code.
    int run(const AppOptions& options);

  private:
    void grabWhenLoaded(const QString& path);

    std::unique_ptr<QtDispatch> dispatch;
    std::unique_ptr<DesktopDirectoryChooser> chooser;
    std::unique_ptr<SystemDesktopServices> desktop;
    std::unique_ptr<ContentView> view;
    std::unique_ptr<MainWindow> mainWindow;
};

} // namespace velmora
