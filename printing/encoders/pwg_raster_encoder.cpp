#include "printing/encoders/page_encoder.h"

#ifndef _WIN32

#include <cmath>
#include <cups/raster.h>

namespace Plover::PrintSystem {

namespace {

ssize_t writeToSink(void* context, unsigned char* data, size_t size)
{
    const auto* sink = static_cast<const ByteSink*>(context);
    if (size == 0)
        return 0;
    return (*sink)(reinterpret_cast<const char*>(data), size) ? static_cast<ssize_t>(size) : -1;
}

class PwgRasterEncoder : public PageEncoder
{
public:
    explicit PwgRasterEncoder(ByteSink sink)
        : sink(std::move(sink)), raster(cupsRasterOpenIO(writeToSink, &this->sink, CUPS_RASTER_WRITE_PWG))
    {}
    ~PwgRasterEncoder() override
    {
        if (raster)
            cupsRasterClose(raster);
    }

    bool beginPage(const PageFormat& page) override
    {
        if (!raster)
            return false;
        const QByteArray mediaName = page.mediaName.toLatin1();
        pwg_media_t media{};
        media.pwg = mediaName.constData();
        media.width = static_cast<int>(std::lround(page.paperMm.width() * 100.0));
        media.length = static_cast<int>(std::lround(page.paperMm.height() * 100.0));
        cups_page_header2_t header;
        if (!cupsRasterInitPWGHeader(&header, &media, "srgb_8", page.dpiX, page.dpiY, "one-sided", nullptr))
            return false;
        // The page's own pixel count, rounded as the device context reported it.
        header.cupsWidth = static_cast<unsigned>(page.pixels.width());
        header.cupsHeight = static_cast<unsigned>(page.pixels.height());
        header.cupsBytesPerLine = header.cupsWidth * 3;
        // The CUPS IPP backend does not forward the job's copies for raster; the printer reads them here.
        header.NumCopies = static_cast<unsigned>(page.copies);
        bytesPerLine = header.cupsBytesPerLine;
        return cupsRasterWriteHeader2(raster, &header) != 0;
    }

    bool writeRows(const std::uint8_t* rows, int count) override
    {
        const unsigned length = bytesPerLine * static_cast<unsigned>(count);
        return cupsRasterWritePixels(raster, const_cast<unsigned char*>(rows), length) == length;
    }

    bool endPage() override { return true; }
    bool endDocument() override
    {
        cupsRasterClose(raster);
        raster = nullptr;
        return true;
    }

private:
    ByteSink sink;
    cups_raster_t* raster = nullptr;
    unsigned bytesPerLine = 0;
};

} // namespace

std::unique_ptr<PageEncoder> makePwgRasterEncoder(ByteSink sink)
{
    return std::make_unique<PwgRasterEncoder>(std::move(sink));
}

} // namespace Plover::PrintSystem

#endif
