#include "printing/win32/drawn_page.h"

#ifndef _WIN32

#include <algorithm>
#include <cstring>

namespace Plover::PrintSystem {

namespace {

constexpr std::uint8_t paperWhite = 0xFF;

// The source column or row that the centre of destination pixel `d` of `destinationLength` falls on.
int nearestSource(std::int64_t d, std::int64_t sourceLength, std::int64_t destinationLength)
{
    return static_cast<int>((2 * d + 1) * sourceLength / (2 * destinationLength));
}

void copyPixel(const std::uint8_t* bgrx, std::uint8_t* rgb)
{
    rgb[0] = bgrx[2];
    rgb[1] = bgrx[1];
    rgb[2] = bgrx[0];
}

} // namespace

DrawnPage::DrawnPage(QSize pageSize, bool turned) : pageSize(pageSize), turned(turned) {}

void DrawnPage::place(const DibView& bitmap, const QRect& from, const QRect& to, const QRect& clip)
{
    dib = bitmap;
    source = from;
    destination = to;
    target = to & clip & QRect(QPoint(0, 0), pageSize);
    if (source.isEmpty())
        target = QRect();
    sourceOffsets.clear();
    for (int x = target.left(); x <= target.right(); ++x) {
        const int column = source.x() + nearestSource(x - destination.x(), source.width(), destination.width());
        sourceOffsets.push_back(static_cast<std::size_t>(column) * 4);
    }
}

// The bitmap's row under page row `pageY`.
const std::uint8_t* DrawnPage::sourceRow(int pageY) const
{
    const int row = source.y() + nearestSource(pageY - destination.y(), source.height(), destination.height());
    return dib.bits + static_cast<std::size_t>(dib.width) * 4 * static_cast<std::size_t>(row);
}

void DrawnPage::rows(int y, int count, std::uint8_t* out) const
{
    const int width = pixels().width();
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::memset(out, paperWhite, rowBytes * static_cast<std::size_t>(count));
    if (target.isEmpty())
        return;
    if (!turned) {
        for (int pageY = std::max(y, target.top()); pageY <= std::min(y + count - 1, target.bottom()); ++pageY) {
            const std::uint8_t* line = sourceRow(pageY);
            std::uint8_t* rgb = out + rowBytes * static_cast<std::size_t>(pageY - y) + target.left() * 3;
            for (const std::size_t offset : sourceOffsets) {
                copyPixel(line + offset, rgb);
                rgb += 3;
            }
        }
        return;
    }
    // Sheet pixel (x, y) shows page pixel (y, pageHeight - 1 - x): the band's sheet rows are page
    // columns, read here a page row at a time so the bitmap is read along its rows.
    const int firstColumn = std::max(y, target.left()), lastColumn = std::min(y + count - 1, target.right());
    if (firstColumn > lastColumn)
        return;
    for (int pageY = target.top(); pageY <= target.bottom(); ++pageY) {
        const std::uint8_t* line = sourceRow(pageY);
        const int sheetX = pageSize.height() - 1 - pageY;
        for (int pageX = firstColumn; pageX <= lastColumn; ++pageX) {
            std::uint8_t* rgb = out + rowBytes * static_cast<std::size_t>(pageX - y) + sheetX * 3;
            copyPixel(line + sourceOffsets[static_cast<std::size_t>(pageX - target.left())], rgb);
        }
    }
}

} // namespace Plover::PrintSystem

#endif
