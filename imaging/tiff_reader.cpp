#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"

#include <QFileInfo>
#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <tiffio.h>

namespace Plover {

namespace {

constexpr double fallbackDpi = 72.0;

struct TiffCloser
{
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

void freePixels(void* memory)
{
    std::free(memory);
}

struct PixelsFree
{
    void operator()(void* memory) const { freePixels(memory); }
};

QString colorModelOf(std::uint16_t photometric, std::uint16_t samplesPerPixel)
{
    if (photometric < PHOTOMETRIC_RGB)
        return QStringLiteral("Grayscale");
    if (photometric == PHOTOMETRIC_SEPARATED)
        return QStringLiteral("CMYK");
    if (photometric == PHOTOMETRIC_RGB)
        return QStringLiteral("RGB");
    // YCbCr, CIE L*a*b* and the like render as colour when they carry three channels.
    return samplesPerPixel >= 3 ? QStringLiteral("RGB") : QStringLiteral("Unknown");
}

double resolutionOf(float value, std::uint16_t unit)
{
    double dpi = fallbackDpi; // also for unit none and units libtiff does not know
    if (std::isfinite(value) && value > 0.0f) {
        if (unit == RESUNIT_CENTIMETER)
            dpi = double(value) * 2.54;
        else if (unit == RESUNIT_INCH)
            dpi = double(value);
    }
    return std::isfinite(dpi) && dpi > 0.0 ? dpi : fallbackDpi;
}

// A zero-filled ARGB32 image whose pixels libtiff can decode into directly. The memory comes
// from calloc, so a large declared size costs nothing until rows are actually decoded, and a
// header that lies about its size cannot exhaust memory before libtiff refuses the data.
// Returns a null image when QImage cannot represent the size; throws std::bad_alloc when the
// memory cannot be had.
QImage zeroedArgbImage(std::uint32_t width, std::uint32_t height)
{
    constexpr auto intMax = std::uint32_t(std::numeric_limits<int>::max());
    if (width > intMax || height > intMax)
        return {};
    const std::uint64_t pixelCount = std::uint64_t(width) * height;
    if (pixelCount > std::numeric_limits<std::size_t>::max() / sizeof(std::uint32_t))
        throw std::bad_alloc();
    std::unique_ptr<void, PixelsFree> pixels(std::calloc(std::size_t(pixelCount), sizeof(std::uint32_t)));
    if (!pixels)
        throw std::bad_alloc();
    QImage image(static_cast<uchar*>(pixels.get()), int(width), int(height), qsizetype(width) * 4,
                 QImage::Format_ARGB32, &freePixels, pixels.get());
    if (!image.isNull())
        pixels.release(); // the image frees it from now on
    return image;
}

// libtiff packs red in bits 0-7, green 8-15, blue 16-23 and alpha 24-31; QImage's ARGB32 wants
// 0xAARRGGBB. Both are whole native words, so swapping red and blue is all there is to it.
void libtiffToArgb(std::uint32_t* words, std::uint64_t count)
{
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint32_t word = words[i];
        words[i] = (word & 0xFF00FF00u) | ((word & 0xFFu) << 16) | ((word >> 16) & 0xFFu);
    }
}

} // namespace

TargetImage ImageLoader::readTiffImage(const QString& path) const
{
    const TiffHandle tiff(TIFFOpen(path.toLocal8Bit().constData(), "r"));
    if (!tiff)
        throw ImageLoadException(QStringLiteral("The file could not be read as a TIFF image."));

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) == 0 ||
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) == 0)
        throw ImageLoadException(QStringLiteral("The TIFF image size could not be read."));

    std::uint16_t photometric = 0;
    std::uint16_t samplesPerPixel = 0;
    std::uint16_t resolutionUnit = RESUNIT_INCH;
    float xResolution = 0.0f;
    float yResolution = 0.0f;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_RESOLUTIONUNIT, &resolutionUnit);
    TIFFGetField(tiff.get(), TIFFTAG_XRESOLUTION, &xResolution);
    TIFFGetField(tiff.get(), TIFFTAG_YRESOLUTION, &yResolution);

    const QString colorModel = colorModelOf(photometric, samplesPerPixel);
    if (!isSupportedColorModel(colorModel))
        throw ImageLoadException(
            QStringLiteral("Unsupported color model. Use an RGB, grayscale, or CMYK target image."));

    std::uint32_t iccLength = 0;
    void* iccData = nullptr;
    const bool hasIccProfile =
        TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &iccLength, &iccData) == 1 && iccLength > 0 && iccData;

    QImage image = zeroedArgbImage(width, height);
    if (image.isNull())
        throw ImageLoadException(QStringLiteral("The TIFF image is too large to load."));
    // Lines are exactly width words apart, so the image is the raster libtiff expects.
    auto* raster = reinterpret_cast<std::uint32_t*>(image.bits());
    if (TIFFReadRGBAImageOriented(tiff.get(), width, height, raster, ORIENTATION_TOPLEFT, 0) == 0)
        throw ImageLoadException(QStringLiteral("The TIFF image data could not be decoded."));
    libtiffToArgb(raster, std::uint64_t(width) * height);

    TargetImage record;
    record.filePath = path;
    record.fileName = QFileInfo(path).fileName();
    record.pixelWidth = std::int32_t(width);
    record.pixelHeight = std::int32_t(height);
    record.dpiX = resolutionOf(xResolution, resolutionUnit);
    record.dpiY = resolutionOf(yResolution, resolutionUnit);
    record.colorModel = colorModel;
    record.hasIccProfile = hasIccProfile;
    if (hasIccProfile)
        record.iccProfileDescription = QStringLiteral("Embedded ICC profile");
    record.image = image;
    return record;
}

} // namespace Plover
