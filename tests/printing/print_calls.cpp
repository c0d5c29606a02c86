#include "print_calls.h"

#include "printing/win32/win32_subset.h"

#include <QStringList>

namespace {

PloverTest::PrintCalls::Fault fault = PloverTest::PrintCalls::Fault::None;
QStringList calls;
QString dialogAsked;
int open = 0;

} // namespace

void PloverTest::PrintCalls::reset(Fault injected)
{
    fault = injected;
    calls.clear();
    open = 0;
}

QString PloverTest::PrintCalls::order()
{
    return calls.join(u' ');
}

QString PloverTest::PrintCalls::dialogRequest()
{
    return dialogAsked;
}

int PloverTest::PrintCalls::openHandles()
{
    return open;
}

using PloverTest::PrintCalls::Fault;

extern "C" {
BOOL __real_PrintDlgW(LPPRINTDLGW);
HGLOBAL __real_GlobalAlloc(UINT, SIZE_T);
HGLOBAL __real_GlobalFree(HGLOBAL);
int __real_SetICMMode(HDC, int);
int __real_SetStretchBltMode(HDC, int);
int __real_StartDocW(HDC, const DOCINFOW*);
int __real_StartPage(HDC);
int __real_GetDeviceCaps(HDC, int);
int __real_EndDoc(HDC);
int __real_AbortDoc(HDC);
BOOL __real_DeleteDC(HDC);

BOOL __wrap_PrintDlgW(LPPRINTDLGW request)
{
    dialogAsked = QStringLiteral("flags 0x%1, pages %2 to %3 of %4 to %5")
                      .arg(QString::number(request->Flags, 16))
                      .arg(request->nFromPage)
                      .arg(request->nToPage)
                      .arg(request->nMinPage)
                      .arg(request->nMaxPage);
    // Memory handed in was counted when it was allocated; the dialog may fill it or hand out its own.
    const int handedIn = (request->hDevMode ? 1 : 0) + (request->hDevNames ? 1 : 0);
    const BOOL confirmed = __real_PrintDlgW(request);
    calls << QStringLiteral("PrintDlgW");
    if (!confirmed)
        return confirmed;
    open += (request->hDevMode ? 1 : 0) + (request->hDevNames ? 1 : 0) - handedIn + (request->hDC ? 1 : 0);
    if (fault == Fault::NoDeviceContext && __real_DeleteDC(request->hDC)) {
        request->hDC = nullptr;
        --open;
    }
    if (fault == Fault::NoDeviceMode && !__real_GlobalFree(request->hDevMode)) {
        request->hDevMode = nullptr;
        --open;
    }
    return confirmed;
}

HGLOBAL __wrap_GlobalAlloc(UINT flags, SIZE_T bytes)
{
    const HGLOBAL memory = __real_GlobalAlloc(flags, bytes);
    open += memory ? 1 : 0;
    return memory;
}

HGLOBAL __wrap_GlobalFree(HGLOBAL memory)
{
    calls << QStringLiteral("GlobalFree");
    const HGLOBAL result = __real_GlobalFree(memory);
    open -= memory && !result ? 1 : 0;
    return result;
}

int __wrap_SetICMMode(HDC dc, int mode)
{
    calls << (mode == ICM_OFF     ? QStringLiteral("ICM_OFF")
              : mode == ICM_QUERY ? QStringLiteral("ICM_QUERY")
                                  : QStringLiteral("SetICMMode"));
    return __real_SetICMMode(dc, mode);
}

// Any other mode lets a driver blend neighbouring pixels of the target.
int __wrap_SetStretchBltMode(HDC dc, int mode)
{
    calls << (mode == COLORONCOLOR ? QStringLiteral("COLORONCOLOR") : QStringLiteral("SetStretchBltMode"));
    return __real_SetStretchBltMode(dc, mode);
}

int __wrap_StartDocW(HDC dc, const DOCINFOW* document)
{
    calls << QStringLiteral("StartDocW");
    return fault == Fault::StartDocFails ? SP_ERROR : __real_StartDocW(dc, document);
}

int __wrap_StartPage(HDC dc)
{
    calls << QStringLiteral("StartPage");
    return fault == Fault::StartPageFails ? SP_ERROR : __real_StartPage(dc);
}

int __wrap_GetDeviceCaps(HDC dc, int index)
{
    return fault == Fault::NoResolution && index == LOGPIXELSX ? 0 : __real_GetDeviceCaps(dc, index);
}

int __wrap_EndDoc(HDC dc)
{
    calls << QStringLiteral("EndDoc");
    return __real_EndDoc(dc);
}

int __wrap_AbortDoc(HDC dc)
{
    calls << QStringLiteral("AbortDoc");
    return __real_AbortDoc(dc);
}

BOOL __wrap_DeleteDC(HDC dc)
{
    calls << QStringLiteral("DeleteDC");
    const BOOL deleted = __real_DeleteDC(dc);
    open -= deleted ? 1 : 0;
    return deleted;
}
}
