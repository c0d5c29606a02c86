#include "tests/support/image_files.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <cstdint>

namespace PloverTest {

namespace {

constexpr double metresPerInch = 0.0254;

std::uint32_t readBigEndian32(const QByteArray& bytes, qsizetype at)
{
    std::uint32_t value = 0;
    for (qsizetype i = 0; i < 4; ++i)
        value = (value << 8) | std::uint8_t(bytes.at(at + i));
    return value;
}

void writeBigEndian32(QByteArray& bytes, qsizetype at, std::uint32_t value)
{
    for (qsizetype i = 0; i < 4; ++i)
        bytes[at + i] = char(std::uint8_t(value >> (24 - 8 * i)));
}

std::uint32_t pngCrc(const char* bytes, qsizetype count)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (qsizetype i = 0; i < count; ++i) {
        crc ^= std::uint8_t(bytes[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

// Qt always writes a pHYs chunk; an undeclared axis becomes 0 there, and the chunk goes when
// neither axis is declared.
bool undeclarePngAxes(QByteArray& png, bool keepX, bool keepY)
{
    qsizetype at = 8;
    while (at + 12 <= png.size()) {
        const qsizetype length = qsizetype(readBigEndian32(png, at));
        if (png.mid(at + 4, 4) == "pHYs" && length == 9) {
            if (!keepX && !keepY) {
                png.remove(at, 12 + length);
                return true;
            }
            if (!keepX)
                writeBigEndian32(png, at + 8, 0);
            if (!keepY)
                writeBigEndian32(png, at + 12, 0);
            writeBigEndian32(png, at + 8 + length, pngCrc(png.constData() + at + 4, 4 + length));
            return true;
        }
        at += 12 + length;
    }
    return false;
}

// Qt always writes a JFIF density in dots per inch right after the start of image.
bool undeclareJpegAxes(QByteArray& jpeg, bool keepX, bool keepY)
{
    if (jpeg.size() < 20 || jpeg.mid(2, 2) != "\xFF\xE0" || jpeg.mid(6, 5) != QByteArray("JFIF\0", 5))
        return false;
    if (!keepX && !keepY) {
        jpeg[13] = 0;
        jpeg.replace(14, 4, QByteArray("\0\1\0\1", 4));
        return true;
    }
    if (!keepX)
        jpeg.replace(14, 2, QByteArray(2, '\0'));
    if (!keepY)
        jpeg.replace(16, 2, QByteArray(2, '\0'));
    return true;
}

} // namespace

bool writeQtImage(const QString& path, const QImage& image, const QByteArray& format,
                  std::optional<double> dpiX, std::optional<double> dpiY, const QColorSpace& space)
{
    QImage copy = image;
    if (dpiX)
        copy.setDotsPerMeterX(qRound(*dpiX / metresPerInch));
    if (dpiY)
        copy.setDotsPerMeterY(qRound(*dpiY / metresPerInch));
    if (space.isValid())
        copy.setColorSpace(space);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(copy))
        return false;
    buffer.close();

    if (!dpiX || !dpiY) {
        const bool png = format.compare("png", Qt::CaseInsensitive) == 0;
        if (!(png ? undeclarePngAxes(bytes, dpiX.has_value(), dpiY.has_value())
                  : undeclareJpegAxes(bytes, dpiX.has_value(), dpiY.has_value())))
            return false;
    }

    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool writeQtImage(const QString& path, const QImage& image, const QByteArray& format,
                  std::optional<double> dpi, const QColorSpace& space)
{
    return writeQtImage(path, image, format, dpi, dpi, space);
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
