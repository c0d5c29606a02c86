#pragma once

// The subset of the Win32 print path that the print job calls, for systems without Windows' headers.
// Types, members, functions and constants carry Windows' names and values (the structures have their
// 64-bit Windows layout, the functions C linkage), so the job is written once. Behind them is Plover's
// own print system: the CUPS destinations of the machine and a printer whose paper is a TIFF file.

#ifndef _WIN32

#include <cstddef>
#include <cstdint>

namespace Plover::PrintSystem {
class DeviceContext;
struct NativeWindow;
struct ModuleInstance;
} // namespace Plover::PrintSystem

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using WCHAR = char16_t;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using HANDLE = void*;
using HGLOBAL = HANDLE;
using LPARAM = std::intptr_t;
using WPARAM = std::uintptr_t;
using UINT_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using HDC = Plover::PrintSystem::DeviceContext*;
using HWND = Plover::PrintSystem::NativeWindow*;
using HINSTANCE = Plover::PrintSystem::ModuleInstance*;
using LPPRINTHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using LPSETUPHOOKPROC = UINT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct PRINTDLGW
{
    DWORD lStructSize;
    HWND hwndOwner;
    HGLOBAL hDevMode;
    HGLOBAL hDevNames;
    HDC hDC;
    DWORD Flags;
    WORD nFromPage;
    WORD nToPage;
    WORD nMinPage;
    WORD nMaxPage;
    WORD nCopies;
    HINSTANCE hInstance;
    LPARAM lCustData;
    LPPRINTHOOKPROC lpfnPrintHook;
    LPSETUPHOOKPROC lpfnSetupHook;
    LPCWSTR lpPrintTemplateName;
    LPCWSTR lpSetupTemplateName;
    HGLOBAL hPrintTemplate;
    HGLOBAL hSetupTemplate;
};
using LPPRINTDLGW = PRINTDLGW*;

inline constexpr int CCHDEVICENAME = 32;
inline constexpr int CCHFORMNAME = 32;

// The printer branch of Windows' unions, which is the one a print driver reads.
struct DEVMODEW
{
    WCHAR dmDeviceName[CCHDEVICENAME];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    short dmOrientation;
    short dmPaperSize;
    short dmPaperLength;
    short dmPaperWidth;
    short dmScale;
    short dmCopies;
    short dmDefaultSource;
    short dmPrintQuality;
    short dmColor;
    short dmDuplex;
    short dmYResolution;
    short dmTTOption;
    short dmCollate;
    WCHAR dmFormName[CCHFORMNAME];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmNup;
    DWORD dmDisplayFrequency;
    DWORD dmICMMethod;
    DWORD dmICMIntent;
    DWORD dmMediaType;
    DWORD dmDitherType;
    DWORD dmReserved1;
    DWORD dmReserved2;
    DWORD dmPanningWidth;
    DWORD dmPanningHeight;
};

// Followed in its memory block by the driver, device and output names, offsets in characters.
struct DEVNAMES
{
    WORD wDriverOffset;
    WORD wDeviceOffset;
    WORD wOutputOffset;
    WORD wDefault;
};

struct DOCINFOW
{
    int cbSize;
    LPCWSTR lpszDocName;
    LPCWSTR lpszOutput;
    LPCWSTR lpszDatatype;
    DWORD fwType;
};

struct BITMAPINFOHEADER
{
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};

struct RGBQUAD
{
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct BITMAPINFO
{
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

static_assert(sizeof(void*) != 8 || sizeof(PRINTDLGW) == 120, "PRINTDLGW must have its Win64 layout");
static_assert(sizeof(void*) != 8 || sizeof(DOCINFOW) == 40, "DOCINFOW must have its Win64 layout");
static_assert(sizeof(DEVMODEW) == 220, "DEVMODEW must have its Windows layout");
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must have its Windows layout");

inline constexpr DWORD PD_ALLPAGES = 0x0;
inline constexpr DWORD PD_PAGENUMS = 0x2;
inline constexpr DWORD PD_NOSELECTION = 0x4;
inline constexpr DWORD PD_NOPAGENUMS = 0x8;
inline constexpr DWORD PD_RETURNDC = 0x100;
inline constexpr DWORD PD_USEDEVMODECOPIESANDCOLLATE = 0x40000;
inline constexpr DWORD CDERR_STRUCTSIZE = 0x1;
inline constexpr DWORD PDERR_PRINTERNOTFOUND = 0x100B;

inline constexpr UINT GMEM_MOVEABLE = 0x2;
inline constexpr UINT GMEM_ZEROINIT = 0x40;

inline constexpr WORD DM_SPECVERSION = 0x0401;
inline constexpr DWORD DM_ORIENTATION = 0x1;
inline constexpr DWORD DM_PAPERSIZE = 0x2;
inline constexpr DWORD DM_PAPERLENGTH = 0x4;
inline constexpr DWORD DM_PAPERWIDTH = 0x8;
inline constexpr DWORD DM_COPIES = 0x100;
inline constexpr DWORD DM_PRINTQUALITY = 0x400;
inline constexpr DWORD DM_COLOR = 0x800;
inline constexpr DWORD DM_YRESOLUTION = 0x2000;
inline constexpr short DMORIENT_PORTRAIT = 1;
inline constexpr short DMORIENT_LANDSCAPE = 2;
inline constexpr short DMPAPER_A4 = 9;
inline constexpr short DMCOLOR_COLOR = 2;

inline constexpr int SP_ERROR = -1;
inline constexpr int ICM_OFF = 1;
inline constexpr int ICM_ON = 2;
inline constexpr int ICM_QUERY = 3;
inline constexpr int LOGPIXELSX = 88;
inline constexpr int LOGPIXELSY = 90;
inline constexpr int PHYSICALWIDTH = 110;
inline constexpr int PHYSICALHEIGHT = 111;
inline constexpr int PHYSICALOFFSETX = 112;
inline constexpr int PHYSICALOFFSETY = 113;
inline constexpr int BLACKONWHITE = 1;
inline constexpr int COLORONCOLOR = 3;
inline constexpr DWORD BI_RGB = 0;
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr DWORD SRCCOPY = 0x00CC0020;

extern "C" {
BOOL PrintDlgW(LPPRINTDLGW pPD);
DWORD CommDlgExtendedError();
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
LPVOID GlobalLock(HGLOBAL hMem);
BOOL GlobalUnlock(HGLOBAL hMem);
HGLOBAL GlobalFree(HGLOBAL hMem);
HDC ResetDCW(HDC hdc, const DEVMODEW* lpdm);
int SetICMMode(HDC hdc, int mode);
int StartDocW(HDC hdc, const DOCINFOW* lpdi);
int StartPage(HDC hdc);
int GetDeviceCaps(HDC hdc, int index);
int SetStretchBltMode(HDC hdc, int mode);
int StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc,
                  int SrcWidth, int SrcHeight, const void* lpBits, const BITMAPINFO* lpbmi, UINT iUsage,
                  DWORD rop);
int EndPage(HDC hdc);
int EndDoc(HDC hdc);
int AbortDoc(HDC hdc);
BOOL DeleteDC(HDC hdc);
}

#endif
