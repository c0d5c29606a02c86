#include "printing/virtual_page.h"

#ifndef _WIN32

#include <algorithm>
#include <tiffio.h>

namespace Plover::VirtualPrinter {

namespace {

constexpr std::uint8_t paperWhite = 0xFF;

// The source column or row that the centre of destination pixel `d` of `destinationLength` falls on.
int nearestSource(std::int64_t d, std::int64_t sourceLength, std::int64_t destinationLength)
{
    return static_cast<int>((2 * d + 1) * sourceLength / (2 * destinationLength));
}

} // namespace

VirtualPage::VirtualPage(QSize size, int dpiX, int dpiY)
    : pageSize(size), dpiX(dpiX), dpiY(dpiY), rows(static_cast<std::size_t>(std::max(size.height(), 0)))
{}

std::uint8_t* VirtualPage::row(int y)
{
    std::vector<std::uint8_t>& line = rows[static_cast<std::size_t>(y)];
    if (line.empty())
        line.assign(static_cast<std::size_t>(pageSize.width()) * 3, paperWhite);
    return line.data();
}

void VirtualPage::drawStretched(const DibView& dib, const QRect& source, const QRect& destination,
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
        std::uint8_t* out = row(y) + static_cast<std::size_t>(target.left()) * 3;
        for (const int offset : sourceOffsets) {
            out[0] = in[offset + 2];
            out[1] = in[offset + 1];
            out[2] = in[offset];
            out += 3;
        }
    }
}

bool VirtualPage::writeTo(tiff* file, const QString& documentName, int pageNumber, int pageCount) const
{
    const auto width = static_cast<std::uint32_t>(pageSize.width());
    const auto height = static_cast<std::uint32_t>(pageSize.height());
    TIFFSetField(file, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(file, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(file, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(file, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(file, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(file, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(file, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(file, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(file, TIFFTAG_XRESOLUTION, static_cast<double>(dpiX));
    TIFFSetField(file, TIFFTAG_YRESOLUTION, static_cast<double>(dpiY));
    TIFFSetField(file, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(file, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(file, 0));
    TIFFSetField(file, TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(pageNumber),
                 static_cast<std::uint16_t>(pageCount));
    const QByteArray name = documentName.toUtf8();
    TIFFSetField(file, TIFFTAG_DOCUMENTNAME, name.constData());
    TIFFSetField(file, TIFFTAG_SOFTWARE, "Plover Virtual Printer");

    // libtiff gathers the scan lines into strips, so only one strip is buffered at a time.
    std::vector<std::uint8_t> blank(static_cast<std::size_t>(width) * 3, paperWhite);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::vector<std::uint8_t>& line = rows[y];
        void* data = line.empty() ? blank.data() : const_cast<std::uint8_t*>(line.data());
        if (TIFFWriteScanline(file, data, y, 0) < 0)
            return false;
    }
    return TIFFWriteDirectory(file) != 0;
}

} // namespace Plover::VirtualPrinter

#endif
