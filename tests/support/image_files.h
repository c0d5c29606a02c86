#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>

namespace PloverTest {

// Writes a PNG or JPEG ("png", "jpg") through QImageWriter. A resolution in dots per inch is
// stored as Qt stores it (PNG pHYs in dots per metre, JPEG JFIF density in dots per inch); an
// axis without one is stored as undeclared (a zero, or no pHYs chunk or JFIF unit at all).
// A valid colour space is embedded as the file's ICC profile.
bool writeQtImage(const QString& path, const QImage& image, const QByteArray& format,
                  std::optional<double> dpiX, std::optional<double> dpiY, const QColorSpace& space = {});

// A small image of distinct colour blocks with a marked top-left pixel, so that orientation and
// channel order show in any decoded copy.
QImage patternImage(int width, int height);

// The image as Qt writes it in the format, empty when Qt cannot.
QByteArray encoded(const QImage& image, const char* format);

// A PNG chunk with its CRC; the length field says `declaredLength`, by default the data's.
QByteArray pngChunk(const char* type, const QByteArray& data,
                    std::optional<std::uint32_t> declaredLength = {});

QByteArray bigEndian(std::uint32_t value, int bytes = 4);

// An uncompressed RGB TIFF of `image` at 300 dpi, its directory ahead of the pixels as many writers
// store it, cut to 60 % of its length: a partial download whose directory is whole.
bool writeCutTiff(const QString& path, const QImage& image);

} // namespace PloverTest
