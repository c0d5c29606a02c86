#include "tools/tiff_writer.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace PloverTools {

namespace {

struct TiffCloser
{
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

std::uint16_t colorChannels(const TiffPage& page)
{
    switch (page.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_PALETTE:
        return 1;
    case PHOTOMETRIC_SEPARATED:
        return 4;
    default:
        return 3;
    }
}

template <typename T> void store(unsigned char* row, std::size_t index, double value)
{
    T stored = T(value);
    if constexpr (std::numeric_limits<T>::is_integer)
        stored = T(std::clamp(std::round(value), double(std::numeric_limits<T>::lowest()),
                              double(std::numeric_limits<T>::max())));
    std::memcpy(row + index * sizeof(T), &stored, sizeof(T));
}

// One sample into a row buffer in the machine's byte order, which libtiff records.
void putSample(const TiffPage& page, unsigned char* row, std::size_t index, double value)
{
    const bool floating = page.sampleFormat == SAMPLEFORMAT_IEEEFP;
    const bool signedInt = page.sampleFormat == SAMPLEFORMAT_INT;
    switch (page.bitsPerSample) {
    case 8:
        return signedInt ? store<std::int8_t>(row, index, value) : store<std::uint8_t>(row, index, value);
    case 16:
        return signedInt ? store<std::int16_t>(row, index, value) : store<std::uint16_t>(row, index, value);
    case 32:
        return floating    ? store<float>(row, index, value)
               : signedInt ? store<std::int32_t>(row, index, value)
                           : store<std::uint32_t>(row, index, value);
    case 64:
        return floating ? store<double>(row, index, value) : store<std::uint64_t>(row, index, value);
    default: { // 1, 2 or 4 bits, packed from the high bit down
        const unsigned bits = page.bitsPerSample;
        const auto code = unsigned(std::clamp(std::round(value), 0.0, double((1u << bits) - 1u)));
        const std::size_t bit = index * bits;
        row[bit / 8] |= static_cast<unsigned char>(code << (8 - bits - bit % 8));
    }
    }
}

bool setTags(TIFF* tiff, const TiffPage& page)
{
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height) &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.photometric) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samplesPerPixel) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bitsPerSample) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLEFORMAT, page.sampleFormat) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, page.planarConfig) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression);
    if (page.xResolution)
        ok = ok && TIFFSetField(tiff, TIFFTAG_XRESOLUTION, double(*page.xResolution));
    if (page.yResolution)
        ok = ok && TIFFSetField(tiff, TIFFTAG_YRESOLUTION, double(*page.yResolution));
    if (page.resolutionUnit)
        ok = ok && TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, *page.resolutionUnit);
    if (page.iccProfile)
        ok = ok && TIFFSetField(tiff, TIFFTAG_ICCPROFILE, std::uint32_t(page.iccProfile->size()),
                                page.iccProfile->constData());
    const std::uint16_t channels = colorChannels(page);
    if (page.samplesPerPixel > channels) {
        const std::vector<std::uint16_t> extra(page.samplesPerPixel - channels, EXTRASAMPLE_UNASSALPHA);
        ok = ok && TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, std::uint16_t(extra.size()), extra.data());
    }
    if (page.photometric == PHOTOMETRIC_PALETTE && page.bitsPerSample <= 16) {
        const std::size_t entries = std::size_t(1) << page.bitsPerSample;
        std::vector<std::uint16_t> ramp(entries);
        for (std::size_t i = 0; i < entries; ++i)
            ramp[i] = std::uint16_t(entries > 1 ? i * 65535 / (entries - 1) : 0);
        ok = ok && TIFFSetField(tiff, TIFFTAG_COLORMAP, ramp.data(), ramp.data(), ramp.data());
    }
    if (page.photometric == PHOTOMETRIC_YCBCR)
        ok = ok && TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, std::uint16_t(1), std::uint16_t(1));
    if (page.moreTags)
        page.moreTags(tiff);
    std::uint32_t rowsPerStrip = 0;
    if (!TIFFIsTiled(tiff) && !TIFFGetField(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip))
        ok = ok && TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    return ok;
}

