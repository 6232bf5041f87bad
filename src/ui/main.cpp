#include "app_identity.h"
#include "i18n/translation.h"
#include "platform/descriptor_budget.h"
#include "platform/log_output.h"
#include "ui/color_scheme.h"
#include "ui/velmora_app.h"

#include <QGuiApplication>
#include <QIcon>
#include <QStringList>
#include <variant>

int main(int argc, char** argv) {
    velmora::raiseDescriptorLimit();
    // The log of removed entries goes to standard output: a reader that goes away must not
    // end the window in the middle of a cleaning.
    velmora::ignoreClosedPipes();
    // Help and version are answered before the window system is reached, so they work
    // without a display.
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("-h") || argument == QLatin1String("--help") ||
            argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            (void)velmora::parseAppOptions({QStringLiteral("velmora"), argument});
            return 0;
        }
    }

    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Velmora"));
    QGuiApplication::setOrganizationName(QStringLiteral("Velmora"));
    QGuiApplication::setApplicationVersion(QString::fromLatin1(velmora::kVersion));
    // The shell matches the window to the installed menu entry by this name (the Wayland app
    // id, and the desktop-file hint on X11), and shows the entry's name and icon for it.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(velmora::kApplicationId));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/velmora.svg")));
    velmora::applyColorSchemeFromEnvironment();
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
