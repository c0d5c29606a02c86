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

HGLOBAL allocateDeviceNames(const QString& printer)
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
    return allocate(bytes.data(), bytes.size());
}

} // namespace

BOOL PrintDlgW(LPPRINTDLGW pPD)
{
    // Like Windows, a request of the wrong size is refused, and so are device mode and names handed in.
    if (!pPD || pPD->lStructSize != sizeof(PRINTDLGW) || pPD->hDevMode || pPD->hDevNames)
        return 0;
    QWidget* found = QWidget::find(reinterpret_cast<WId>(pPD->hwndOwner));
    QWidget* owner = found ? found->window() : nullptr;
    std::optional<Plover::PrintSystem::PrinterChoice> choice = Plover::PrintSystem::PrintDialog::choosePrinter(owner);
    if (!choice)
        return 0;

    const DEVMODEW mode = driverDeviceMode(*choice);
    pPD->hDevMode = allocate(&mode, sizeof mode);
    pPD->hDevNames = allocateDeviceNames(choice->device->name());
    pPD->hDC = nullptr;
    if (pPD->Flags & PD_RETURNDC) {
        auto dc = std::make_unique<DeviceContext>(std::move(choice->device), choice->resolutions, mode, owner);
        pPD->hDC = dc.get();
        handles().contexts.emplace(pPD->hDC, std::move(dc));
    }
    return 1;
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

BOOL DeleteDC(HDC hdc)
{
    return handles().contexts.erase(hdc) ? 1 : 0;
}

#endif
