#include "printing/page_raster.h"

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

} // namespace

PageRaster::PageRaster(QSize size)
    : pageSize(size), rows(static_cast<std::size_t>(std::max(size.height(), 0)))
{}

const std::uint8_t* PageRaster::row(int y) const
{
    const std::vector<std::uint8_t>& line = rows[static_cast<std::size_t>(y)];
    return line.empty() ? nullptr : line.data();
}

void PageRaster::portraitRow(bool landscape, int y, std::uint8_t* out) const
{
    const int width = portraitSize(landscape).width();
    if (!landscape) {
        const std::uint8_t* line = row(y);
        if (line)
            std::memcpy(out, line, static_cast<std::size_t>(width) * 3);
        else
            std::memset(out, paperWhite, static_cast<std::size_t>(width) * 3);
        return;
    }
    // Sheet pixel (x, y) shows page pixel (y, pageHeight - 1 - x).
    for (int x = 0; x < width; ++x, out += 3) {
        const std::uint8_t* line = row(pageSize.height() - 1 - x);
        if (line)
            std::memcpy(out, line + static_cast<std::size_t>(y) * 3, 3);
        else
            std::memset(out, paperWhite, 3);
    }
}

std::uint8_t* PageRaster::writableRow(int y)
{
    std::vector<std::uint8_t>& line = rows[static_cast<std::size_t>(y)];
    if (line.empty())
        line.assign(static_cast<std::size_t>(pageSize.width()) * 3, paperWhite);
    return line.data();
}

void PageRaster::drawStretched(const DibView& dib, const QRect& source, const QRect& destination,
                               const QRect& clip)
{
    const QRect target = destination & clip & QRect(QPoint(0, 0), pageSize);
    if (target.isEmpty() || source.isEmpty())
        return;

    std::vector<int> sourceOffsets(static_cast<std::size_t>(target.width()));
    for (int x = target.left(); x <= target.right(); ++x) {
        const int column =
            source.x() + nearestSource(x - destination.x(), source.width(), destination.width());
        sourceOffsets[static_cast<std::size_t>(x - target.left())] = column * 4;
    }

    const std::size_t stride = static_cast<std::size_t>(dib.width) * 4;
    for (int y = target.top(); y <= target.bottom(); ++y) {
        const int sourceRow =
            source.y() + nearestSource(y - destination.y(), source.height(), destination.height());
        const int dibRow = dib.topDown ? sourceRow : dib.height - 1 - sourceRow;
        const std::uint8_t* in = dib.bits + stride * static_cast<std::size_t>(dibRow);
        std::uint8_t* out = writableRow(y) + static_cast<std::size_t>(target.left()) * 3;
        for (const int offset : sourceOffsets) {
            out[0] = in[offset + 2];
            out[1] = in[offset + 1];
            out[2] = in[offset];
            out += 3;
        }
    }
}

} // namespace Plover::PrintSystem

#endif
