#include "printing/virtual_printer.h"

#ifndef _WIN32

#include "printing/virtual_call_text.h"
#include "printing/virtual_device_context.h"
#include "printing/virtual_printer_dialog.h"

#include <QDir>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace Plover::VirtualPrinter {

namespace {

// A movable "global memory" block; its handle is its own address.
struct GlobalBlock
{
    QString role;
    std::vector<std::uint8_t> bytes;
    int locks = 0;
};

struct PrinterState
{
    Settings settings;
    bool showDialog = true;
    QStringList log;
    std::map<HDC, std::unique_ptr<DeviceContext>> contexts;
    std::map<HGLOBAL, std::unique_ptr<GlobalBlock>> blocks;
};

PrinterState& state()
{
    static PrinterState printer = [] {
        PrinterState initial;
        initial.settings.outputPath = QDir::home().filePath(QStringLiteral("Plover printed page.tif"));
        return initial;
    }();
    return printer;
}

void record(const QString& call, const QStringList& arguments, const QString& result)
{
    state().log.append(call + u'(' + arguments.join(u',') + QStringLiteral(") -> ") + result);
}

DeviceContext* contextOf(HDC hdc)
{
    const auto found = state().contexts.find(hdc);
    return found == state().contexts.end() ? nullptr : found->second.get();
}

GlobalBlock* blockOf(HGLOBAL handle)
{
    const auto found = state().blocks.find(handle);
    return found == state().blocks.end() ? nullptr : found->second.get();
}

QString nameOf(HDC hdc)
{
    if (!hdc)
        return QStringLiteral("null");
    return contextOf(hdc) ? QStringLiteral("hdc") : QStringLiteral("invalid");
}

QString nameOf(HGLOBAL handle)
{
    if (!handle)
        return QStringLiteral("null");
    const GlobalBlock* block = blockOf(handle);
    return block ? block->role : QStringLiteral("invalid");
}

HGLOBAL allocate(const QString& role, const void* data, std::size_t size)
{
    auto block = std::make_unique<GlobalBlock>();
    block->role = role;
    block->bytes.resize(size);
    std::memcpy(block->bytes.data(), data, size);
    HGLOBAL handle = block.get();
    state().blocks.emplace(handle, std::move(block));
    return handle;
}

DEVMODEW driverDeviceMode(const Settings& settings)
{
    DEVMODEW mode{};
    const QString name = printerName().left(CCHDEVICENAME - 1);
    std::memcpy(mode.dmDeviceName, name.utf16(), static_cast<std::size_t>(name.size()) * sizeof(WCHAR));
    mode.dmSpecVersion = DM_SPECVERSION;
    mode.dmDriverVersion = 0x0100;
    mode.dmSize = sizeof(DEVMODEW);
    mode.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_PRINTQUALITY | DM_COLOR | DM_YRESOLUTION;
    mode.dmOrientation = settings.orientation;
    mode.dmPaperSize = settings.paperSize;
    mode.dmCopies = 1;
    mode.dmPrintQuality = static_cast<short>(settings.dpi);
    mode.dmYResolution = static_cast<short>(settings.dpi);
    mode.dmColor = DMCOLOR_COLOR;
    return mode;
}

HGLOBAL allocateDeviceNames(const Settings& settings)
{
    const QString driver = QStringLiteral("Plover Virtual Printer");
    const QString names = driver + QChar(0) + printerName() + QChar(0) + settings.outputPath + QChar(0);
    const WORD header = sizeof(DEVNAMES) / sizeof(WCHAR);
    DEVNAMES devNames{};
    devNames.wDriverOffset = header;
    devNames.wDeviceOffset = static_cast<WORD>(header + driver.size() + 1);
    devNames.wOutputOffset = static_cast<WORD>(devNames.wDeviceOffset + printerName().size() + 1);
    devNames.wDefault = DN_DEFAULTPRN;
    std::vector<std::uint8_t> bytes(sizeof(DEVNAMES) +
                                    static_cast<std::size_t>(names.size()) * sizeof(WCHAR));
    std::memcpy(bytes.data(), &devNames, sizeof(DEVNAMES));
    std::memcpy(bytes.data() + sizeof(DEVNAMES), names.utf16(), bytes.size() - sizeof(DEVNAMES));
    return allocate(QStringLiteral("hDevNames"), bytes.data(), bytes.size());
}

HDC createContext(const Settings& settings, const DEVMODEW& mode)
{
    auto dc = std::make_unique<DeviceContext>(settings, mode);
    HDC handle = dc.get();
    state().contexts.emplace(handle, std::move(dc));
    return handle;
}

QString ownerName(HWND owner)
{
    if (!owner)
        return QStringLiteral("null");
    return QWidget::find(reinterpret_cast<WId>(owner)) ? QStringLiteral("window") : QStringLiteral("unknown");
}

QString describe(const PRINTDLGW& pd)
{
    QStringList members{
        QStringLiteral("lStructSize=") + number(pd.lStructSize),
        QStringLiteral("hwndOwner=") + ownerName(pd.hwndOwner),
        QStringLiteral("hDevMode=") + nameOf(pd.hDevMode),
        QStringLiteral("hDevNames=") + nameOf(pd.hDevNames),
        QStringLiteral("hDC=") + nameOf(pd.hDC),
        QStringLiteral("Flags=") + hex(pd.Flags),
        QStringLiteral("nFromPage=") + number(pd.nFromPage),
        QStringLiteral("nToPage=") + number(pd.nToPage),
        QStringLiteral("nMinPage=") + number(pd.nMinPage),
        QStringLiteral("nMaxPage=") + number(pd.nMaxPage),
        QStringLiteral("nCopies=") + number(pd.nCopies),
    };
    // The rest must stay zero; any that is not is named.
    const std::pair<bool, const char*> rest[] = {
        {pd.hInstance != nullptr, "hInstance"},
        {pd.lCustData != 0, "lCustData"},
        {pd.lpfnPrintHook != nullptr, "lpfnPrintHook"},
        {pd.lpfnSetupHook != nullptr, "lpfnSetupHook"},
        {pd.lpPrintTemplateName != nullptr, "lpPrintTemplateName"},
        {pd.lpSetupTemplateName != nullptr, "lpSetupTemplateName"},
        {pd.hPrintTemplate != nullptr, "hPrintTemplate"},
        {pd.hSetupTemplate != nullptr, "hSetupTemplate"},
    };
    for (const auto& [set, name] : rest) {
        if (set)
            members.append(QString::fromLatin1(name) + QStringLiteral("=set"));
    }
    return u'{' + members.join(u',') + u'}';
}

} // namespace

