#pragma once

#ifndef _WIN32

#include "printing/virtual_printer.h"

#include <QString>
#include <initializer_list>
#include <utility>

// How the virtual printer's call log writes arguments: numbers in decimal, bit sets in hexadecimal,
// known constants by their Win32 names, structures as {member=value,...}.
namespace Plover::VirtualPrinter {

QString number(long long value);
QString hex(unsigned long long value);
// A wide text in double quotes, or null.
QString quoted(LPCWSTR value);
QString nameOrNumber(long long value, std::initializer_list<std::pair<long long, const char*>> names);

QString describe(const DEVMODEW& mode);
QString describe(const DOCINFOW& document);
QString describe(const BITMAPINFOHEADER& header);

} // namespace Plover::VirtualPrinter

#endif
