#include "printing/devices/print_device.h"

#ifndef _WIN32

namespace Plover::PrintSystem {

PageFormat PrintDevice::pageFormat(const PageSource& page, const PageJob& job) const
{
    const DeviceMedia sheet = media(job.paperMm).value_or(DeviceMedia{job.paperMm, {}, {}, {}});
    // A landscape page that reaches the device unturned runs across the sheet's resolutions.
    const bool acrossSheet = job.landscape && !portraitOnly();
    PageFormat format;
    format.pixels = page.pixels();
    format.dpiX = acrossSheet ? job.dpiY : job.dpiX;
    format.dpiY = acrossSheet ? job.dpiX : job.dpiY;
    format.paperMm = sheet.sizeMm;
    format.mediaName = sheet.pwgName;
    format.copies = job.copies;
    format.documentName = job.documentName;
    format.icmOff = job.icmOff;
    return format;
}

} // namespace Plover::PrintSystem

#endif
