// The program: one application object runs start-up and the event loop.
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FonavidApp.h"
#include "Icons.h"

int main(int argc, char** argv) {
    // --help and --version answer on the terminal before a display is opened,
    // so that they work in a shell without one.
    const CommandLine early = CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (early.action == CommandLine::Action::Help) {
        std::fputs(CommandLine::HelpText().c_str(), stdout);
        return 0;
    }
    if (early.action == CommandLine::Action::Version) {
        std::fputs(CommandLine::VersionText().c_str(), stdout);
        return 0;
    }

    // Qt ends the program when it finds no display, before the options below
    // are checked: then the unknown option is what the user hears of.
    if (early.action == CommandLine::Action::Error &&
        !CommandLine::NamesADisplay(std::vector<std::string>(argv + 1, argv + argc), std::getenv("DISPLAY"),
                                    std::getenv("WAYLAND_DISPLAY"), std::getenv("QT_QPA_PLATFORM"))) {
        std::fprintf(stderr, "%s\n", early.error.c_str());
        return 1;
    }
    QApplication application(argc, argv);
    // Qt has taken its own options (-platform, -style...) out of argv by now:
    // what is left unrecognised is the user's mistake.
    const CommandLine line = CommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (line.action == CommandLine::Action::Error) {
        std::fprintf(stderr, "%s\n", line.error.c_str());
        return 1;
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Fonavid"));
    QCoreApplication::setApplicationName(QStringLiteral("Fonavid"));
    CFonavidApp::LoadQtTranslations();
    QApplication::setWindowIcon(res::ApplicationIcon());
    CFonavidApp app;
    // argv as Qt left it, its own options taken out: the names keep their bytes.
    if (!app.InitInstance(std::vector<std::string>(argv, argv + argc))) return 1;
    return QApplication::exec();
}
