#pragma once

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QString>
#include <optional>

namespace PloverTest {

// Writes a PNG or JPEG ("png", "jpg") through QImageWriter. A resolution in dots per inch is
// stored as Qt stores it (PNG pHYs in dots per metre, JPEG JFIF density in dots per inch); an
// axis without one is stored as undeclared (no pHYs chunk or a zero in it; JFIF density unit 0
// or a zero density). A valid colour space is embedded as the file's ICC profile.
bool writeQtImage(const QString& path, const QImage& image, const QByteArray& format,
                  std::optional<double> dpiX, std::optional<double> dpiY, const QColorSpace& space = {});
bool writeQtImage(const QString& path, const QImage& image, const QByteArray& format,
                  std::optional<double> dpi, const QColorSpace& space = {});

// A small image of distinct colour blocks with a marked top-left pixel, so that orientation and
// channel order show in any decoded copy.
QImage patternImage(int width, int height);

} // namespace PloverTest
