#include "printing/gdi_print_job.h"

#include "layout/placement_geometry.h"

#include <QByteArray>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstring>

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

// A started document, ended whenever the job leaves it, also when a page failed; withdrawn instead when a
// page could not be read, so that no part of the set is printed.
struct OpenDocument
{
    HDC dc;
    bool withdrawn = false;
    OpenDocument(const OpenDocument&) = delete;
    OpenDocument& operator=(const OpenDocument&) = delete;
    ~OpenDocument()
    {
        if (!withdrawn)
            EndDoc(dc);
    }
    void withdraw()
    {
        withdrawn = true;
        AbortDoc(dc);
    }
};

// Global memory holding a copy of `size` bytes, as the dialog takes device names and a device mode.
HGLOBAL globalCopy(const void* bytes, std::size_t size)
{
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (void* memory = handle ? GlobalLock(handle) : nullptr) {
        std::memcpy(memory, bytes, size);
        GlobalUnlock(handle);
    }
    return handle;
}

// Device names and a device mode naming the preset's printer and resolution, for the dialog to start from.
void presetDialog(PRINTDLGW& request, const PrinterPreset& preset)
{
    if (preset.printer.isEmpty())
        return;
    const QString driver = QStringLiteral("winspool");
    const QString names = driver + QChar(0) + preset.printer + QChar(0) + QChar(0);
    DEVNAMES header{};
    header.wDriverOffset = sizeof(DEVNAMES) / sizeof(WCHAR);
    header.wDeviceOffset = static_cast<WORD>(header.wDriverOffset + driver.size() + 1);
    header.wOutputOffset = static_cast<WORD>(header.wDeviceOffset + preset.printer.size() + 1);
    QByteArray block(reinterpret_cast<const char*>(&header), sizeof header);
    block.append(reinterpret_cast<const char*>(names.utf16()), names.size() * qsizetype(sizeof(WCHAR)));
    request.hDevNames = globalCopy(block.constData(), static_cast<std::size_t>(block.size()));

    DEVMODEW mode{};
    const QString device = preset.printer.left(CCHDEVICENAME - 1);
    std::memcpy(mode.dmDeviceName, device.utf16(), static_cast<std::size_t>(device.size()) * sizeof(WCHAR));
    mode.dmSpecVersion = DM_SPECVERSION;
    mode.dmSize = sizeof(DEVMODEW);
    if (!preset.resolution.isEmpty()) {
        mode.dmFields = DM_PRINTQUALITY | DM_YRESOLUTION;
        mode.dmPrintQuality = static_cast<short>(preset.resolution.width());
        mode.dmYResolution = static_cast<short>(preset.resolution.height());
    }
    request.hDevMode = globalCopy(&mode, sizeof mode);
}

// The printer the dialog chose, by its device names.
QString deviceName(HGLOBAL names)
{
    QString name;
    if (const auto* header = names ? static_cast<const DEVNAMES*>(GlobalLock(names)) : nullptr) {
        const WCHAR* text = reinterpret_cast<const WCHAR*>(header) + header->wDeviceOffset;
        name = QString::fromUtf16(reinterpret_cast<const char16_t*>(text));
        GlobalUnlock(names);
    }
    return name;
}

void freeDialogMemory(PRINTDLGW& request)
{
    for (HGLOBAL* handle : {&request.hDevMode, &request.hDevNames}) {
        if (*handle)
            GlobalFree(*handle);
        *handle = nullptr;
    }
}

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

// One page: the whole prepared image stretched into its place; the device's resolution along the page.
// Nothing when the device gives no resolution, which would make its page infinitely large; then nothing is
// drawn.
std::optional<QSize> drawPage(HDC dc, const TargetImage& image, const PrintLayout& layout)
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
        return std::nullopt;

    const QRect destination = devicePlacementRect(device, image, layout);
    const BITMAPINFO header = bitmapHeader(pixels);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, destination.x(), destination.y(), destination.width(), destination.height(), 0, 0,
                  pixels.width(), pixels.height(), pixels.constBits(), &header, DIB_RGB_COLORS, SRCCOPY);
    return QSize(device.logPixelsX, device.logPixelsY);
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

