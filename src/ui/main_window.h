#pragma once

#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <memory>

namespace velmora {

class ContentView;

// The window of one ContentView: a QML engine that shows the view's state and calls its
// operations. The app and the window tests build it the same way.
class MainWindow {
  public:
    explicit MainWindow(ContentView& view);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The loaded window, or nullptr when the QML could not be loaded.
    [[nodiscard]] QQuickWindow* window() const { return loadedWindow; }
    [[nodiscard]] QQmlApplicationEngine& engine() { return *qmlEngine; }

  private:
    std::unique_ptr<QQmlApplicationEngine> qmlEngine;
    QQuickWindow* loadedWindow = nullptr;
};

} // namespace velmora
