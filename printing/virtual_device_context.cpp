#include "printing/virtual_device_context.h"

#ifndef _WIN32

#include <QFile>
#include <cmath>
#include <cstdlib>
#include <tiffio.h>

namespace Plover::VirtualPrinter {

namespace {

constexpr double mmPerInch = 25.4;

int devicePixels(double mm, int dpi)
{
    return static_cast<int>(std::lround(mm / mmPerInch * dpi));
}

bool isSupportedResolution(int dpi)
{
    return resolutions().contains(dpi);
}

} // namespace

void TiffCloser::operator()(tiff* file) const
{
    TIFFClose(file);
}

DeviceContext::DeviceContext(const Settings& settings, const DEVMODEW& mode)
    : dpiX(settings.dpi), dpiY(settings.dpi), marginMm(settings.marginMm), outputPath(settings.outputPath),
      failStartPage(settings.failStartPage), zeroLogPixelsX(settings.zeroLogPixelsX),
      zeroLogPixelsY(settings.zeroLogPixelsY)
{
    applyDeviceMode(mode);
}

DeviceContext::~DeviceContext()
{
    if (document)
        abandonDocument();
}

bool DeviceContext::reset(const DEVMODEW& mode)
{
    // Paper and resolution may change between pages only.
    if (page)
        return false;
    applyDeviceMode(mode);
    return true;
}

// What the driver takes from a device mode; members it does not know and values it cannot print are ignored.
void DeviceContext::applyDeviceMode(const DEVMODEW& mode)
{
    const DWORD customPaper = DM_PAPERWIDTH | DM_PAPERLENGTH;
    if ((mode.dmFields & customPaper) == customPaper && mode.dmPaperWidth > 0 && mode.dmPaperLength > 0) {
        paperWidthMm = mode.dmPaperWidth / 10.0;
        paperHeightMm = mode.dmPaperLength / 10.0;
    } else if (mode.dmFields & DM_PAPERSIZE) {
        if (mode.dmPaperSize == DMPAPER_A4) {
            paperWidthMm = 210.0;
            paperHeightMm = 297.0;
        } else if (mode.dmPaperSize == DMPAPER_A3) {
            paperWidthMm = 297.0;
            paperHeightMm = 420.0;
        } else if (mode.dmPaperSize == DMPAPER_A2) {
            paperWidthMm = 420.0;
            paperHeightMm = 594.0;
        }
    }
    if ((mode.dmFields & DM_ORIENTATION) &&
        (mode.dmOrientation == DMORIENT_PORTRAIT || mode.dmOrientation == DMORIENT_LANDSCAPE))
        landscape = mode.dmOrientation == DMORIENT_LANDSCAPE;
    if ((mode.dmFields & DM_PRINTQUALITY) && isSupportedResolution(mode.dmPrintQuality)) {
        dpiX = mode.dmPrintQuality;
        const bool ownY = (mode.dmFields & DM_YRESOLUTION) && isSupportedResolution(mode.dmYResolution);
        dpiY = ownY ? mode.dmYResolution : dpiX;
    }
}

int DeviceContext::setIcmMode(int mode)
{
    if (mode == ICM_QUERY)
        return icmMode;
    if (mode != ICM_OFF && mode != ICM_ON)
        return 0;
    icmMode = mode;
    return 1;
}

int DeviceContext::setStretchMode(int mode)
{
    // BLACKONWHITE, WHITEONBLACK, COLORONCOLOR, HALFTONE; the previous mode, or 0 when refused.
    if (mode < 1 || mode > 4)
        return 0;
    const int previous = stretchMode;
    stretchMode = mode;
    return previous;
}

QSize DeviceContext::physicalSize() const
{
    const double width = landscape ? paperHeightMm : paperWidthMm;
    const double height = landscape ? paperWidthMm : paperHeightMm;
    return {devicePixels(width, dpiX), devicePixels(height, dpiY)};
}

QPoint DeviceContext::physicalOffset() const
{
    return {devicePixels(marginMm, dpiX), devicePixels(marginMm, dpiY)};
}

QRect DeviceContext::printableArea() const
{
    const QSize sheet = physicalSize();
    const QPoint offset = physicalOffset();
    return {offset.x(), offset.y(), sheet.width() - 2 * offset.x(), sheet.height() - 2 * offset.y()};
}

int DeviceContext::deviceCaps(int index) const
{
    switch (index) {
    case LOGPIXELSX:
        return zeroLogPixelsX ? 0 : dpiX;
    case LOGPIXELSY:
        return zeroLogPixelsY ? 0 : dpiY;
    case PHYSICALWIDTH:
        return physicalSize().width();
    case PHYSICALHEIGHT:
        return physicalSize().height();
    case PHYSICALOFFSETX:
        return physicalOffset().x();
    case PHYSICALOFFSETY:
        return physicalOffset().y();
    case HORZRES:
        return printableArea().width();
    case VERTRES:
        return printableArea().height();
    default:
        return 0;
    }
}

bool DeviceContext::startDocument(const QString& output, const QString& name)
{
    if (document)
        return false;
    const QString path = output.isEmpty() ? outputPath : output;
    // Created through Qt first, so an unwritable place fails quietly instead of through libtiff's messages.
    QFile probe(path);
    if (path.isEmpty() || !probe.open(QIODevice::WriteOnly))
        return false;
    probe.close();
    document.reset(TIFFOpen(QFile::encodeName(path).constData(), "w"));
    documentPath = path;
    documentName = name;
    return document != nullptr;
}

bool DeviceContext::startPage()
{
    if (!document || page || failStartPage)
        return false;
    page = std::make_unique<VirtualPage>(physicalSize(), dpiX, dpiY);
    return true;
}

int DeviceContext::stretchDib(const QRect& destination, const QRect& source, const void* bits,
                              const BITMAPINFOHEADER& header, UINT usage, DWORD rop)
{
    const QRect dib(0, 0, header.biWidth, std::abs(header.biHeight));
    // Only what this driver draws: 32-bit BI_RGB pixels copied as they are, without mirroring.
    const bool drawable = page && bits && header.biSize >= sizeof(BITMAPINFOHEADER) && header.biPlanes == 1 &&
                          header.biBitCount == 32 && header.biCompression == BI_RGB &&
                          usage == DIB_RGB_COLORS && rop == SRCCOPY && destination.width() > 0 &&
                          destination.height() > 0 && !source.isEmpty() && dib.contains(source);
    if (!drawable)
        return 0;
    const DibView view{static_cast<const std::uint8_t*>(bits), dib.width(), dib.height(),
                       header.biHeight < 0};
    page->drawStretched(view, source, destination.translated(physicalOffset()), printableArea());
    return source.height();
}

bool DeviceContext::endPage()
{
    if (!page)
        return false;
    finishedPages.push_back(std::move(page));
    return true;
}

bool DeviceContext::endDocument()
{
    if (!document)
        return false;
    bool written = true;
    const int count = static_cast<int>(finishedPages.size());
    for (int i = 0; i < count && written; ++i)
        written = finishedPages[static_cast<std::size_t>(i)]->writeTo(document.get(), documentName, i, count);
    // A document without a finished page prints nothing.
    if (count == 0 || !written) {
        abandonDocument();
        return written;
    }
    closeDocument();
    return true;
}

void DeviceContext::abandonDocument()
{
    closeDocument();
    QFile::remove(documentPath);
}

void DeviceContext::closeDocument()
{
    document.reset();
    page.reset();
    finishedPages.clear();
}

} // namespace Plover::VirtualPrinter

#endif
