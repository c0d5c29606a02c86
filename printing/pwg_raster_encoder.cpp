#include "printing/pwg_raster_encoder.h"

#ifndef _WIN32

#include "printing/cups_destinations.h"
#include "printing/page_raster.h"
#include "printing/print_device.h"

#include <cmath>
#include <cups/raster.h>
#include <memory>
#include <vector>

namespace Plover::PrintSystem {

namespace {

ssize_t writeToSink(void* context, unsigned char* data, size_t size)
{
    const auto* sink = static_cast<const ByteSink*>(context);
    return (*sink)(reinterpret_cast<const char*>(data), size) ? static_cast<ssize_t>(size) : -1;
}

} // namespace

bool writePwgRaster(const PageRaster& page, const PageJob& job, const ByteSink& sink)
{
    const std::unique_ptr<cups_raster_t, void (*)(cups_raster_t*)> raster(
        cupsRasterOpenIO(writeToSink, const_cast<ByteSink*>(&sink), CUPS_RASTER_WRITE_PWG), cupsRasterClose);
    if (!raster)
        return false;
    const QByteArray mediaName = pwgMediaName(job.paperMm).toLatin1();
    pwg_media_t media{};
    media.pwg = mediaName.constData();
    media.width = static_cast<int>(std::lround(job.paperMm.width() * 100.0));
    media.length = static_cast<int>(std::lround(job.paperMm.height() * 100.0));
    const bool landscape = job.landscape;
    const int dpiX = landscape ? job.dpiY : job.dpiX;
    const int dpiY = landscape ? job.dpiX : job.dpiY;
    cups_page_header2_t header;
    if (!cupsRasterInitPWGHeader(&header, &media, "srgb_8", dpiX, dpiY, "one-sided", nullptr))
        return false;
    // The page's own pixel count, rounded as the device context reported it.
    const QSize size = page.portraitSize(landscape);
    header.cupsWidth = static_cast<unsigned>(size.width());
    header.cupsHeight = static_cast<unsigned>(size.height());
    header.cupsBytesPerLine = header.cupsWidth * 3;
    header.NumCopies = static_cast<unsigned>(job.copies);
    if (!cupsRasterWriteHeader2(raster.get(), &header))
        return false;
    std::vector<std::uint8_t> line(header.cupsBytesPerLine);
    for (int y = 0; y < size.height(); ++y) {
        page.portraitRow(landscape, y, line.data());
        if (cupsRasterWritePixels(raster.get(), line.data(), header.cupsBytesPerLine) !=
            header.cupsBytesPerLine)
            return false;
    }
    return true;
}

} // namespace Plover::PrintSystem

#endif
