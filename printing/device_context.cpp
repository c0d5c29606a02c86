#include "printing/device_context.h"

#ifndef _WIN32

#include <cmath>
#include <cstdlib>

namespace Plover::PrintSystem {

namespace {

int devicePixels(double mm, int dpi)
{
    return static_cast<int>(std::lround(mm / 25.4 * dpi));
}

} // namespace

DeviceContext::DeviceContext(std::unique_ptr<PrintDevice> device, QList<QSize> resolutions,
                             const DEVMODEW& mode)
    : device(std::move(device)), resolutions(std::move(resolutions))
{
    job.paperMm = {210.0, 297.0};
    applyDeviceMode(mode);
}

DeviceContext::~DeviceContext()
{
    // Deleting a context in the middle of a document abandons the document.
    if (inDocument)
        device->abandonDocument();
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
        job.paperMm = {mode.dmPaperWidth / 10.0, mode.dmPaperLength / 10.0};
    } else if (mode.dmFields & DM_PAPERSIZE) {
        if (mode.dmPaperSize == DMPAPER_A4)
            job.paperMm = {210.0, 297.0};
        else if (mode.dmPaperSize == DMPAPER_A3)
            job.paperMm = {297.0, 420.0};
        else if (mode.dmPaperSize == DMPAPER_A2)
            job.paperMm = {420.0, 594.0};
    }
    if ((mode.dmFields & DM_ORIENTATION) &&
        (mode.dmOrientation == DMORIENT_PORTRAIT || mode.dmOrientation == DMORIENT_LANDSCAPE))
        job.landscape = mode.dmOrientation == DMORIENT_LANDSCAPE;
    if (mode.dmFields & DM_PRINTQUALITY) {
        const int y = (mode.dmFields & DM_YRESOLUTION) ? mode.dmYResolution : mode.dmPrintQuality;
        if (resolutions.contains(QSize(mode.dmPrintQuality, y))) {
            job.dpiX = mode.dmPrintQuality;
            job.dpiY = y;
        }
    }
    if ((mode.dmFields & DM_COPIES) && mode.dmCopies > 0)
        job.copies = mode.dmCopies;
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
    const QSizeF mm = job.landscape ? job.paperMm.transposed() : job.paperMm;
    return {devicePixels(mm.width(), job.dpiX), devicePixels(mm.height(), job.dpiY)};
}

// A landscape page lies on the portrait sheet turned clockwise: its left edge is the sheet's top and its
// top edge the sheet's right.
QPoint DeviceContext::physicalOffset() const
{
    const QMarginsF margins = device->marginsMm(job.paperMm);
    return job.landscape
               ? QPoint(devicePixels(margins.top(), job.dpiX), devicePixels(margins.right(), job.dpiY))
               : QPoint(devicePixels(margins.left(), job.dpiX), devicePixels(margins.top(), job.dpiY));
}

QRect DeviceContext::printableArea() const
{
    const QMarginsF mm = device->marginsMm(job.paperMm);
    const QMarginsF turned = job.landscape ? QMarginsF(mm.top(), mm.right(), mm.bottom(), mm.left()) : mm;
    const QPoint farEdge(devicePixels(turned.right(), job.dpiX), devicePixels(turned.bottom(), job.dpiY));
    const QSize sheet = physicalSize();
    return QRect(physicalOffset(), QPoint(sheet.width() - 1 - farEdge.x(), sheet.height() - 1 - farEdge.y()));
}

int DeviceContext::deviceCaps(int index) const
{
    switch (index) {
    case LOGPIXELSX:
        return job.dpiX;
    case LOGPIXELSY:
        return job.dpiY;
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

bool DeviceContext::startDocument(const QString& name)
{
    if (inDocument)
        return false;
    job.documentName = name;
    job.icmOff = icmMode == ICM_OFF;
    inDocument = device->startDocument(job);
    return inDocument;
}

bool DeviceContext::startPage()
{
    if (!inDocument || page || finishedPage)
        return false;
    page = std::make_unique<PageRaster>(physicalSize());
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
    finishedPage = std::move(page);
    return true;
}

bool DeviceContext::endDocument()
{
    if (!inDocument)
        return false;
    inDocument = false;
    page.reset();
    const std::unique_ptr<PageRaster> finished = std::move(finishedPage);
    // The mode at the end of the document is the one the page was drawn in.
    job.icmOff = icmMode == ICM_OFF;
    if (!finished) {
        device->abandonDocument();
        return true;
    }
    return device->printPage(*finished, job);
}

} // namespace Plover::PrintSystem

#endif
