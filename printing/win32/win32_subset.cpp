#include "printing/win32/win32_subset.h"

#ifndef _WIN32

#include "printing/win32/device_context.h"
#include "printing/win32/print_dialog.h"

#include <QWidget>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

using Plover::PrintSystem::DeviceContext;

namespace {

// A movable "global memory" block; its handle is its own address.
struct GlobalBlock
{
    std::vector<std::uint8_t> bytes;
    int locks = 0;
};

struct Handles
{
    std::map<HDC, std::unique_ptr<DeviceContext>> contexts;
    std::map<HGLOBAL, std::unique_ptr<GlobalBlock>> blocks;
};

Handles& handles()
{
    static Handles open;
    return open;
}

DWORD lastDialogError = 0;

DeviceContext* contextOf(HDC hdc)
{
    const auto found = handles().contexts.find(hdc);
    return found == handles().contexts.end() ? nullptr : found->second.get();
}

GlobalBlock* blockOf(HGLOBAL handle)
{
    const auto found = handles().blocks.find(handle);
    return found == handles().blocks.end() ? nullptr : found->second.get();
}

HGLOBAL allocate(const void* data, std::size_t size)
{
    auto block = std::make_unique<GlobalBlock>();
    block->bytes.resize(size);
    std::memcpy(block->bytes.data(), data, size);
    HGLOBAL handle = block.get();
    handles().blocks.emplace(handle, std::move(block));
    return handle;
}

// The driver's device mode for what the dialog chose: A4 portrait until the job says otherwise.
DEVMODEW driverDeviceMode(const Plover::PrintSystem::PrinterChoice& choice)
{
    DEVMODEW mode{};
    const QString name = choice.device->name().left(CCHDEVICENAME - 1);
    std::memcpy(mode.dmDeviceName, name.utf16(), static_cast<std::size_t>(name.size()) * sizeof(WCHAR));
    mode.dmSpecVersion = DM_SPECVERSION;
    mode.dmDriverVersion = 0x0100;
    mode.dmSize = sizeof(DEVMODEW);
    mode.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_PRINTQUALITY | DM_COLOR | DM_YRESOLUTION;
    mode.dmOrientation = DMORIENT_PORTRAIT;
    mode.dmPaperSize = DMPAPER_A4;
    mode.dmCopies = static_cast<short>(choice.copies);
    mode.dmPrintQuality = static_cast<short>(choice.resolution.width());
    mode.dmYResolution = static_cast<short>(choice.resolution.height());
    mode.dmColor = DMCOLOR_COLOR;
    return mode;
}

// Device mode and device names handed in are filled anew in their own blocks, as Windows may do.
HGLOBAL store(HGLOBAL handle, const void* data, std::size_t size)
{
    GlobalBlock* block = blockOf(handle);
    if (!block)
        return allocate(data, size);
    block->bytes.assign(static_cast<const std::uint8_t*>(data),
                        static_cast<const std::uint8_t*>(data) + size);
    return handle;
}

// What the request asks the dialog to start from: the printer its device names give, the resolution and
// copies of its device mode, and the page range unless it says there is none.
Plover::PrintSystem::DialogStart dialogStart(const PRINTDLGW& request)
{
    Plover::PrintSystem::DialogStart start;
    if (const GlobalBlock* names = blockOf(request.hDevNames);
        names && names->bytes.size() > sizeof(DEVNAMES)) {
        DEVNAMES header{};
        std::memcpy(&header, names->bytes.data(), sizeof header);
        const std::size_t characters = names->bytes.size() / sizeof(WCHAR);
        if (header.wDeviceOffset < characters) {
            const auto* text = reinterpret_cast<const char16_t*>(names->bytes.data()) + header.wDeviceOffset;
            start.printer = QString::fromUtf16(
                text, std::find(text, text + (characters - header.wDeviceOffset), 0) - text);
        }
    }
    if (const GlobalBlock* block = blockOf(request.hDevMode);
        block && block->bytes.size() >= sizeof(DEVMODEW)) {
        DEVMODEW mode{};
        std::memcpy(&mode, block->bytes.data(), sizeof mode);
        if (mode.dmFields & DM_PRINTQUALITY)
            start.resolution =
                QSize(mode.dmPrintQuality,
                      (mode.dmFields & DM_YRESOLUTION) ? mode.dmYResolution : mode.dmPrintQuality);
        if (mode.dmFields & DM_COPIES)
            start.copies = mode.dmCopies;
    }
    if (!(request.Flags & PD_NOPAGENUMS)) {
        start.minPage = request.nMinPage;
        start.maxPage = request.nMaxPage;
        start.fromPage = request.nFromPage;
        start.toPage = request.nToPage;
        start.pageRange = request.Flags & PD_PAGENUMS;
    }
    return start;
}

HGLOBAL allocateDeviceNames(HGLOBAL handle, const QString& printer)
{
    const QString driver = QStringLiteral("Plover");
    const QString names = driver + QChar(0) + printer + QChar(0) + QChar(0);
    const WORD header = sizeof(DEVNAMES) / sizeof(WCHAR);
    DEVNAMES devNames{};
    devNames.wDriverOffset = header;
    devNames.wDeviceOffset = static_cast<WORD>(header + driver.size() + 1);
    devNames.wOutputOffset = static_cast<WORD>(devNames.wDeviceOffset + printer.size() + 1);
    std::vector<std::uint8_t> bytes(sizeof(DEVNAMES) +
                                    static_cast<std::size_t>(names.size()) * sizeof(WCHAR));
    std::memcpy(bytes.data(), &devNames, sizeof(DEVNAMES));
    std::memcpy(bytes.data() + sizeof(DEVNAMES), names.utf16(), bytes.size() - sizeof(DEVNAMES));
    return store(handle, bytes.data(), bytes.size());
}

} // namespace

