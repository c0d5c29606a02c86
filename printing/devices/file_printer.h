#pragma once

#ifndef _WIN32

#include "printing/devices/print_device.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace Plover::PrintSystem {

class PageEncoder;

// "Plover Virtual Printer (TIFF file)": a chosen unprintable margin on every side, any paper, and a file
// that receives the document as a TIFF with a page per page. The document is written beside the file
// and takes its place only once whole, so a failed or cancelled print leaves an earlier file as it was.
class FilePrinter : public PrintDevice
{
public:
    FilePrinter(double marginMm, QString outputPath, QWidget* owner);
    ~FilePrinter() override;

    static QString printerName();
    // The supported resolutions in dots per inch; 600 is the driver's default.
    static QList<int> resolutions();

    QString name() const override { return printerName(); }
    // The file shows the page as the layout sees it.
    bool portraitOnly() const override { return false; }
    std::optional<DeviceMedia> media(QSizeF paperMm) const override;
    bool beginDocument(const PageJob& job) override;
    bool printPage(const PageSource& page, const PageJob& job) override;
    bool endDocument() override;
    void abandonDocument() override;

private:
    // Tells the user why the document failed, with the system's words for `error` where there is one.
    bool fail(const QString& reason, int error);

    double marginMm;
    QString outputPath;
    QString partPath;
    QPointer<QWidget> owner;
    std::unique_ptr<PageEncoder> encoder;
};

} // namespace Plover::PrintSystem

#endif
