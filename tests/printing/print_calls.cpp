#include "print_calls.h"

#include "printing/win32/win32_subset.h"

#include <QStringList>

namespace {

PloverTest::PrintCalls::Fault fault = PloverTest::PrintCalls::Fault::None;
QStringList calls;
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

int PloverTest::PrintCalls::openHandles()
{
    return open;
}

using PloverTest::PrintCalls::Fault;

extern "C" {
BOOL __real_PrintDlgW(LPPRINTDLGW);
HGLOBAL __real_GlobalFree(HGLOBAL);
int __real_SetICMMode(HDC, int);
int __real_SetStretchBltMode(HDC, int);
int __real_StartDocW(HDC, const DOCINFOW*);
int __real_StartPage(HDC);
int __real_GetDeviceCaps(HDC, int);
int __real_EndDoc(HDC);
BOOL __real_DeleteDC(HDC);

BOOL __wrap_PrintDlgW(LPPRINTDLGW request)
{
    const BOOL confirmed = __real_PrintDlgW(request);
    calls << QStringLiteral("PrintDlgW");
    if (!confirmed)
        return confirmed;
    open += 2 + (request->hDC ? 1 : 0);
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

HGLOBAL __wrap_GlobalFree(HGLOBAL memory)
{
    calls << QStringLiteral("GlobalFree");
    const HGLOBAL result = __real_GlobalFree(memory);
    open -= memory && !result ? 1 : 0;
    return result;
}

int __wrap_SetICMMode(HDC dc, int mode)
{
    calls << (mode == ICM_OFF ? QStringLiteral("ICM_OFF") : QStringLiteral("SetICMMode"));
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

BOOL __wrap_DeleteDC(HDC dc)
{
    calls << QStringLiteral("DeleteDC");
    const BOOL deleted = __real_DeleteDC(dc);
    open -= deleted ? 1 : 0;
    return deleted;
}
}
