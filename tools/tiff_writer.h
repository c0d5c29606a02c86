#pragma once

// Writes TIFF files through libtiff: the sample target, the benchmarks' charts and the tests' fixtures.
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <tiffio.h>
#include <vector>

namespace PloverTools {

// One image (page) of a TIFF file. Each field becomes its tag; an empty optional leaves the tag out.
// The writer adds what libtiff needs to read the file back: unassociated alpha for samples beyond
// the colour channels, a grey-ramp colour map for palette images and YCbCr stored pixel by pixel.
struct TiffPage
{
    std::uint32_t width = 1;
    std::uint32_t height = 1;
    std::uint16_t photometric = PHOTOMETRIC_RGB;
    std::uint16_t samplesPerPixel = 3;
    std::uint16_t bitsPerSample = 8; // 1, 2, 4, 8, 16, 32 or 64
    std::uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    std::uint16_t planarConfig = PLANARCONFIG_CONTIG;
    std::uint16_t compression = COMPRESSION_NONE;
    std::optional<float> xResolution;
    std::optional<float> yResolution;
    std::optional<std::uint16_t> resolutionUnit;
    std::optional<QByteArray> iccProfile;

    // The value of sample `s` of pixel (x, y): rounded and clamped for integer formats, as is for
    // floating point. Unset means every sample is 0.
    std::function<double(std::uint32_t x, std::uint32_t y, std::uint16_t s)> sample;

    // Runs after the fields above are set, for any further tag (orientation, predictor, tile size, ...).
    std::function<void(TIFF*)> moreTags;
};

// An 8-bit RGB page (RGBA when the image has an alpha channel) with the image's pixels.
TiffPage tiffPageFromImage(const QImage& image);

// Writes the pages in order, the first as the file's first image. False when libtiff refuses.
bool writeTiff(const QString& path, const std::vector<TiffPage>& pages);

// An 8-bit RGB TIFF of the image with its resolution in dots per inch.
bool writeRgbTiff(const QString& path, const QImage& image, double dpiX, double dpiY);

} // namespace PloverTools
