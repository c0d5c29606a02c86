#include "tests/support/tiff_writer.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace PloverTest {

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
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_YCBCR:
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
        return 3;
    case PHOTOMETRIC_SEPARATED:
        return 4;
    default:
        return page.samplesPerPixel;
    }
}

template <typename T> T clampedInteger(double value)
{
    const double low = double(std::numeric_limits<T>::lowest());
    const double high = double(std::numeric_limits<T>::max());
    return T(std::clamp(std::round(value), low, high));
}

template <typename T> void store(unsigned char* row, std::size_t index, T value)
{
    std::memcpy(row + index * sizeof(T), &value, sizeof(T));
}

// Puts one sample into a row buffer in the machine's byte order, which libtiff records.
void putSample(const TiffPage& page, unsigned char* row, std::size_t index, double value)
{
    const std::uint16_t bits = page.bitsPerSample;
    const bool floating = page.sampleFormat == SAMPLEFORMAT_IEEEFP;
    const bool signedInt = page.sampleFormat == SAMPLEFORMAT_INT;
    if (bits < 8) {
        const auto max = double((1u << bits) - 1u);
        const auto code = unsigned(std::clamp(std::round(value), 0.0, max));
        const std::size_t bit = index * bits;
        row[bit / 8] |= static_cast<unsigned char>(code << (8 - bits - bit % 8));
    } else if (bits == 8) {
        signedInt ? store(row, index, clampedInteger<std::int8_t>(value))
                  : store(row, index, clampedInteger<std::uint8_t>(value));
    } else if (bits == 16) {
        signedInt ? store(row, index, clampedInteger<std::int16_t>(value))
                  : store(row, index, clampedInteger<std::uint16_t>(value));
    } else if (bits == 32) {
        if (floating)
            store(row, index, float(value));
        else
            signedInt ? store(row, index, clampedInteger<std::int32_t>(value))
                      : store(row, index, clampedInteger<std::uint32_t>(value));
    } else if (bits == 64) {
        if (floating)
            store(row, index, value);
        else
            store(row, index, clampedInteger<std::uint64_t>(value));
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
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, page.compression) &&
              TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    if (page.xResolution)
        ok = ok && TIFFSetField(tiff, TIFFTAG_XRESOLUTION, double(*page.xResolution));
    if (page.yResolution)
        ok = ok && TIFFSetField(tiff, TIFFTAG_YRESOLUTION, double(*page.yResolution));
    if (page.resolutionUnit)
        ok = ok && TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, *page.resolutionUnit);
    if (page.iccProfile) {
        // libtiff refuses a count of 0: one placeholder byte goes in, and the count is zeroed later.
        const QByteArray profile = page.iccProfile->isEmpty() ? QByteArray(1, '\0') : *page.iccProfile;
        ok = ok && TIFFSetField(tiff, TIFFTAG_ICCPROFILE, std::uint32_t(profile.size()), profile.constData());
    }

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
    return ok;
}

bool writePixels(TIFF* tiff, const TiffPage& page)
{
    const bool planar = page.planarConfig == PLANARCONFIG_SEPARATE;
    const std::uint16_t planes = planar ? page.samplesPerPixel : 1;
    const std::uint16_t perRow = planar ? 1 : page.samplesPerPixel;
    const std::size_t rowBytes = (std::size_t(page.width) * perRow * page.bitsPerSample + 7) / 8;
    std::vector<unsigned char> row(rowBytes);
    for (std::uint16_t plane = 0; plane < planes; ++plane) {
        for (std::uint32_t y = 0; y < page.height; ++y) {
            std::fill(row.begin(), row.end(), 0);
            if (page.sample) {
                for (std::uint32_t x = 0; x < page.width; ++x) {
                    for (std::uint16_t s = 0; s < perRow; ++s) {
                        const std::uint16_t sample = planar ? plane : s;
                        putSample(page, row.data(), std::size_t(x) * perRow + s, page.sample(x, y, sample));
                    }
                }
            }
            if (TIFFWriteScanline(tiff, row.data(), y, plane) < 0)
                return false;
        }
    }
    return true;
}

std::uint32_t readWord(const QByteArray& bytes, qint64 at, int size, bool bigEndian)
{
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        const auto byte = std::uint8_t(bytes.at(at + (bigEndian ? i : size - 1 - i)));
        value = (value << 8) | byte;
    }
    return value;
}

// Sets the ICC tag's count and value to 0 in the directories of the flagged pages.
bool zeroIccCounts(const QString& path, const std::vector<bool>& flagged)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const bool bigEndian = bytes.startsWith("MM");
    qint64 ifd = readWord(bytes, 4, 4, bigEndian);
    for (bool zero : flagged) {
        if (ifd == 0 || ifd + 2 > bytes.size())
            return false;
        const qint64 entries = readWord(bytes, ifd, 2, bigEndian);
        for (qint64 entry = ifd + 2; zero && entry < ifd + 2 + entries * 12; entry += 12) {
            if (readWord(bytes, entry, 2, bigEndian) == TIFFTAG_ICCPROFILE)
                bytes.replace(entry + 4, 8, QByteArray(8, '\0'));
        }
        ifd = readWord(bytes, ifd + 2 + entries * 12, 4, bigEndian);
    }
    return file.seek(0) && file.write(bytes) == bytes.size();
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
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpen(QFile::encodeName(path).constData(), "w"));
    if (!tiff)
        return false;
    std::vector<bool> emptyIcc;
    for (const TiffPage& page : pages) {
        if (!setTags(tiff.get(), page) || !writePixels(tiff.get(), page) || !TIFFWriteDirectory(tiff.get()))
            return false;
        emptyIcc.push_back(page.iccProfile && page.iccProfile->isEmpty());
    }
    tiff.reset();
    return std::find(emptyIcc.begin(), emptyIcc.end(), true) == emptyIcc.end() ||
           zeroIccCounts(path, emptyIcc);
}

bool writeTiff(const QString& path, const TiffPage& page)
{
    return writeTiff(path, std::vector<TiffPage>{page});
}

bool writeRgbTiff(const QString& path, const QImage& image, double dpiX, double dpiY)
{
    TiffPage page = tiffPageFromImage(image.convertToFormat(QImage::Format_RGB32));
    page.xResolution = float(dpiX);
    page.yResolution = float(dpiY);
    page.resolutionUnit = RESUNIT_INCH;
    return writeTiff(path, page);
}

} // namespace PloverTest