QString printerName()
{
    return QStringLiteral("Plover Virtual Printer (TIFF file)");
}

QList<int> resolutions()
{
    return {300, 360, 600, 720};
}

void configure(const Settings& settings)
{
    state().settings = settings;
    state().showDialog = false;
}

void useDialog()
{
    state().showDialog = true;
}

Settings settings()
{
    return state().settings;
}

QStringList callLog()
{
    return state().log;
}

void clearCallLog()
{
    state().log.clear();
}

int openHandleCount()
{
    return static_cast<int>(state().contexts.size() + state().blocks.size());
}

} // namespace Plover::VirtualPrinter

using namespace Plover;
using namespace Plover::VirtualPrinter;

BOOL PrintDlgW(LPPRINTDLGW pPD)
{
    if (!pPD) {
        record(QStringLiteral("PrintDlgW"), {QStringLiteral("null")}, QStringLiteral("0"));
        return 0;
    }
    const QString request = describe(*pPD);
    // Like Windows, a request of the wrong size is refused, and so are device mode and names handed in.
    bool confirmed = pPD->lStructSize == sizeof(PRINTDLGW) && !pPD->hDevMode && !pPD->hDevNames;
    Settings chosen = state().settings;
    if (confirmed && state().showDialog) {
        QWidget* owner = QWidget::find(reinterpret_cast<WId>(pPD->hwndOwner));
        VirtualPrinterDialog dialog(owner ? owner->window() : nullptr, chosen);
        confirmed = dialog.exec() == QDialog::Accepted;
        if (confirmed)
            chosen = state().settings = dialog.chosenSettings();
    } else if (confirmed) {
        confirmed = chosen.confirm;
    }
    if (!confirmed) {
        record(QStringLiteral("PrintDlgW"), {request}, QStringLiteral("0"));
        return 0;
    }

    const DEVMODEW mode = driverDeviceMode(chosen);
    pPD->hDevMode =
        chosen.returnDeviceMode ? allocate(QStringLiteral("hDevMode"), &mode, sizeof mode) : nullptr;
    pPD->hDevNames = allocateDeviceNames(chosen);
    pPD->hDC =
        (pPD->Flags & PD_RETURNDC) && chosen.returnDeviceContext ? createContext(chosen, mode) : nullptr;
    record(QStringLiteral("PrintDlgW"), {request}, QStringLiteral("1"));
    return 1;
}

