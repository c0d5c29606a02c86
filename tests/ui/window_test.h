#pragma once

// What the window's tests share: its parts found the way a user sees them (by group titles, texts and
// order), target files, and an application with a settings store of its own.
#include "tests/support/image_files.h"
#include "tools/tiff_writer.h"
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

namespace PloverTest {

template <typename T> T* child(QWidget* window, const std::function<bool(T*)>& is)
{
    for (T* candidate : window->findChildren<T*>()) {
        if (is(candidate))
            return candidate;
    }
    return nullptr;
}

inline QGroupBox* group(QWidget* window, const QString& title)
{
    return child<QGroupBox>(window, [&](QGroupBox* box) { return box->title() == title; });
}

inline QComboBox* paperCombo(QWidget* window)
{
    return group(window, QStringLiteral("Paper"))->findChild<QComboBox*>();
}

inline QComboBox* orientationCombo(QWidget* window)
{
    return group(window, QStringLiteral("Orientation"))->findChild<QComboBox*>();
}

// Button i stands for alignment value i (creation order).
inline QList<QToolButton*> alignmentButtons(QWidget* window)
{
    return group(window, QStringLiteral("Alignment"))->findChildren<QToolButton*>();
}

// Title first, then pixels, dpi, print size, colour model, profile.
inline QList<QLabel*> imageLabels(QWidget* window)
{
    return group(window, QStringLiteral("Image"))->findChildren<QLabel*>();
}

inline QLabel* errorBanner(QWidget* window)
{
    return child<QLabel>(window, [](QLabel* label) { return label->styleSheet().contains("#fdecea"); });
}

inline QAction* action(QWidget* window, const QString& text)
{
    return child<QAction>(window, [&](QAction* candidate) { return candidate->text() == text; });
}

inline void clearStore()
{
    QSettings(QStringLiteral("Tessaly"), QStringLiteral("Plover")).clear();
}

// Target files written once per test class into a folder of its own.
class TargetFiles
{
public:
    QString path(const QString& name) const { return dir.filePath(name); }

    // An 8-bit RGB TIFF of the pattern image at the given resolution.
    QString tiff(const QString& name, int width, int height, double dpi) const
    {
        if (!QFile::exists(path(name)))
            PloverTools::writeRgbTiff(path(name), patternImage(width, height), dpi, dpi);
        return path(name);
    }

private:
    QTemporaryDir dir;
};

// Runs a window test class in an application named as Plover is, with a settings store of its own
// in a temporary folder, so that a test neither sees nor changes the user's.
template <typename Test> int runWindowTest(int argc, char** argv)
{
    QApplication application(argc, argv);
    QTemporaryDir settings;
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setApplicationName(QStringLiteral("Plover"));
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    Test test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace PloverTest
