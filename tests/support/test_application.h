#pragma once

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace PloverTest {

// The application a window test runs in: named as Plover is, with a settings store of its own in a
// temporary folder, so that a test neither sees nor changes the user's.
class TestApplication
{
public:
    TestApplication(int& argc, char** argv) : application(argc, argv)
    {
        QStandardPaths::setTestModeEnabled(true);
        QApplication::setApplicationName(QStringLiteral("Plover"));
        QApplication::setOrganizationName(QStringLiteral("Tessaly"));
        QApplication::setApplicationVersion(QStringLiteral("1.0"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    }

private:
    QApplication application;
    QTemporaryDir settings;
};

} // namespace PloverTest
