#pragma once

#ifndef _WIN32

#include "printing/encoders/page_encoder.h"

#include <QRect>
#include <QSize>
#include <cstdint>
#include <vector>

namespace Plover::PrintSystem {

// A 32-bit BI_RGB device-independent bitmap, rows top-down: blue, green, red and an unused byte per pixel.
struct DibView
{
    const std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
};

// One sheet of paper in device pixels: white, with at most one bitmap stretched onto it by nearest
// neighbour. Its rows are made when an encoder asks for them; for a portrait-only device a landscape page
// is turned a quarter turn clockwise, its top running down the sheet's right edge. No pixel is blended or
// colour-converted. The bitmap is read, not copied: it must outlive the page's encoding.
class DrawnPage : public PageSource
{
public:
    DrawnPage(QSize pageSize, bool turned);

    // Places `source` of the bitmap onto `destination` (page pixels), showing only what lies in `clip`.
    void place(const DibView& dib, const QRect& source, const QRect& destination, const QRect& clip);

    QSize pixels() const override { return turned ? pageSize.transposed() : pageSize; }
    void rows(int y, int count, std::uint8_t* out) const override;

private:
    const std::uint8_t* sourceRow(int pageY) const;

    QSize pageSize;
    bool turned;
    DibView dib;
    QRect source, destination, target; // target: the page pixels the bitmap covers
    std::vector<std::size_t> sourceOffsets; // byte offset in a bitmap row, per target column
};

} // namespace Plover::PrintSystem

#endif
