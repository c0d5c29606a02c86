#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <algorithm>
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

TIFF* openForReading(const QString& path)
{
#ifdef _WIN32
    // The UTF-16 path: the 8-bit one cannot name folders outside the ANSI code page.
    return TIFFOpenW(path.toStdWString().c_str(), "r");
#else
    return TIFFOpen(path.toLocal8Bit().constData(), "r");
#endif
}

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
        return QStringLiteral(QT_TRANSLATE_NOOP("Plover::TargetImage", "Grayscale"));
    if (photometric == PHOTOMETRIC_SEPARATED)
        return QStringLiteral(QT_TRANSLATE_NOOP("Plover::TargetImage", "CMYK"));
    if (photometric == PHOTOMETRIC_RGB)
        return QStringLiteral(QT_TRANSLATE_NOOP("Plover::TargetImage", "RGB"));
    // YCbCr, CIE L*a*b* and the like render as colour when they carry three channels.
    return samplesPerPixel >= 3 ? QStringLiteral(QT_TRANSLATE_NOOP("Plover::TargetImage", "RGB"))
                                : QStringLiteral(QT_TRANSLATE_NOOP("Plover::TargetImage", "Unknown"));
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

// Still an allocation failure, as the caller expects, but one whose text a user can read.
class PixelMemoryExhausted : public std::bad_alloc
{
public:
    // Its text is translated where it is shown.
    const char* what() const noexcept override
    {
        return QT_TRANSLATE_NOOP("Plover::ImageLoader", "There is not enough memory to load this image.");
    }
};

// A zero-filled ARGB32 image whose pixels libtiff can decode into directly. The memory comes
// from calloc, so pages cost nothing until rows are actually decoded into them.
// Returns a null image when QImage cannot represent the size; throws an allocation failure when
// the memory cannot be had.
QImage zeroedArgbImage(std::uint32_t width, std::uint32_t height)
{
    constexpr auto intMax = std::uint32_t(std::numeric_limits<int>::max());
    if (width > intMax || height > intMax)
        return {};
    const std::uint64_t pixelCount = std::uint64_t(width) * height;
    if (pixelCount > std::numeric_limits<std::size_t>::max() / sizeof(std::uint32_t))
        throw PixelMemoryExhausted();
    std::unique_ptr<void, PixelsFree> pixels(std::calloc(std::size_t(pixelCount), sizeof(std::uint32_t)));
    if (!pixels)
        throw PixelMemoryExhausted();
    QImage image(static_cast<uchar*>(pixels.get()), int(width), int(height), qsizetype(width) * 4,
                 QImage::Format_ARGB32, &freePixels, pixels.get());
    if (!image.isNull())
        pixels.release(); // the image frees it from now on
    return image;
}

// Beyond this many pixels (a 64 MB raster), or this many strips or tiles (each missing one costs
// libtiff an error message), a file must be able to hold the image it declares.
constexpr std::uint64_t pixelsLoadedOnTrust = 16 * 1024 * 1024;
constexpr std::uint32_t chunksLoadedOnTrust = 4096;

// The most decoded bytes one stored byte can become in each scheme: deflate tops out near 1032,
// PackBits at 64, LZW at a few thousand, zstd and LZMA far higher; the rest get the LZW figure.
double maxExpansion(std::uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return 1.0;
    case COMPRESSION_PACKBITS:
        return 64.0;
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE:
        return 1032.0;
    case COMPRESSION_ZSTD:
    case COMPRESSION_LZMA:
        return 32768.0; // both store a flat block in a few bytes
    default:
        return 4096.0;
    }
}

// Whether the file is large enough to hold the samples its header declares. libtiff keeps
// decoding past strips that are missing (so that a damaged file still shows what it has), and
// writes every row of the raster while doing so; a header that declares gigapixels over a few
// bytes would otherwise make it touch gigabytes. libtiff's own strip arithmetic gives the stored
// size (with subsampling and planes); compressed data must also hold a byte per pixel, so that
// packed bilevel data cannot claim billions of pixels either.
bool fileCanHoldImage(TIFF* tiff, const QString& path, std::uint32_t height, std::uint64_t pixelCount,
                      std::uint16_t samplesPerPixel)
{
    std::uint16_t compression = COMPRESSION_NONE;
    std::uint16_t planarConfig = PLANARCONFIG_CONTIG;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planarConfig);
    const double planes = planarConfig == PLANARCONFIG_SEPARATE ? samplesPerPixel : 1;
    double declaredBytes = double(TIFFVStripSize64(tiff, height)) * planes;
    if (declaredBytes <= 0) // the sizes overflow libtiff's arithmetic
        return false;
    if (compression != COMPRESSION_NONE)
        declaredBytes = std::max(declaredBytes, double(pixelCount));
    return declaredBytes <= double(QFileInfo(path).size()) * maxExpansion(compression);
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

