#include "tests/support/image_files.h"

#include "tools/tiff_writer.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

namespace PloverTest {

QByteArray bigEndian(std::uint32_t value, int bytes)
{
    QByteArray out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[i] = char(value >> (8 * (bytes - 1 - i)));
    return out;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return QImageWriter(&buffer, format).write(image) ? bytes : QByteArray();
}

QByteArray pngChunk(const char* type, const QByteArray& data, std::optional<std::uint32_t> declaredLength)
{
    const QByteArray body = QByteArray(type, 4) + data;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : body) {
        crc ^= std::uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return bigEndian(declaredLength.value_or(std::uint32_t(data.size()))) + body + bigEndian(~crc);
}

bool writeQtImage(const QString& path, const QImage& image, const QByteArray& format,
                  std::optional<double> dpiX, std::optional<double> dpiY, const QColorSpace& space)
{
    const auto dotsPerMetre = [](std::optional<double> dpi) {
        return dpi ? qRound(*dpi / 0.0254) : 0;
    };
    QImage copy = image;
    copy.setDotsPerMeterX(dotsPerMetre(dpiX.value_or(72)));
    copy.setDotsPerMeterY(dotsPerMetre(dpiY.value_or(72)));
    copy.setColorSpace(space);
    QByteArray bytes = encoded(copy, format == "png" ? "png" : "jpeg");
    if (format == "png") {
        // Qt always writes a pHYs chunk, of 21 bytes; it is written anew, or left out for no resolution.
        const QByteArray pHYs =
            pngChunk("pHYs", bigEndian(dotsPerMetre(dpiX)) + bigEndian(dotsPerMetre(dpiY)) + '\1');
        bytes.replace(bytes.indexOf("pHYs") - 4, 21, dpiX || dpiY ? pHYs : QByteArray());
    } else if (!dpiX || !dpiY) {
        // The JFIF density follows the start of image: its unit (13) goes to none, or one axis to 0.
        if (!dpiX && !dpiY)
            bytes[13] = '\0';
        else
            bytes.replace(dpiX ? 16 : 14, 2, QByteArray(2, '\0'));
    }
    QFile file(path);
    return bytes.size() > 21 && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QImage patternImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int block = (x * 4 / width) + 4 * (y * 4 / height);
            image.setPixel(x, y, qRgb(40 + 13 * block, 200 - 11 * block, (block * 67) % 256));
        }
    }
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(width - 1, 0, qRgb(0, 255, 0));
    image.setPixel(0, height - 1, qRgb(0, 0, 255));
    return image;
}

bool writeCutTiff(const QString& path, const QImage& image)
{
    PloverTools::TiffPage page = PloverTools::tiffPageFromImage(image);
    page.xResolution = page.yResolution = 300.0f;
    page.moreTags = [](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 8);
        TIFFCheckpointDirectory(tiff);
    };
    if (!PloverTools::writeTiff(path, {page}))
        return false;
    QFile file(path);
    return file.resize(file.size() * 6 / 10);
}

} // namespace PloverTest
