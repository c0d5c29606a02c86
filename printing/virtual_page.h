#pragma once

#ifndef _WIN32

#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

struct tiff;

namespace Plover::VirtualPrinter {

// A 32-bit BI_RGB device-independent bitmap: blue, green, red and an unused byte per pixel.
struct DibView
{
    const std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    bool topDown = true;
};

// One sheet of paper in device pixels, 8-bit RGB, white until something is drawn on it.
class VirtualPage
{
public:
    VirtualPage(QSize size, int dpiX, int dpiY);

    QSize size() const { return pageSize; }

    // Nearest-neighbour copy of `source` (DIB pixels, rows counted from the top) onto `destination`
    // (page pixels), touching only what lies inside `clip`. No pixel is blended or colour-converted.
    void drawStretched(const DibView& dib, const QRect& source, const QRect& destination, const QRect& clip);

    // Appends the page to an open TIFF as one 8-bit RGB image with the device resolution.
    bool writeTo(tiff* file, const QString& documentName, int pageNumber, int pageCount) const;

private:
    std::uint8_t* row(int y);

    QSize pageSize;
    int dpiX;
    int dpiY;
    // A row stays empty (white) until drawn on, so a small print on a big sheet stays small in memory.
    std::vector<std::vector<std::uint8_t>> rows;
};

} // namespace Plover::VirtualPrinter

#endif
