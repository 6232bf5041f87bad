#include "i18n/translation.h"
#include "ui/velmora_app.h"

#include <QGuiApplication>
#include <QStringList>
#include <variant>

int main(int argc, char** argv) {
    // Help is answered before the window system is reached, so it works without a display.
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            (void)velmora::parseAppOptions({QStringLiteral("velmora"), argument});
            return 0;
        }
    }

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Velmora"));
    QGuiApplication::setOrganizationName(QStringLiteral("Velmora"));
    // The user's language, before the first text is looked up.
    (void)velmora::useTranslationFor(QLocale::system());
    // Qt's own options (-platform and the like) are gone from arguments() by now.
    auto parsed = velmora::parseAppOptions(QGuiApplication::arguments());
    if (const int* exitCode = std::get_if<int>(&parsed)) {
        return *exitCode;
    }
    velmora::VelmoraApp velmoraApp;
    return velmoraApp.run(std::get<velmora::AppOptions>(parsed));
}
