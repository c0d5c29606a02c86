#include "tests/support/image_files.h"

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

QByteArray pngChunk(const char* type, const QByteArray& data, std::uint32_t declaredLength)
{
    const QByteArray body = QByteArray(type, 4) + data;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : body) {
        crc ^= std::uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return bigEndian(declaredLength) + body + bigEndian(~crc);
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    return pngChunk(type, data, std::uint32_t(data.size()));
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
    if (space.isValid())
        copy.setColorSpace(space);
    QByteArray bytes = encoded(copy, format == "png" ? "png" : "jpeg");
    if (format == "png") {
        // Qt always writes a pHYs chunk; it is written again here, or left out for no resolution.
        const qsizetype at = bytes.indexOf("pHYs") - 4;
        if (at < 0)
            return false;
        bytes.remove(at, 21);
        if (dpiX || dpiY)
            bytes.insert(
                33, pngChunk("pHYs", bigEndian(dotsPerMetre(dpiX)) + bigEndian(dotsPerMetre(dpiY)) + '\1'));
    } else if (!dpiX || !dpiY) {
        // Qt writes the JFIF density in dots per inch right after the start of image.
        if (bytes.mid(6, 5) != QByteArray("JFIF\0", 5))
            return false;
        if (!dpiX && !dpiY)
            bytes.replace(13, 5, QByteArray("\0\0\1\0\1", 5)); // no unit, aspect 1:1
        else
            bytes.replace(dpiX ? 16 : 14, 2, QByteArray(2, '\0'));
    }
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
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

} // namespace PloverTest
