#pragma once

#ifndef _WIN32

#include <QList>
#include <QMarginsF>
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
    QList<QSize> resolutions; // dots per inch, x and y
    QSize defaultResolution;
    int maxCopies = 1;
    bool pwgRasterNative = false;
    // Unprintable margins in millimetres per catalogue paper, keyed by its portrait size in hundredths of a
    // mm.
    std::map<std::pair<int, int>, QMarginsF> margins;

    QString displayName() const { return instance.isEmpty() ? name : name + u'/' + instance; }
};

// A connection to the scheduler that holds the queues (cupsGetDests2 lists its queues only), or null.
http_t* connectToScheduler(int timeoutMs);
// The destinations the system knows. Blocks; call it off the GUI thread.
QList<CupsDestination> listCupsDestinations();
// Asks one destination for its resolutions, copies, margins and formats, giving up after `timeoutMs`.
// Blocks; call it off the GUI thread.
void queryCupsDestination(CupsDestination& destination, int timeoutMs);
// The PWG media name of a sheet (portrait sense): ISO A4, A3 and A2 by name, anything else as a custom size.
QString pwgMediaName(QSizeF paperMm);

} // namespace Plover::PrintSystem

#endif
