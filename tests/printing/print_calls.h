#pragma once

#include <QString>

// Records the print job's calls into the Win32 subset, in order, and injects the platform's failures.
// Linked with --wrap for each of those names, so the product keeps only the real calls.
namespace PloverTest::PrintCalls {

enum class Fault
{
    None,
    NoDeviceContext, // the dialog returns no device context
    NoDeviceMode,    // the dialog returns no device mode
    StartDocFails,
    StartPageFails,
    NoResolution, // the device reports 0 for LOGPIXELSX
};

void reset(Fault fault = Fault::None);
// The calls the platform's order depends on, space-separated; SetICMMode(ICM_OFF) shows as "ICM_OFF",
// SetICMMode(ICM_QUERY) as "ICM_QUERY", SetStretchBltMode(COLORONCOLOR) as "COLORONCOLOR".
QString order();
// What the job last asked of the dialog: "flags 0x4010c, pages 1 to 1 of 1 to 1".
QString dialogRequest();
// Device contexts and global memory blocks handed out by the dialog and not yet released.
int openHandles();

} // namespace PloverTest::PrintCalls
