#include "ui/velmora_app.h"

#include <QGuiApplication>
#include <variant>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Velmora"));
    QGuiApplication::setOrganizationName(QStringLiteral("Velmora"));

    auto parsed = velmora::parseAppOptions(QGuiApplication::arguments());
    if (const int* exitCode = std::get_if<int>(&parsed)) {
        return *exitCode;
    }
    velmora::VelmoraApp velmoraApp;
    return velmoraApp.run(std::get<velmora::AppOptions>(parsed));
}
