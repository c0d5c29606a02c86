#pragma once

#ifndef _WIN32

#include "printing/print_device.h"

namespace Plover::PrintSystem {

// "Plover Virtual Printer (TIFF file)": a chosen unprintable margin on every side, and a file that
// receives each page as a TIFF.
class FilePrinter : public PrintDevice
{
public:
    FilePrinter(double marginMm, QString outputPath);

    static QString printerName();
    // The supported resolutions in dots per inch; 600 is the driver's default.
    static QList<int> resolutions();

    QString name() const override { return printerName(); }
    QMarginsF marginsMm(QSizeF paperMm) const override;
    bool startDocument(const PageJob& job) override;
    bool printPage(const PageRaster& page, const PageJob& job) override;
    void abandonDocument() override;

private:
    double marginMm;
    QString outputPath;
};

} // namespace Plover::PrintSystem

#endif
