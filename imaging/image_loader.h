#pragma once

#include "target_image.h"

#include <QString>

namespace Plover {

// Turns a file path into a TargetImage; TIFF through libtiff, JPEG and PNG through Qt.
// Every refusal throws ImageLoadException. Stateless.
class ImageLoader
{
public:
    TargetImage loadTargetImage(const QString& path) const;
    TargetImage readQtImage(const QString& path) const;
    TargetImage readTiffImage(const QString& path) const;

    static bool isSupportedColorModel(const QString& text);
};

} // namespace Plover
