// The program: one application object runs start-up and the event loop.
#include <QApplication>

#include "FonavidApp.h"
#include "Icons.h"

int main(int argc, char** argv) {
    // Windows and drawing work in physical pixels, without system scaling.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING")) qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Fonavid"));
    QCoreApplication::setApplicationName(QStringLiteral("Fonavid"));
    QApplication::setWindowIcon(res::ApplicationIcon());
    CFonavidApp app;
    if (!app.InitInstance(QCoreApplication::arguments())) return 1;
    return QApplication::exec();
}
