#pragma once

#ifndef _WIN32

#include "printing/page_raster.h"
#include "printing/print_device.h"
#include "printing/win32_subset.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <memory>

namespace Plover::PrintSystem {

// A printer device context: paper, orientation, resolution, copies and ICM mode from the device mode,
// the document in progress, and the device that prints it when the document ends.
class DeviceContext
{
public:
    DeviceContext(std::unique_ptr<PrintDevice> device, QList<QSize> resolutions, const DEVMODEW& mode);
    ~DeviceContext();

    // Takes paper, orientation, resolution and copies from a device mode; refused while a page is open.
    bool reset(const DEVMODEW& mode);
    int setIcmMode(int mode);
    int setStretchMode(int mode);
    int deviceCaps(int index) const;

    bool startDocument(const QString& name);
    bool startPage();
    int stretchDib(const QRect& destination, const QRect& source, const void* bits,
                   const BITMAPINFOHEADER& header, UINT usage, DWORD rop);
    bool endPage();
    bool endDocument();

private:
    void applyDeviceMode(const DEVMODEW& mode);
    QSize physicalSize() const;
    QPoint physicalOffset() const;
    QRect printableArea() const;

    std::unique_ptr<PrintDevice> device;
    QList<QSize> resolutions;
    PageJob job;
    int icmMode = ICM_ON;
    int stretchMode = BLACKONWHITE;
    bool inDocument = false;
    std::unique_ptr<PageRaster> page;
    std::unique_ptr<PageRaster> finishedPage;
};

} // namespace Plover::PrintSystem

#endif
