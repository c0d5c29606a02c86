#include "imaging/image_loader.h"

#include "imaging/image_load_exception.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace Plover {

TargetImage ImageLoader::loadTargetImage(const QString& path) const
{
    // The suffix alone decides, before the file is touched.
    const QString suffix = (QLatin1Char('.') + QFileInfo(path).suffix()).toLower();
    if (suffix == QLatin1String(".tif") || suffix == QLatin1String(".tiff"))
        return readTiffImage(path);
    if (suffix == QLatin1String(".jpg") || suffix == QLatin1String(".jpeg") ||
        suffix == QLatin1String(".png"))
        return readQtImage(path);
    throw ImageLoadException(
        QCoreApplication::translate("Plover::ImageLoader", "Choose a TIFF, JPEG, or PNG image."));
}

TargetImage ImageLoader::loadTargetPage(const TargetPageSource& page) const
{
    // Only a TIFF has pages beyond the first; the suffix rules stay those of a single image.
    if (page.pageIndex == 0)
        return loadTargetImage(page.filePath);
    const QString suffix = QFileInfo(page.filePath).suffix().toLower();
    if (suffix != QLatin1String("tif") && suffix != QLatin1String("tiff"))
        throw ImageLoadException(
            QCoreApplication::translate("Plover::ImageLoader", "The TIFF image data could not be decoded."));
    return readTiffPage(page.filePath, page.pageIndex);
}

bool ImageLoader::isSupportedColorModel(const QString& text)
{
    return text == QLatin1String("RGB") || text == QLatin1String("Grayscale") ||
           text == QLatin1String("CMYK");
}

} // namespace Plover
