#include "printing/virtual_call_text.h"

#ifndef _WIN32

namespace Plover::VirtualPrinter {

QString number(long long value)
{
    return QString::number(value);
}

QString hex(unsigned long long value)
{
    return QStringLiteral("0x") + QString::number(value, 16).toUpper();
}

QString quoted(LPCWSTR value)
{
    return value ? u'"' + QString::fromUtf16(value) + u'"' : QStringLiteral("null");
}

QString nameOrNumber(long long value, std::initializer_list<std::pair<long long, const char*>> names)
{
    for (const auto& [known, name] : names) {
        if (value == known)
            return QString::fromLatin1(name);
    }
    return number(value);
}

QString describe(const DEVMODEW& mode)
{
    return QStringLiteral("{dmFields=%1,dmOrientation=%2,dmPaperSize=%3,dmPaperLength=%4,dmPaperWidth=%5,"
                          "dmPrintQuality=%6,dmYResolution=%7}")
        .arg(hex(mode.dmFields), number(mode.dmOrientation), number(mode.dmPaperSize),
             number(mode.dmPaperLength), number(mode.dmPaperWidth), number(mode.dmPrintQuality),
             number(mode.dmYResolution));
}

QString describe(const DOCINFOW& document)
{
    return QStringLiteral("{cbSize=%1,lpszDocName=%2,lpszOutput=%3,lpszDatatype=%4,fwType=%5}")
        .arg(number(document.cbSize), quoted(document.lpszDocName), quoted(document.lpszOutput),
             quoted(document.lpszDatatype), number(document.fwType));
}

QString describe(const BITMAPINFOHEADER& header)
{
    return QStringLiteral(
               "{biSize=%1,biWidth=%2,biHeight=%3,biPlanes=%4,biBitCount=%5,biCompression=%6,"
               "biSizeImage=%7,biXPelsPerMeter=%8,biYPelsPerMeter=%9,biClrUsed=%10,biClrImportant=%11}")
        .arg(number(header.biSize), number(header.biWidth), number(header.biHeight), number(header.biPlanes),
             number(header.biBitCount), nameOrNumber(header.biCompression, {{BI_RGB, "BI_RGB"}}),
             number(header.biSizeImage), number(header.biXPelsPerMeter), number(header.biYPelsPerMeter))
        .arg(number(header.biClrUsed), number(header.biClrImportant));
}

} // namespace Plover::VirtualPrinter

#endif
