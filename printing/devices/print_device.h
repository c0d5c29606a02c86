#pragma once

#ifndef _WIN32

#include "printing/encoders/page_encoder.h"

#include <QMarginsF>
#include <QSizeF>
#include <QString>
#include <optional>

namespace Plover::PrintSystem {

// A sheet as one device knows it: its own size (a driver may round to whole points), its unprintable
// margins and the names it is asked for by.
struct DeviceMedia
{
    QSizeF sizeMm; // portrait sense
    QMarginsF marginsMm;
    QString pwgName;
    QString ppdPageSize; // the driver's PageSize choice, where it has a PPD
};

// What a document asks of the device that prints it.
struct PageJob
{
    QString documentName;
    QSizeF paperMm; // the layout's sheet, portrait sense
    bool landscape = false;
    int dpiX = 600; // along the sheet's width, whatever the orientation
    int dpiY = 600;
    int copies = 1;
    bool icmOff = false; // the device context's ICM mode when the page is drawn
};

// One kind of printer behind a device context: the TIFF file printer or a CUPS destination. It
// receives a document: begin, pages, end. Each call that can fail tells the user why before it answers
// false, except where the user cancelled.
class PrintDevice
{
public:
    virtual ~PrintDevice() = default;

    virtual QString name() const = 0;
    // A printer feeds paper one way: a landscape page reaches it turned a quarter turn clockwise.
    virtual bool portraitOnly() const { return true; }
    // The device's own sheet within 1 mm of `paperMm` (portrait sense), or none.
    virtual std::optional<DeviceMedia> media(QSizeF paperMm) const = 0;
    virtual bool beginDocument(const PageJob& job) = 0;
    // Encodes and sends one page; false when it failed or the user cancelled it, which abandons the
    // document.
    virtual bool printPage(const PageSource& page, const PageJob& job) = 0;
    virtual bool endDocument() = 0;
    // Ends a document without printing what it holds.
    virtual void abandonDocument() = 0;

protected:
    // What the encoders are told of `page`: its pixels at the resolution along its own axes, on the
    // device's own sheet for the job's paper.
    PageFormat pageFormat(const PageSource& page, const PageJob& job) const;
};

} // namespace Plover::PrintSystem

#endif
