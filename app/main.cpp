#include "ui/application_info.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace {

// Installs the first translation of `name` that matches the system's languages, looking in each of
// `folders` in turn; where none is installed the texts stay English.
void installTranslation(QTranslator& translator, const QString& name, const QStringList& folders)
{
    for (const QString& folder : folders) {
        if (translator.load(QLocale::system(), name, QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(&translator);
            return;
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    using namespace Plover;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(ApplicationInfo::name));
    QApplication::setOrganizationName(QString::fromUtf8(ApplicationInfo::organization));
    QApplication::setApplicationVersion(QString::fromUtf8(ApplicationInfo::version));
    // The installed desktop entry's name, so the desktop shows its name and icon for the running window.
    QApplication::setDesktopFileName(QString::fromUtf8(ApplicationInfo::desktopId));

    // Qt's own texts (standard buttons, file dialog) from Qt's folder or, in the portable Windows
    // folder, from beside the executable, where Plover's own are too.
    const QString ours = QDir(QCoreApplication::applicationDirPath())
                             .filePath(QString::fromUtf8(ApplicationInfo::translationsDir));
    QTranslator qtTexts, ploverTexts;
    installTranslation(qtTexts, QStringLiteral("qtbase"),
                       {QLibraryInfo::path(QLibraryInfo::TranslationsPath), ours});
    installTranslation(ploverTexts, QStringLiteral("plover"), {ours});

    MainWindow window;
    window.show();

    // Several files open as one set, as when they are dropped together.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() == 2)
        window.openImagePath(arguments.at(1));
    else if (arguments.size() > 2)
        window.openImagePaths(arguments.mid(1));

    return application.exec();
}
