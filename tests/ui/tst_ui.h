#pragma once

#include "tests/support/image_files.h"
#include "tools/tiff_writer.h"

#include <QFile>
#include <QObject>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace PloverTest {

// Each file of the window's tests contributes one test class.
std::unique_ptr<QObject> newWindowTest();
std::unique_ptr<QObject> newPrintFlowTest();

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
        const QString file = path(name);
        if (!QFile::exists(file))
            PloverTools::writeRgbTiff(file, patternImage(width, height), dpi, dpi);
        return file;
    }

private:
    QTemporaryDir dir;
};

} // namespace PloverTest
