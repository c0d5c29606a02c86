#pragma once

#ifndef _WIN32

#include "printing/devices/cups_destinations.h"

#include <QString>
#include <memory>

namespace Plover::PrintSystem {

class PageEncoder;

// One CUPS job on one destination, through libcups: created with the first page, one document that
// receives every page, finished with the last. Every call blocks on the network: run them off the GUI
// thread, one at a time. A failed call leaves the reason in error().
class CupsJobSender
{
public:
    // `options`: the driver's settings the user chose, sent besides Plover's own attributes.
    CupsJobSender(CupsDestination destination, OptionChoices options);
    ~CupsJobSender();
    CupsJobSender(const CupsJobSender&) = delete;
    CupsJobSender& operator=(const CupsJobSender&) = delete;

    // Creates the job with the user's options, then media, print-scaling=none, print-color-mode=color,
    // printer-resolution, copies and cm-calibration when ICM is off, which no option replaces, plus the
    // driver's own choices for paper and resolution; then starts its document: PWG raster where the
    // destination takes it unfiltered, else PDF.
    bool begin(const PageJob& job, const DeviceMedia& media);
    bool started() const { return jobId > 0; }
    // The encoder of the document begun.
    PageEncoder& encoder() { return *pages; }
    bool finish();
    // Cancels the job on the queue, also in the middle of its document.
    void cancel();

    QString error() const { return lastError; }

private:
    bool fail();

    CupsDestination destination;
    OptionChoices options;
    DestinationConnection connection;
    int jobId = 0;
    bool documentOpen = false;
    bool sinkFailed = false;
    std::unique_ptr<PageEncoder> pages;
    QString lastError;
};

} // namespace Plover::PrintSystem

#endif