LPVOID GlobalLock(HGLOBAL hMem)
{
    GlobalBlock* block = blockOf(hMem);
    const QString name = nameOf(hMem);
    LPVOID pointer = nullptr;
    if (block) {
        ++block->locks;
        pointer = block->bytes.data();
    }
    record(QStringLiteral("GlobalLock"), {name},
           pointer ? QStringLiteral("pointer") : QStringLiteral("null"));
    return pointer;
}

BOOL GlobalUnlock(HGLOBAL hMem)
{
    GlobalBlock* block = blockOf(hMem);
    BOOL stillLocked = 0;
    if (block && block->locks > 0)
        stillLocked = --block->locks > 0;
    record(QStringLiteral("GlobalUnlock"), {nameOf(hMem)}, number(stillLocked));
    return stillLocked;
}

HGLOBAL GlobalFree(HGLOBAL hMem)
{
    const QString name = nameOf(hMem);
    // Null on success; the handle itself when it was not a live block.
    const HGLOBAL result = !hMem || state().blocks.erase(hMem) ? nullptr : hMem;
    record(QStringLiteral("GlobalFree"), {name}, result ? QStringLiteral("failed") : QStringLiteral("null"));
    return result;
}

HDC ResetDCW(HDC hdc, const DEVMODEW* lpdm)
{
    DeviceContext* dc = contextOf(hdc);
    DEVMODEW mode{};
    if (lpdm)
        std::memcpy(&mode, lpdm, std::min<std::size_t>(lpdm->dmSize, sizeof mode));
    const HDC result = dc && lpdm && dc->reset(mode) ? hdc : nullptr;
    record(QStringLiteral("ResetDCW"), {nameOf(hdc), lpdm ? describe(mode) : QStringLiteral("null")},
           nameOf(result));
    return result;
}

int SetICMMode(HDC hdc, int mode)
{
    DeviceContext* dc = contextOf(hdc);
    const int result = dc ? dc->setIcmMode(mode) : 0;
    record(QStringLiteral("SetICMMode"),
           {nameOf(hdc),
            nameOrNumber(mode, {{ICM_OFF, "ICM_OFF"}, {ICM_ON, "ICM_ON"}, {ICM_QUERY, "ICM_QUERY"}})},
           number(result));
    return result;
}

int StartDocW(HDC hdc, const DOCINFOW* lpdi)
{
    DeviceContext* dc = contextOf(hdc);
    bool started = false;
    if (dc && lpdi) {
        const auto text = [](LPCWSTR value) {
            return value ? QString::fromUtf16(value) : QString();
        };
        started = dc->startDocument(text(lpdi->lpszOutput), text(lpdi->lpszDocName));
    }
    const int result = started ? 1 : SP_ERROR;
    record(QStringLiteral("StartDocW"), {nameOf(hdc), lpdi ? describe(*lpdi) : QStringLiteral("null")},
           number(result));
    return result;
}

