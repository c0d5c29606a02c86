#pragma once

#include <QImage>
#include <QString>
#include <cstdint>

namespace Plover {

// One loaded target: its pixels and the facts the inspector, layout, preview and print job use.
struct TargetImage
{
    QString filePath;
    QString fileName;
    std::int32_t pixelWidth = 0;
    std::int32_t pixelHeight = 0;
    double dpiX = 72.0;
    double dpiY = 72.0;
    QString colorModel = QStringLiteral(QT_TRANSLATE_NOOP("Plover::TargetImage", "Unknown"));
    bool hasIccProfile = false;
    QString iccProfileDescription;
    QImage image;
};

} // namespace Plover
