#include "printing/win32/device_context.h"

#ifndef _WIN32

#include "layout/print_layout.h"
#include "printing/win32/drawn_page.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <cmath>
#include <cstdlib>

namespace Plover::PrintSystem {

namespace {

int devicePixels(double mm, int dpi)
{
    return static_cast<int>(std::lround(mm / 25.4 * dpi));
}


} // namespace

DeviceContext::DeviceContext(std::unique_ptr<PrintDevice> device, QList<QSize> resolutions, const DEVMODEW& mode,
                             QWidget* owner)
    : device(std::move(device)), resolutions(std::move(resolutions)), owner(owner)
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
    if (pageOpen)
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
        if (const std::optional<PaperSize> paper = paperOfWindowsCode(mode.dmPaperSize))
            job.paperMm = {paper->widthMm, paper->heightMm};
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

// The device's own sheet for the paper; the paper itself where the device has none, which it tells when
// the document starts.
DeviceMedia DeviceContext::sheet() const
{
    return device->media(job.paperMm).value_or(DeviceMedia{job.paperMm, {}, {}, {}});
}

// The resolution along the page's own axes: a landscape page runs across the sheet, so a device of
// unequal resolutions swaps them, as Windows' drivers report them.
QSize DeviceContext::pageDpi() const
{
    return job.landscape ? QSize(job.dpiY, job.dpiX) : QSize(job.dpiX, job.dpiY);
}

QSize DeviceContext::physicalSize() const
{
    const QSizeF mm = job.landscape ? sheet().sizeMm.transposed() : sheet().sizeMm;
    return {devicePixels(mm.width(), pageDpi().width()), devicePixels(mm.height(), pageDpi().height())};
}

// A landscape page lies on the portrait sheet turned clockwise: its left edge is the sheet's top and its
// top edge the sheet's right.
QPoint DeviceContext::physicalOffset() const
{
    const QMarginsF margins = sheet().marginsMm;
    const QSize dpi = pageDpi();
    return job.landscape
               ? QPoint(devicePixels(margins.top(), dpi.width()), devicePixels(margins.right(), dpi.height()))
               : QPoint(devicePixels(margins.left(), dpi.width()), devicePixels(margins.top(), dpi.height()));
}

QRect DeviceContext::printableArea() const
{
    const QMarginsF mm = sheet().marginsMm;
    const QMarginsF turned = job.landscape ? QMarginsF(mm.top(), mm.right(), mm.bottom(), mm.left()) : mm;
    const QPoint farEdge(devicePixels(turned.right(), pageDpi().width()),
                         devicePixels(turned.bottom(), pageDpi().height()));
    const QSize page = physicalSize();
    return QRect(physicalOffset(), QPoint(page.width() - 1 - farEdge.x(), page.height() - 1 - farEdge.y()));
}

int DeviceContext::deviceCaps(int index) const
{
    switch (index) {
    case LOGPIXELSX:
        return pageDpi().width();
    case LOGPIXELSY:
        return pageDpi().height();
    case PHYSICALWIDTH:
        return physicalSize().width();
    case PHYSICALHEIGHT:
        return physicalSize().height();
    case PHYSICALOFFSETX:
        return physicalOffset().x();
    case PHYSICALOFFSETY:
        return physicalOffset().y();
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
    inDocument = device->beginDocument(job);
    pagesSent = 0;
    return inDocument;
}

bool DeviceContext::startPage()
{
    if (!inDocument || pageOpen)
        return false;
    pageOpen = true;
    pageSent = false;
    return true;
}

// A target reaching into the unprintable margins loses what lies there; the user hears by how much on
// which edge before anything is sent, and may stop.
bool DeviceContext::marginsAccepted(const QRect& placed) const
{
    const QRect printable = printableArea();
    const QRect onPage = placed & QRect(QPoint(0, 0), physicalSize());
    if (onPage.isEmpty() || printable.contains(onPage))
        return true;
    const auto mm = [](int pixels, int dpi) { return QString::number(pixels * 25.4 / dpi, 'f', 1); };
    QStringList edges;
    if (onPage.left() < printable.left())
        edges << QCoreApplication::translate("Plover::PrintSystem", "%1 mm at the left").arg(mm(printable.left() - onPage.left(), pageDpi().width()));
    if (onPage.top() < printable.top())
        edges << QCoreApplication::translate("Plover::PrintSystem", "%1 mm at the top").arg(mm(printable.top() - onPage.top(), pageDpi().height()));
    if (onPage.right() > printable.right())
        edges << QCoreApplication::translate("Plover::PrintSystem", "%1 mm at the right").arg(mm(onPage.right() - printable.right(), pageDpi().width()));
    if (onPage.bottom() > printable.bottom())
        edges << QCoreApplication::translate("Plover::PrintSystem", "%1 mm at the bottom").arg(mm(onPage.bottom() - printable.bottom(), pageDpi().height()));
    QMessageBox question(QMessageBox::Warning, QCoreApplication::translate("Plover::PrintSystem", "Print"),
                         QCoreApplication::translate("Plover::PrintSystem", "The target reaches into the unprintable margins of \"%1\" by %2. That part will not "
                            "be printed.")
                             .arg(device->name(), edges.join(QStringLiteral(", "))),
                         QMessageBox::NoButton, owner);
    QPushButton* continueButton = question.addButton(QCoreApplication::translate("Plover::PrintSystem", "Continue"), QMessageBox::AcceptRole);
    question.addButton(QCoreApplication::translate("Plover::PrintSystem", "Cancel"), QMessageBox::RejectRole);
    question.setDefaultButton(continueButton);
    question.exec();
    return question.clickedButton() == continueButton;
}

bool DeviceContext::sendPage(const PageSource& page)
{
    pageSent = true;
    // The ICM mode of the page as it was drawn.
    job.icmOff = icmMode == ICM_OFF;
    if (device->printPage(page, job)) {
        ++pagesSent;
        return true;
    }
    // The device has told the user, or the user cancelled: the document is over.
    inDocument = false;
    return false;
}

int DeviceContext::stretchDib(const QRect& destination, const QRect& source, const void* bits,
                              const BITMAPINFOHEADER& header, UINT usage, DWORD rop)
{
    const QRect dib(0, 0, header.biWidth, std::abs(header.biHeight));
    // Only what this driver draws: one 32-bit BI_RGB bitmap a page, rows top-down, its pixels copied as
    // they are, without mirroring.
    const bool drawable = inDocument && pageOpen && !pageSent && bits && header.biSize >= sizeof(BITMAPINFOHEADER) &&
                          header.biPlanes == 1 && header.biBitCount == 32 && header.biCompression == BI_RGB &&
                          header.biHeight < 0 &&
                          usage == DIB_RGB_COLORS && rop == SRCCOPY && destination.width() > 0 &&
                          destination.height() > 0 && !source.isEmpty() && dib.contains(source);
    if (!drawable)
        return 0;
    const QRect placed = destination.translated(physicalOffset());
    if (!marginsAccepted(placed)) {
        pageSent = true;
        inDocument = false;
        device->abandonDocument();
        return 0;
    }
    DrawnPage page(physicalSize(), job.landscape && device->portraitOnly());
    page.place({static_cast<const std::uint8_t*>(bits), dib.width(), dib.height()}, source,
               placed, printableArea());
    return sendPage(page) ? source.height() : 0;
}

bool DeviceContext::endPage()
{
    if (!pageOpen)
        return false;
    pageOpen = false;
    // A page nothing was drawn on still comes out of the printer, blank.
    if (inDocument && !pageSent)
        sendPage(DrawnPage(physicalSize(), job.landscape && device->portraitOnly()));
    return inDocument;
}

bool DeviceContext::endDocument()
{
    if (!inDocument)
        return false;
    inDocument = false;
    if (pagesSent == 0) {
        device->abandonDocument();
        return true;
    }
    return device->endDocument();
}

bool DeviceContext::abortDocument()
{
    if (!inDocument)
        return false;
    inDocument = false;
    pageOpen = false;
    device->abandonDocument();
    return true;
}

} // namespace Plover::PrintSystem

#endif
