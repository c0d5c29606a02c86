#pragma once

#ifndef _WIN32

#include <QMarginsF>
#include <QSizeF>
#include <QString>

namespace Plover::PrintSystem {

class PageRaster;

// What a document asks of the device that prints it.
struct PageJob
{
    QString documentName;
    QSizeF paperMm; // portrait sense
    bool landscape = false;
    int dpiX = 600;
    int dpiY = 600;
    int copies = 1;
    bool icmOff = false; // the device context's ICM mode at the end of the document
};

// One kind of printer behind a device context: the TIFF file printer or a CUPS destination.
class PrintDevice
{
public:
    virtual ~PrintDevice() = default;

    virtual QString name() const = 0;
    // Unprintable margins of a sheet of `paperMm` (portrait sense), in millimetres.
    virtual QMarginsF marginsMm(QSizeF paperMm) const = 0;
    // Begins a document; false (after telling the user, where the device would) when it cannot print.
    virtual bool startDocument(const PageJob& job) = 0;
    // Prints the finished page (the sheet as the layout sees it) and ends the document.
    virtual bool printPage(const PageRaster& page, const PageJob& job) = 0;
    // Ends a document that has no page: nothing reaches the paper.
    virtual void abandonDocument() = 0;
};

} // namespace Plover::PrintSystem

#endif
