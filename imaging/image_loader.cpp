#include "image_loader.h"

#include "image_load_exception.h"

namespace Plover {

TargetImage ImageLoader::loadTargetImage(const QString&) const
{
    throw ImageLoadException(QStringLiteral("Choose a TIFF, JPEG, or PNG image."));
}

TargetImage ImageLoader::readQtImage(const QString&) const
{
    throw ImageLoadException(QStringLiteral("The file could not be read as an image."));
}

TargetImage ImageLoader::readTiffImage(const QString&) const
{
    throw ImageLoadException(QStringLiteral("The file could not be read as a TIFF image."));
}

bool ImageLoader::isSupportedColorModel(const QString& text)
{
    return text == QLatin1String("RGB") || text == QLatin1String("Grayscale") || text == QLatin1String("CMYK");
}

} // namespace Plover
