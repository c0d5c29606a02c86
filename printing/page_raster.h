#pragma once

#ifndef _WIN32

#include <QRect>
#include <QSize>
#include <cstdint>
#include <vector>

namespace Plover::PrintSystem {

// A 32-bit BI_RGB device-independent bitmap: blue, green, red and an unused byte per pixel.
struct DibView
{
    const std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    bool topDown = true;
};

// One sheet of paper in device pixels, 8-bit RGB, white until something is drawn on it.
class PageRaster
{
public:
    explicit PageRaster(QSize size);

    QSize size() const { return pageSize; }
    // Row y as red, green, blue bytes, or null while it is still blank paper.
    const std::uint8_t* row(int y) const;
    // Row y of the page as it leaves a portrait-only device: a landscape page is turned a quarter turn
    // clockwise, its top running down the sheet's right edge. `out` holds the portrait width * 3 bytes.
    void portraitRow(bool landscape, int y, std::uint8_t* out) const;
    QSize portraitSize(bool landscape) const { return landscape ? pageSize.transposed() : pageSize; }

    // Nearest-neighbour copy of `source` (DIB pixels, rows counted from the top) onto `destination`
    // (page pixels), touching only what lies inside `clip`. No pixel is blended or colour-converted.
    void drawStretched(const DibView& dib, const QRect& source, const QRect& destination, const QRect& clip);

private:
    std::uint8_t* writableRow(int y);

    QSize pageSize;
    // A row stays empty (white) until drawn on, so a small print on a big sheet stays small in memory.
    std::vector<std::vector<std::uint8_t>> rows;
};

} // namespace Plover::PrintSystem

#endif
