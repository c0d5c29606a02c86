#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <tiffio.h>
#include <vector>

namespace PloverTest {

// One image (page) of a TIFF fixture. Each field becomes its tag; an empty optional leaves the tag
// out. The writer adds what libtiff needs to make the file readable: a grey-ramp colour map for
// palette images, unassociated-alpha extra samples for samples beyond the colour channels, and
// YCbCr subsampling 1 x 1 so YCbCr samples are stored pixel by pixel.
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
    std::optional<QByteArray> iccProfile; // written even when empty

    // The stored value of sample `s` of pixel (x, y): rounded and clamped for integer formats,
    // as is for floating point. Unset means every sample is 0.
    std::function<double(std::uint32_t x, std::uint32_t y, std::uint16_t s)> sample;

    // Runs after the fields above are set, for any further tag (orientation, extra samples, ...).
    std::function<void(TIFF*)> moreTags;
};

// An 8-bit RGB page (RGBA when the image has an alpha channel) with the image's pixels.
TiffPage tiffPageFromImage(const QImage& image);

// Writes the pages in order, the first as the file's first image. False when libtiff refuses.
bool writeTiff(const QString& path, const std::vector<TiffPage>& pages);
bool writeTiff(const QString& path, const TiffPage& page);

// An 8-bit RGB TIFF of the image with its resolution in dots per inch.
bool writeRgbTiff(const QString& path, const QImage& image, double dpiX, double dpiY);

} // namespace PloverTest
