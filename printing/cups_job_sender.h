#pragma once

#ifndef _WIN32

#include "printing/cups_destinations.h"
#include "printing/pwg_raster_encoder.h"

#include <QString>

typedef struct _http_s http_t;
typedef struct cups_dest_s cups_dest_t;
typedef struct _cups_dinfo_s cups_dinfo_t;

namespace Plover::PrintSystem {

class PageRaster;
struct PageJob;

// One CUPS job on one destination, through libcups. Every call blocks on the network: run them off
// the GUI thread, one at a time. A failed call leaves libcups' reason in error().
class CupsJobSender
{
public:
    explicit CupsJobSender(CupsDestination destination);
    ~CupsJobSender();
    CupsJobSender(const CupsJobSender&) = delete;
    CupsJobSender& operator=(const CupsJobSender&) = delete;

    // Creates the job with media, print-scaling=none, print-color-mode=color, printer-resolution, copies,
    // and cm-calibration when ICM is off.
    bool create(const PageJob& job);
    // Sends the page as the job's one document: PWG raster where the destination takes it unfiltered,
    // else PDF.
    bool send(const PageRaster& page, const PageJob& job);
    void cancel();

    QString error() const { return lastError; }

private:
    bool fail();

    CupsDestination destination;
    http_t* http = nullptr;
    cups_dest_t* dest = nullptr;
    cups_dinfo_t* info = nullptr;
    int jobId = 0;
    QString lastError;
};

} // namespace Plover::PrintSystem

#endif
