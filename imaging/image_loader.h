#pragma once

#include "target_image.h"
#include "target_set.h"

#include <QString>

namespace Plover {

// Turns a file path into a TargetImage; TIFF through libtiff, JPEG and PNG through Qt.
// Every refusal throws ImageLoadException. Stateless.
class ImageLoader
{
public:
    TargetImage loadTargetImage(const QString& path) const;
    // One page of a set, under the same rules as a single image.
    TargetImage loadTargetPage(const TargetPageSource& page) const;
    TargetImage readQtImage(const QString& path) const;
    TargetImage readTiffImage(const QString& path) const;
    TargetImage readTiffPage(const QString& path, int pageIndex) const;

    // The number of images in a TIFF file; 1 for a file libtiff cannot open.
    static int tiffPageCount(const QString& path);

    static bool isSupportedColorModel(const QString& text);
};

} // namespace Plover