BOOL PrintDlgW(LPPRINTDLGW pPD)
{
    // Like Windows, a request of the wrong size is refused, and so is memory that is not a live block.
    lastDialogError = CDERR_STRUCTSIZE;
    if (!pPD || pPD->lStructSize != sizeof(PRINTDLGW) || (pPD->hDevMode && !blockOf(pPD->hDevMode)) ||
        (pPD->hDevNames && !blockOf(pPD->hDevNames)))
        return 0;
    lastDialogError = 0;
    QWidget* found = QWidget::find(reinterpret_cast<WId>(pPD->hwndOwner));
    QWidget* owner = found ? found->window() : nullptr;
    std::optional<Plover::PrintSystem::PrinterChoice> choice =
        Plover::PrintSystem::PrintDialog::choosePrinter(owner, dialogStart(*pPD));
    if (!choice)
        return 0;

    const DEVMODEW mode = driverDeviceMode(*choice);
    pPD->hDevMode = store(pPD->hDevMode, &mode, sizeof mode);
    pPD->hDevNames = allocateDeviceNames(pPD->hDevNames, choice->device->name());
    if (!(pPD->Flags & PD_NOPAGENUMS)) {
        pPD->Flags = choice->pageRange ? pPD->Flags | PD_PAGENUMS : pPD->Flags & ~PD_PAGENUMS;
        pPD->nFromPage = static_cast<WORD>(choice->fromPage);
        pPD->nToPage = static_cast<WORD>(choice->toPage);
    }
    pPD->hDC = nullptr;
    if (pPD->Flags & PD_RETURNDC) {
        auto dc = std::make_unique<DeviceContext>(std::move(choice->device), choice->resolutions, mode, owner);
        pPD->hDC = dc.get();
        handles().contexts.emplace(pPD->hDC, std::move(dc));
    }
    return 1;
}

DWORD CommDlgExtendedError()
{
    return lastDialogError;
}

HGLOBAL GlobalAlloc(UINT, SIZE_T dwBytes)
{
    // Every block is movable and starts zeroed.
    const std::vector<std::uint8_t> zeros(dwBytes);
    return allocate(zeros.data(), zeros.size());
}

LPVOID GlobalLock(HGLOBAL hMem)
{
    GlobalBlock* block = blockOf(hMem);
    if (!block)
        return nullptr;
    ++block->locks;
    return block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL hMem)
{
    GlobalBlock* block = blockOf(hMem);
    if (!block || block->locks == 0)
        return 0;
    return --block->locks > 0;
}

HGLOBAL GlobalFree(HGLOBAL hMem)
{
    // Null on success; the handle itself when it was not a live block.
    return !hMem || handles().blocks.erase(hMem) ? nullptr : hMem;
}

HDC ResetDCW(HDC hdc, const DEVMODEW* lpdm)
{
    DeviceContext* dc = contextOf(hdc);
    if (!dc || !lpdm)
        return nullptr;
    DEVMODEW mode{};
    std::memcpy(&mode, lpdm, std::min<std::size_t>(lpdm->dmSize, sizeof mode));
    return dc->reset(mode) ? hdc : nullptr;
}

int SetICMMode(HDC hdc, int mode)
{
    DeviceContext* dc = contextOf(hdc);
    return dc ? dc->setIcmMode(mode) : 0;
}

int StartDocW(HDC hdc, const DOCINFOW* lpdi)
{
    DeviceContext* dc = contextOf(hdc);
    if (!dc || !lpdi)
        return SP_ERROR;
    const QString name = lpdi->lpszDocName ? QString::fromUtf16(lpdi->lpszDocName) : QString();
    return dc->startDocument(name) ? 1 : SP_ERROR;
}

int StartPage(HDC hdc)
{
    DeviceContext* dc = contextOf(hdc);
    return dc && dc->startPage() ? 1 : SP_ERROR;
}

int GetDeviceCaps(HDC hdc, int index)
{
    const DeviceContext* dc = contextOf(hdc);
    return dc ? dc->deviceCaps(index) : 0;
}

int SetStretchBltMode(HDC hdc, int mode)
{
    DeviceContext* dc = contextOf(hdc);
    return dc ? dc->setStretchMode(mode) : 0;
}

int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc,
                  int SrcWidth, int SrcHeight, const void* lpBits, const BITMAPINFO* lpbmi, UINT iUsage,
                  DWORD rop)
{
    DeviceContext* dc = contextOf(hdc);
    if (!dc || !lpbmi)
        return 0;
    return dc->stretchDib(QRect(xDest, yDest, DestWidth, DestHeight), QRect(xSrc, ySrc, SrcWidth, SrcHeight),
                          lpBits, lpbmi->bmiHeader, iUsage, rop);
}

int EndPage(HDC hdc)
{
    DeviceContext* dc = contextOf(hdc);
    return dc && dc->endPage() ? 1 : SP_ERROR;
}

int EndDoc(HDC hdc)
{
    DeviceContext* dc = contextOf(hdc);
    return dc && dc->endDocument() ? 1 : SP_ERROR;
}

int AbortDoc(HDC hdc)
{
    DeviceContext* dc = contextOf(hdc);
    return dc && dc->abortDocument() ? 1 : SP_ERROR;
}

BOOL DeleteDC(HDC hdc)
{
    return handles().contexts.erase(hdc) ? 1 : 0;
}

#endif