// Whether every strip or tile lies inside the file. libtiff decodes a cut file without failing,
// leaving the missing rows black, so a partial download would otherwise pass for a whole chart.
bool chunksInsideFile(TIFF* tiff, std::uint64_t fileSize)
{
    // Separate planes are counted among the chunks already.
    const std::uint32_t chunks = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    for (std::uint32_t i = 0; i < chunks; ++i) {
        const std::uint64_t offset = TIFFGetStrileOffset(tiff, i);
        const std::uint64_t count = TIFFGetStrileByteCount(tiff, i);
        if (offset > fileSize || count > fileSize - offset)
            return false;
    }
    return true;
}

} // namespace

int ImageLoader::tiffPageCount(const QString& path)
{
    const TiffHandle tiff(openForReading(path));
    // A file libtiff cannot open is one page, refused with its reason when it is loaded.
    return tiff ? std::max(1, int(TIFFNumberOfDirectories(tiff.get()))) : 1;
}

TargetImage ImageLoader::readTiffImage(const QString& path) const
{
    return readTiffPage(path, 0);
}

TargetImage ImageLoader::readTiffPage(const QString& path, int pageIndex) const
{
    const TiffHandle tiff(openForReading(path));
    if (!tiff)
        throw ImageLoadException(QCoreApplication::translate("Plover::ImageLoader",
                                                             "The file could not be read as a TIFF image."));
    if (pageIndex != 0 && (pageIndex < 0 || TIFFSetDirectory(tiff.get(), tdir_t(pageIndex)) == 0))
        throw ImageLoadException(
            QCoreApplication::translate("Plover::ImageLoader", "The TIFF image data could not be decoded."));

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) == 0 ||
        TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) == 0)
        throw ImageLoadException(
            QCoreApplication::translate("Plover::ImageLoader", "The TIFF image size could not be read."));

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
        throw ImageLoadException(QCoreApplication::translate(
            "Plover::ImageLoader", "Unsupported color model. Use an RGB, grayscale, or CMYK target image."));

    std::uint32_t iccLength = 0;
    void* iccData = nullptr;
    const bool hasIccProfile =
        TIFFGetField(tiff.get(), TIFFTAG_ICCPROFILE, &iccLength, &iccData) == 1 && iccLength > 0 && iccData;

    const std::uint64_t pixelCount = std::uint64_t(width) * height;
    const std::uint32_t chunks =
        TIFFIsTiled(tiff.get()) ? TIFFNumberOfTiles(tiff.get()) : TIFFNumberOfStrips(tiff.get());
    if (((pixelCount > pixelsLoadedOnTrust || chunks > chunksLoadedOnTrust) &&
         !fileCanHoldImage(tiff.get(), path, height, pixelCount, samplesPerPixel)) ||
        !chunksInsideFile(tiff.get(), std::uint64_t(QFileInfo(path).size())))
        throw ImageLoadException(
            QCoreApplication::translate("Plover::ImageLoader", "The TIFF image data could not be decoded."));

    QImage image = zeroedArgbImage(width, height);
    if (image.isNull())
        throw ImageLoadException(
            QCoreApplication::translate("Plover::ImageLoader", "The TIFF image is too large to load."));
    // Lines are exactly width words apart, so the image is the raster libtiff expects.
    auto* raster = reinterpret_cast<std::uint32_t*>(image.bits());
    if (TIFFReadRGBAImageOriented(tiff.get(), width, height, raster, ORIENTATION_TOPLEFT, 0) == 0)
        throw ImageLoadException(
            QCoreApplication::translate("Plover::ImageLoader", "The TIFF image data could not be decoded."));
    libtiffToArgb(raster, pixelCount);

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
        record.iccProfileDescription =
            QCoreApplication::translate("Plover::ImageLoader", "Embedded ICC profile");
    record.image = image;
    return record;
}

} // namespace Plover
