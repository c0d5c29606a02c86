#pragma once

#ifndef _WIN32

#include "printing/devices/cups_destinations.h"
#include "printing/devices/print_device.h"

#include <QPointer>
#include <QWidget>
#include <memory>

namespace Plover::PrintSystem {

class CupsJobSender;

// A CUPS destination as a printer: media and margins as the destination knows them, and a job that
// is created with the first page and receives every page as one document. The libcups work runs off the
// GUI thread behind a modal progress dialog with Cancel; a failure is told in a message box with its
// reason, as a spooler would.
class CupsPrinter : public PrintDevice
{
public:
    // `options`: the driver's settings each job carries.
    CupsPrinter(CupsDestination destination, OptionChoices options, QWidget* owner);
    ~CupsPrinter() override;

    QString name() const override { return destination.displayName(); }
    std::optional<DeviceMedia> media(QSizeF paperMm) const override;
    bool beginDocument(const PageJob& job) override;
    bool printPage(const PageSource& page, const PageJob& job) override;
    bool endDocument() override;
    void abandonDocument() override;

private:
    bool tellFailure(const QString& problem = {});

    CupsDestination destination;
    OptionChoices options;
    QPointer<QWidget> owner;
    std::unique_ptr<CupsJobSender> sender;
};

} // namespace Plover::PrintSystem

#endif