int StartPage(HDC hdc)
{
    DeviceContext* dc = contextOf(hdc);
    const int result = dc && dc->startPage() ? 1 : SP_ERROR;
    record(QStringLiteral("StartPage"), {nameOf(hdc)}, number(result));
    return result;
}

int GetDeviceCaps(HDC hdc, int index)
{
    const DeviceContext* dc = contextOf(hdc);
    const int result = dc ? dc->deviceCaps(index) : 0;
    record(QStringLiteral("GetDeviceCaps"),
           {nameOf(hdc), nameOrNumber(index, {{LOGPIXELSX, "LOGPIXELSX"},
                                              {LOGPIXELSY, "LOGPIXELSY"},
                                              {PHYSICALWIDTH, "PHYSICALWIDTH"},
                                              {PHYSICALHEIGHT, "PHYSICALHEIGHT"},
                                              {PHYSICALOFFSETX, "PHYSICALOFFSETX"},
                                              {PHYSICALOFFSETY, "PHYSICALOFFSETY"},
                                              {HORZRES, "HORZRES"},
                                              {VERTRES, "VERTRES"}})},
           number(result));
    return result;
}

int SetStretchBltMode(HDC hdc, int mode)
{
    DeviceContext* dc = contextOf(hdc);
    const int previous = dc ? dc->setStretchMode(mode) : 0;
    const auto modeName = [](int value) {
        return nameOrNumber(value,
                            {{1, "BLACKONWHITE"}, {2, "WHITEONBLACK"}, {3, "COLORONCOLOR"}, {4, "HALFTONE"}});
    };
    record(QStringLiteral("SetStretchBltMode"), {nameOf(hdc), modeName(mode)}, modeName(previous));
    return previous;
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc,
                  int SrcWidth, int SrcHeight, const void* lpBits, const BITMAPINFO* lpbmi, UINT iUsage,
                  DWORD rop)
{
    DeviceContext* dc = contextOf(hdc);
    const int result = dc && lpbmi ? dc->stretchDib(QRect(xDest, yDest, DestWidth, DestHeight),
                                                    QRect(xSrc, ySrc, SrcWidth, SrcHeight), lpBits,
                                                    lpbmi->bmiHeader, iUsage, rop)
                                   : 0;
    record(QStringLiteral("StretchDIBits"),
           {nameOf(hdc), number(xDest), number(yDest), number(DestWidth), number(DestHeight), number(xSrc),
            number(ySrc), number(SrcWidth), number(SrcHeight),
            lpBits ? QStringLiteral("bits") : QStringLiteral("null"),
            lpbmi ? describe(lpbmi->bmiHeader) : QStringLiteral("null"),
            nameOrNumber(iUsage, {{DIB_RGB_COLORS, "DIB_RGB_COLORS"}}),
            rop == SRCCOPY ? QStringLiteral("SRCCOPY") : hex(rop)},
           number(result));
    return result;
}

int EndPage(HDC hdc)
{
    DeviceContext* dc = contextOf(hdc);
    const int result = dc && dc->endPage() ? 1 : SP_ERROR;
    record(QStringLiteral("EndPage"), {nameOf(hdc)}, number(result));
    return result;
}

int EndDoc(HDC hdc)
{
    DeviceContext* dc = contextOf(hdc);
    const int result = dc && dc->endDocument() ? 1 : SP_ERROR;
    record(QStringLiteral("EndDoc"), {nameOf(hdc)}, number(result));
    return result;
}

BOOL DeleteDC(HDC hdc)
{
    const QString name = nameOf(hdc);
    // Deleting a context in the middle of a document abandons the document.
    const BOOL deleted = state().contexts.erase(hdc) ? 1 : 0;
    record(QStringLiteral("DeleteDC"), {name}, number(deleted));
    return deleted;
}

#endif
