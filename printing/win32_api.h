#pragma once

// The one place that decides where the print job's Win32 names come from: Windows itself, or the
// print system that Plover brings along everywhere else.
#ifdef _WIN32
// <commdlg.h> needs what <windows.h> declares, so their order stays.
// clang-format off
#include <windows.h>
#include <commdlg.h>
#include <cderr.h>
// clang-format on
#else
#include "printing/win32/win32_subset.h"
#endif
