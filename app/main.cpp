#include "ui/main_window.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plover"));
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    // The installed desktop entry's name (PLOVER_APP_ID in CMake), so the desktop shows its name and
    // icon for the running window.
    QApplication::setDesktopFileName(QStringLiteral("example.tessaly.Plover"));

    Plover::MainWindow window;
    window.show();

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        window.openImagePath(arguments.at(1));

    return application.exec();
}