std::optional<PrintedDocument> printWithGdi(QWidget* parent, int pageCount, const TargetPages& pages,
                                            const PrintLayout& layout, const PrinterPreset& preset)
{
    const WORD pagesInSet = static_cast<WORD>(std::clamp(pageCount, 1, 0xFFFF));
    PRINTDLGW request{};
    request.lStructSize = sizeof(PRINTDLGW);
    // The owner is the parent's top-level window; asking a child for its id would make it native.
    request.hwndOwner = parent ? reinterpret_cast<HWND>(parent->window()->winId()) : nullptr;
    // A single page is asked for without a page range, exactly as one image always was.
    request.Flags =
        PD_RETURNDC | PD_NOSELECTION | PD_USEDEVMODECOPIESANDCOLLATE | (pagesInSet == 1 ? PD_NOPAGENUMS : 0);
    request.nFromPage = 1;
    request.nToPage = pagesInSet;
    request.nMinPage = 1;
    request.nMaxPage = pagesInSet;
    request.nCopies = 0;
    // Whatever the request holds is the job's to free, also the memory handed in when the dialog is
    // cancelled.
    const DialogHandles handles{request};
    presetDialog(request, preset);
    BOOL confirmed = PrintDlgW(&request);
    if (!confirmed && !preset.printer.isEmpty() && CommDlgExtendedError() == PDERR_PRINTERNOTFOUND) {
        // The preset's printer is gone: start from the system's defaults instead.
        freeDialogMemory(request);
        confirmed = PrintDlgW(&request);
    }
    if (!confirmed)
        return std::nullopt;

    // The layout's paper and orientation win over whatever was chosen in the dialog.
    withDeviceMode(request.hDevMode,
                   [&layout](DEVMODEW& mode) { applyDeviceModeSettings(mode, deviceModeSettings(layout)); });
    if (!request.hDC)
        return std::nullopt;
    withDeviceMode(request.hDevMode, [&request](DEVMODEW& mode) { ResetDCW(request.hDC, &mode); });
    SetICMMode(request.hDC, ICM_OFF);

    PrintedDocument printed;
    printed.printer = deviceName(request.hDevNames);
    printed.icmOff = SetICMMode(request.hDC, ICM_QUERY) == ICM_OFF;
    printed.lastPage = pagesInSet;
    if (pagesInSet > 1 && (request.Flags & PD_PAGENUMS)) {
        printed.firstPage = std::clamp<int>(request.nFromPage, 1, pagesInSet);
        printed.lastPage = std::clamp<int>(request.nToPage, printed.firstPage, pagesInSet);
    }

    const QString documentName = QStringLiteral("Plover");
    DOCINFOW document{};
    document.cbSize = sizeof(DOCINFOW);
    document.lpszDocName = reinterpret_cast<LPCWSTR>(documentName.utf16());
    if (StartDocW(request.hDC, &document) <= 0)
        return std::nullopt;
    OpenDocument started{request.hDC};
    for (int number = printed.firstPage; number <= printed.lastPage; ++number) {
        // Read before its page starts and let go before the next is read: one page in memory at a time.
        TargetImage image;
        try {
            image = pages(number - 1);
        } catch (...) {
            started.withdraw();
            throw;
        }
        if (StartPage(request.hDC) <= 0)
            return std::nullopt;
        const std::optional<QSize> dpi = drawPage(request.hDC, image, layout);
        EndPage(request.hDC);
        if (!dpi)
            return std::nullopt;
        // A landscape page reports the device's resolutions swapped; the record keeps the device's own.
        printed.resolution = layout.orientation == PageOrientation::Landscape ? dpi->transposed() : *dpi;
    }
    return printed;
}

bool printWithGdi(QWidget* parent, const TargetImage& image, const PrintLayout& layout)
{
    const TargetPages page = [&image](int) {
        return image;
    };
    return printWithGdi(parent, 1, page, layout).has_value();
}

} // namespace Plover
