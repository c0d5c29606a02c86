#pragma once

#ifndef _WIN32

#include "printing/devices/driver_options.h"
#include "printing/devices/ppd_facts.h"
#include "printing/devices/print_device.h"

#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <map>
#include <memory>
#include <utility>

typedef struct _http_s http_t;
typedef struct cups_dest_s cups_dest_t;
typedef struct _cups_dinfo_s cups_dinfo_t;

namespace Plover::PrintSystem {

// A CUPS destination as the print dialog offers it. Everything but the name and the default flag
// comes from asking the destination, which may not answer.
struct CupsDestination
{
    QString name;
    QString instance;
    bool isDefault = false;
    bool available = false;
    QList<ResolutionChoice> resolutions; // what the driver renders, with the choices that select it
    QSize defaultResolution;
    int maxCopies = 1;
    bool pwgRasterNative = false;
    // The destination's own sheet for each catalogue paper it has, keyed by the catalogue paper's
    // portrait size in hundredths of a millimetre.
    std::map<std::pair<int, int>, DeviceMedia> media;
    DriverOptions options; // the driver's own settings, or the job attributes a driverless one takes

    QString displayName() const { return instance.isEmpty() ? name : name + u'/' + instance; }
    const ResolutionChoice* resolution(QSize dpi) const;
};

// One destination opened on the scheduler that holds the queues (cupsGetDests2 lists its queues only):
// the destination, the connection and what the destination supports, each null where that failed.
struct DestinationConnection
{
    std::unique_ptr<cups_dest_t, void (*)(cups_dest_t*)> dest{nullptr, nullptr};
    std::unique_ptr<http_t, void (*)(http_t*)> http{nullptr, nullptr};
    std::unique_ptr<cups_dinfo_t, void (*)(cups_dinfo_t*)> info{nullptr, nullptr};

    bool isOpen() const { return dest && http && info; }
    // A new connection in place of one a half-sent request holds.
    void reconnect(int timeoutMs);
};

// Blocks; call it off the GUI thread.
DestinationConnection connectToDestination(const CupsDestination& destination, int timeoutMs);
// The destinations the system knows. Blocks; call it off the GUI thread.
QList<CupsDestination> listCupsDestinations();
// Asks one destination for its resolutions, copies, media and formats, giving up after `timeoutMs`.
// Blocks; call it off the GUI thread.
void queryCupsDestination(CupsDestination& destination, int timeoutMs);

} // namespace Plover::PrintSystem

#endif
