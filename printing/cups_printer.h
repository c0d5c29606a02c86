#pragma once

#ifndef _WIN32

#include "printing/cups_destinations.h"
#include "printing/print_device.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>

namespace Plover::PrintSystem {

class CupsJobSender;

// A CUPS destination as a printer: margins from the destination, and a job that is created when the
// document starts and receives the page when it ends. The libcups work runs off the GUI thread behind a
// modal progress dialog; a refusal is told in a message box with libcups' reason, as a spooler would.
class CupsPrinter : public PrintDevice
{
public:
    CupsPrinter(CupsDestination destination, QWidget* owner);
    ~CupsPrinter() override;

    QString name() const override { return destination.displayName(); }
    QMarginsF marginsMm(QSizeF paperMm) const override;
    bool startDocument(const PageJob& job) override;
    bool printPage(const PageRaster& page, const PageJob& job) override;
    void abandonDocument() override;

private:
    bool runJobStep(const std::function<bool()>& step);

    CupsDestination destination;
    QPointer<QWidget> owner;
    std::unique_ptr<CupsJobSender> sender;
};

} // namespace Plover::PrintSystem

#endif
