#include "printing/gdi_print_job.h"

#include "layout/placement_geometry.h"

#include <QWidget>
#include <cmath>

namespace Plover {

void applyDeviceModeSettings(DEVMODEW& mode, const DeviceModeSettings& settings)
{
    mode.dmFields |= settings.fields;
    mode.dmOrientation = settings.orientation;
    if (settings.fields & DM_PAPERSIZE)
        mode.dmPaperSize = settings.paperSize;
    if (settings.fields & DM_PAPERWIDTH)
        mode.dmPaperWidth = settings.paperWidth;
    if (settings.fields & DM_PAPERLENGTH)
        mode.dmPaperLength = settings.paperLength;
}

namespace {

// Runs `use` on the dialog's device mode while it is locked; does nothing when there is none to lock.
template <typename Use> void withDeviceMode(HGLOBAL handle, Use use)
{
    if (!handle)
        return;
    if (auto* mode = static_cast<DEVMODEW*>(GlobalLock(handle))) {
        use(*mode);
        GlobalUnlock(handle);
    }
}

// What the dialog handed out, released on every way out of the job: the device context, then the
// device mode and the device names.
struct DialogHandles
{
    PRINTDLGW& request;
    DialogHandles(const DialogHandles&) = delete;
    DialogHandles& operator=(const DialogHandles&) = delete;
    ~DialogHandles()
    {
        if (request.hDC)
            DeleteDC(request.hDC);
        if (request.hDevMode)
            GlobalFree(request.hDevMode);
        if (request.hDevNames)
            GlobalFree(request.hDevNames);
    }
};

// A started document, ended whenever the job leaves it, also when the page failed.
struct OpenDocument
{
    HDC dc;
    OpenDocument(const OpenDocument&) = delete;
    OpenDocument& operator=(const OpenDocument&) = delete;
    ~OpenDocument() { EndDoc(dc); }
};

BITMAPINFO bitmapHeader(const QImage& pixels)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pixels.width();
    info.bmiHeader.biHeight = -pixels.height(); // rows top-down, as the image stores them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// One page: the whole prepared image stretched into its place. False when the device gives no resolution,
// which would make its page infinitely large; then nothing is drawn.
bool drawPage(HDC dc, const TargetImage& image, const PrintLayout& layout)
{
    const QImage pixels = printPixels(image, layout);
    DevicePageMetrics device;
    device.logPixelsX = GetDeviceCaps(dc, LOGPIXELSX);
    device.logPixelsY = GetDeviceCaps(dc, LOGPIXELSY);
    device.physicalOffsetX = GetDeviceCaps(dc, PHYSICALOFFSETX);
    device.physicalOffsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
    device.physicalWidth = GetDeviceCaps(dc, PHYSICALWIDTH);
    device.physicalHeight = GetDeviceCaps(dc, PHYSICALHEIGHT);
    if (device.logPixelsX == 0 || device.logPixelsY == 0)
        return false;

    const QRect destination = devicePlacementRect(device, image, layout);
    const BITMAPINFO header = bitmapHeader(pixels);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, destination.x(), destination.y(), destination.width(), destination.height(), 0, 0,
                  pixels.width(), pixels.height(), pixels.constBits(), &header, DIB_RGB_COLORS, SRCCOPY);
    return true;
}

} // namespace

DeviceModeSettings deviceModeSettings(const PrintLayout& layout)
{
    DeviceModeSettings settings;
    settings.fields = DM_ORIENTATION;
    settings.orientation =
        layout.orientation == PageOrientation::Landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    if (layout.paper.windowsPaperCode != 0) {
        settings.fields |= DM_PAPERSIZE;
        settings.paperSize = layout.paper.windowsPaperCode;
        return settings;
    }
    // A size the paper codes do not name travels as its dimensions, always in portrait sense.
    const QSizeF mm = sheetSizeMm(layout.paper, PageOrientation::Portrait);
    settings.fields |= DM_PAPERLENGTH | DM_PAPERWIDTH;
    settings.paperWidth = static_cast<std::int16_t>(std::lround(mm.width() * 10.0));
    settings.paperLength = static_cast<std::int16_t>(std::lround(mm.height() * 10.0));
    return settings;
}

QImage printPixels(const TargetImage& image, const PrintLayout& layout)
{
    return rotatedImage(image.image, layout.rotationDegrees).convertToFormat(QImage::Format_ARGB32);
}

bool printWithGdi(QWidget* parent, const TargetImage& image, const PrintLayout& layout)
{
    PRINTDLGW request{};
    request.lStructSize = sizeof(PRINTDLGW);
    // The owner is the parent's top-level window; asking a child for its id would make it native.
    request.hwndOwner = parent ? reinterpret_cast<HWND>(parent->window()->winId()) : nullptr;
    request.Flags = PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE;
    request.nFromPage = 1;
    request.nToPage = 1;
    request.nMinPage = 1;
    request.nMaxPage = 1;
    request.nCopies = 0;
    if (!PrintDlgW(&request))
        return false;
    const DialogHandles handles{request};

    // The layout's paper and orientation win over whatever was chosen in the dialog.
    withDeviceMode(request.hDevMode,
                   [&layout](DEVMODEW& mode) { applyDeviceModeSettings(mode, deviceModeSettings(layout)); });
    if (!request.hDC)
        return false;
    withDeviceMode(request.hDevMode, [&request](DEVMODEW& mode) { ResetDCW(request.hDC, &mode); });
    SetICMMode(request.hDC, ICM_OFF);

    const QString documentName = QStringLiteral("Plover");
    DOCINFOW document{};
    document.cbSize = sizeof(DOCINFOW);
    document.lpszDocName = reinterpret_cast<LPCWSTR>(documentName.utf16());
    if (StartDocW(request.hDC, &document) <= 0)
        return false;
    const OpenDocument started{request.hDC};
    if (StartPage(request.hDC) <= 0)
        return false;
    const bool printed = drawPage(request.hDC, image, layout);
    EndPage(request.hDC);
    return printed;
}

} // namespace Plover
