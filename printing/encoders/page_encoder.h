#pragma once

#ifndef _WIN32

#include <QSize>
#include <QSizeF>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace Plover::PrintSystem {

// Receives encoded bytes as they are made; false stops the encoding. Never called with zero bytes.
using ByteSink = std::function<bool(const char* data, std::size_t size)>;

// One page as it leaves the device: always portrait, in device pixels at the device's resolution.
struct PageFormat
{
    QSize pixels;
    int dpiX = 600;
    int dpiY = 600;
    QSizeF paperMm;       // the media as the destination knows it, portrait
    QString mediaName;    // its PWG name
    int copies = 1;
    QString documentName;
    bool icmOff = false;
};

// Turns a document, page by page and band by band, into one file format. The rows of a page arrive
// top to bottom, each as width * 3 bytes of red, green and blue; no encoder holds a whole page.
class PageEncoder
{
public:
    virtual ~PageEncoder() = default;

    virtual bool beginPage(const PageFormat& page) = 0;
    virtual bool writeRows(const std::uint8_t* rows, int count) = 0;
    virtual bool endPage() = 0;
    // Closes the document after its last page.
    virtual bool endDocument() = 0;
};

// A page that renders its rows on demand, so that no buffer ever holds the whole sheet.
class PageSource
{
public:
    virtual ~PageSource() = default;
    virtual QSize pixels() const = 0;
    // Rows y to y + count - 1, each as width * 3 bytes of red, green and blue.
    virtual void rows(int y, int count, std::uint8_t* out) const = 0;
};

// Feeds `page` to `encoder` band by band, telling `progress` the rows done so far; false when the
// encoder fails or `progress` answers false (the user cancelled).
bool encodePage(const PageSource& page, const PageFormat& format, PageEncoder& encoder,
                const std::function<bool(int rowsDone)>& progress);

// PWG raster (sRGB, 8 bits): the printer receives exactly the device pixels, with nothing left for a
// filter to scale or turn.
std::unique_ptr<PageEncoder> makePwgRasterEncoder(ByteSink sink);
// PDF whose MediaBox is exactly the paper, each page one 8-bit DeviceRGB Flate image of the device
// pixels at 72/dpi points each, without interpolation or ICC profile: a PDF filter chain has nothing
// to scale, and at most rounds the image's place to its own pixel grid.
std::unique_ptr<PageEncoder> makePdfEncoder(ByteSink sink);
// A TIFF file, a directory per page, with the device resolution in its tags and the ICM mode in its
// description. Null when the file cannot be created.
std::unique_ptr<PageEncoder> makeTiffEncoder(const QString& path);

} // namespace Plover::PrintSystem

#endif
