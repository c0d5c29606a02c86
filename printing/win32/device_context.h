#pragma once

#ifndef _WIN32

#include "printing/devices/print_device.h"
#include "printing/win32/win32_subset.h"

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <memory>

namespace Plover::PrintSystem {

// A printer device context: paper, orientation, resolution, copies and ICM mode from the device mode,
// the document in progress, and the device that prints it. Its page is the device's own sheet for the
// chosen paper, so a driver's whole-point paper size does not move what is drawn. A page holds one
// bitmap, which goes to the device while StretchDIBits runs, band by band.
class DeviceContext
{
public:
    DeviceContext(std::unique_ptr<PrintDevice> device, QList<QSize> resolutions, const DEVMODEW& mode,
                  QWidget* owner);
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
    // Ends the document without printing any of it.
    bool abortDocument();

private:
    void applyDeviceMode(const DEVMODEW& mode);
    DeviceMedia sheet() const;
    QSize pageDpi() const;
    QSize physicalSize() const;
    QPoint physicalOffset() const;
    QRect printableArea() const;
    bool marginsAccepted(const QRect& placed) const;
    bool sendPage(const PageSource& page);

    std::unique_ptr<PrintDevice> device;
    QList<QSize> resolutions;
    QPointer<QWidget> owner;
    PageJob job;
    int icmMode = ICM_ON;
    int stretchMode = BLACKONWHITE;
    bool inDocument = false;
    bool pageOpen = false;
    bool pageSent = false;
    int pagesSent = 0;
};

} // namespace Plover::PrintSystem

#endif
