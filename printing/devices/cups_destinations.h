#pragma once

#ifndef _WIN32

#include "printing/devices/ppd_facts.h"
#include "printing/devices/print_device.h"

#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <map>
#include <utility>

typedef struct _http_s http_t;

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

    QString displayName() const { return instance.isEmpty() ? name : name + u'/' + instance; }
    const ResolutionChoice* resolution(QSize dpi) const;
};

// A connection to the scheduler that holds the queues (cupsGetDests2 lists its queues only), or null.
http_t* connectToScheduler(int timeoutMs);
// The destinations the system knows. Blocks; call it off the GUI thread.
QList<CupsDestination> listCupsDestinations();
// Asks one destination for its resolutions, copies, media and formats, giving up after `timeoutMs`.
// Blocks; call it off the GUI thread.
void queryCupsDestination(CupsDestination& destination, int timeoutMs);

} // namespace Plover::PrintSystem

#endif