// Rows go out one by one; a tiled page collects a band of rows as tall as a tile and cuts it up.
bool writePixels(TIFF* tiff, const TiffPage& page)
{
    const bool planar = page.planarConfig == PLANARCONFIG_SEPARATE;
    const std::uint16_t planes = planar ? page.samplesPerPixel : 1;
    const std::uint16_t perPixel = planar ? 1 : page.samplesPerPixel;
    const std::size_t rowBytes = (std::size_t(page.width) * perPixel * page.bitsPerSample + 7) / 8;
    std::uint32_t tileWidth = 0, tileHeight = 1;
    const bool tiled = TIFFIsTiled(tiff) && TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth) &&
                       TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    std::vector<unsigned char> band(rowBytes * tileHeight);
    std::vector<unsigned char> tile(tiled ? std::size_t(TIFFTileSize(tiff)) : 0);
    const std::size_t pixelBytes = std::size_t(perPixel) * page.bitsPerSample / 8; // whole bytes when tiled
    for (std::uint16_t plane = 0; plane < planes; ++plane) {
        for (std::uint32_t y0 = 0; y0 < page.height; y0 += tileHeight) {
            std::fill(band.begin(), band.end(), 0);
            for (std::uint32_t y = y0; y < std::min(page.height, y0 + tileHeight) && page.sample; ++y) {
                unsigned char* row = band.data() + (y - y0) * rowBytes;
                for (std::uint32_t x = 0; x < page.width; ++x) {
                    for (std::uint16_t s = 0; s < perPixel; ++s)
                        putSample(page, row, std::size_t(x) * perPixel + s,
                                  page.sample(x, y, planar ? plane : s));
                }
            }
            if (!tiled) {
                if (TIFFWriteScanline(tiff, band.data(), y0, plane) < 0)
                    return false;
                continue;
            }
            for (std::uint32_t x0 = 0; x0 < page.width; x0 += tileWidth) {
                const std::size_t inside = std::min(page.width - x0, tileWidth) * pixelBytes;
                std::fill(tile.begin(), tile.end(), 0);
                for (std::uint32_t r = 0; r < tileHeight; ++r)
                    std::memcpy(tile.data() + r * tileWidth * pixelBytes,
                                band.data() + r * rowBytes + x0 * pixelBytes, inside);
                if (TIFFWriteTile(tiff, tile.data(), x0, y0, 0, plane) < 0)
                    return false;
            }
        }
    }
    return true;
}

} // namespace

TiffPage tiffPageFromImage(const QImage& image)
{
    const bool alpha = image.hasAlphaChannel();
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    TiffPage page;
    page.width = std::uint32_t(rgba.width());
    page.height = std::uint32_t(rgba.height());
    page.samplesPerPixel = alpha ? 4 : 3;
    page.sample = [rgba](std::uint32_t x, std::uint32_t y, std::uint16_t s) {
        return double(rgba.constScanLine(int(y))[x * 4 + s]);
    };
    return page;
}

bool writeTiff(const QString& path, const std::vector<TiffPage>& pages)
{
#ifdef _WIN32 // by UTF-16 path, as the reader opens it
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpenW(path.toStdWString().c_str(), "w"));
#else
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(QFile::encodeName(path).constData(), "w"));
#endif
    if (!tiff)
        return false;
    for (const TiffPage& page : pages) {
        if (!setTags(tiff.get(), page) || !writePixels(tiff.get(), page) || !TIFFWriteDirectory(tiff.get()))
            return false;
    }
    return true;
}

bool writeRgbTiff(const QString& path, const QImage& image, double dpiX, double dpiY)
{
    TiffPage page = tiffPageFromImage(image.convertToFormat(QImage::Format_RGB32));
    page.xResolution = float(dpiX);
    page.yResolution = float(dpiY);
    page.resolutionUnit = RESUNIT_INCH;
    return writeTiff(path, {page});
}

} // namespace PloverTools
