#pragma once

#ifndef _WIN32

#include "printing/virtual_page.h"
#include "printing/virtual_printer.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>
#include <vector>

struct tiff;

namespace Plover::VirtualPrinter {

struct TiffCloser
{
    void operator()(tiff* file) const;
};

// The printer's device context: the driver's paper, resolution and margin, and the document in
// progress. Its pages go to one TIFF file, written when the document ends.
class DeviceContext
{
public:
    DeviceContext(const Settings& settings, const DEVMODEW& mode);
    ~DeviceContext();

    // Takes paper, orientation and resolution from a device mode; refused while a page is open.
    bool reset(const DEVMODEW& mode);
    int setIcmMode(int mode);
    int setStretchMode(int mode);
    int deviceCaps(int index) const;

    // An empty path means the output file chosen in the dialog.
    bool startDocument(const QString& outputPath, const QString& name);
    bool startPage();
    int stretchDib(const QRect& destination, const QRect& source, const void* bits,
                   const BITMAPINFOHEADER& header, UINT usage, DWORD rop);
    bool endPage();
    bool endDocument();
    bool hasDocument() const { return document != nullptr; }
    // Ends the document without printing: nothing reaches the paper.
    void abandonDocument();

private:
    void applyDeviceMode(const DEVMODEW& mode);
    QSize physicalSize() const;
    QPoint physicalOffset() const;
    QRect printableArea() const;
    void closeDocument();

    double paperWidthMm = 210.0; // portrait sense
    double paperHeightMm = 297.0;
    bool landscape = false;
    int dpiX = 600;
    int dpiY = 600;
    double marginMm = 3.0;
    QString outputPath;
    bool failStartPage = false;
    bool zeroLogPixelsX = false;
    bool zeroLogPixelsY = false;
    int icmMode = ICM_OFF;
    int stretchMode = BLACKONWHITE;

    std::unique_ptr<tiff, TiffCloser> document;
    QString documentPath;
    QString documentName;
    std::unique_ptr<VirtualPage> page;
    std::vector<std::unique_ptr<VirtualPage>> finishedPages;
};

} // namespace Plover::VirtualPrinter

#endif
