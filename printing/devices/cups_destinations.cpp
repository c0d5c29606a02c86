#include "printing/devices/cups_destinations.h"

#ifndef _WIN32

#include "layout/print_layout.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <algorithm>
#include <cmath>
#include <cups/cups.h>

namespace Plover::PrintSystem {

namespace {

int hundredths(double mm)
{
    return static_cast<int>(std::lround(mm * 100.0));
}

// A queue takes PWG raster natively when its PPD passes it to the printer unfiltered ("-"). Without a PPD
// the destination speaks for itself.
bool acceptsPwgRasterNatively(const QString& ppd, ipp_attribute_t* formats)
{
    static const QRegularExpression passThrough(
        QStringLiteral(R"(\*cupsFilter2?:\s*"image/pwg-raster\s+(\S+\s+)?\d+\s+-")"));
    if (!ppd.isEmpty())
        return passThrough.match(ppd).hasMatch();
    return formats && ippContainsString(formats, "image/pwg-raster");
}

QList<ResolutionChoice> ippResolutions(http_t* http, cups_dest_t* dest, cups_dinfo_t* info, QSize* fallback)
{
    QList<ResolutionChoice> found;
    const auto read = [](ipp_attribute_t* attribute, int i) {
        int y = 0;
        ipp_res_t units = IPP_RES_PER_INCH;
        const int x = ippGetResolution(attribute, i, &y, &units);
        return units == IPP_RES_PER_INCH ? QSize(x, y) : QSize();
    };
    if (ipp_attribute_t* supported = cupsFindDestSupported(http, dest, info, "printer-resolution")) {
        for (int i = 0; i < ippGetCount(supported); ++i) {
            if (const QSize dpi = read(supported, i); dpi.isValid())
                found.append({dpi, {}, {}});
        }
    }
    if (ipp_attribute_t* byDefault = cupsFindDestDefault(http, dest, info, "printer-resolution"))
        *fallback = read(byDefault, 0);
    return found;
}

} // namespace

const ResolutionChoice* CupsDestination::resolution(QSize dpi) const
{
    const auto found = std::find_if(resolutions.begin(), resolutions.end(),
                                    [dpi](const ResolutionChoice& r) { return r.dpi == dpi; });
    return found == resolutions.end() ? nullptr : &*found;
}

void DestinationConnection::reconnect(int timeoutMs)
{
    http.reset(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, timeoutMs, nullptr));
}

DestinationConnection connectToDestination(const CupsDestination& destination, int timeoutMs)
{
    const QByteArray name = destination.name.toUtf8();
    const QByteArray instance = destination.instance.toUtf8();
    DestinationConnection connection;
    connection.dest = {cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(),
                                        instance.isEmpty() ? nullptr : instance.constData()),
                       [](cups_dest_t* dest) { cupsFreeDests(1, dest); }};
    // cupsConnectDest would try localhost:631 when CUPS_SERVER names a socket.
    connection.http = {nullptr, httpClose};
    connection.info = {nullptr, cupsFreeDestInfo};
    if (!connection.dest)
        return connection;
    connection.reconnect(timeoutMs);
    if (connection.http)
        connection.info.reset(cupsCopyDestInfo(connection.http.get(), connection.dest.get()));
    return connection;
}

QList<CupsDestination> listCupsDestinations()
{
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    QList<CupsDestination> found;
    for (int i = 0; i < count; ++i) {
        CupsDestination destination;
        destination.name = QString::fromUtf8(dests[i].name);
        destination.instance = QString::fromUtf8(dests[i].instance);
        destination.isDefault = dests[i].is_default != 0;
        found.append(destination);
    }
    cupsFreeDests(count, dests);
    return found;
}

void queryCupsDestination(CupsDestination& destination, int timeoutMs)
{
    DestinationConnection connection = connectToDestination(destination, timeoutMs);
    if (!connection.isOpen())
        return;
    http_t* http = connection.http.get();
    cups_dest_t* dest = connection.dest.get();
    cups_dinfo_t* info = connection.info.get();
    destination.available = true;

    QTemporaryFile ppdFile;
    const QByteArray resource = "/printers/" + destination.name.toUtf8() + ".ppd";
    std::optional<PpdFacts> ppd;
    QString ppdText;
    if (ppdFile.open() && cupsGetFd(http, resource.constData(), ppdFile.handle()) == HTTP_STATUS_OK) {
        ppdFile.flush();
        ppd = readPpd(ppdFile.fileName());
        destination.options = readPpdOptions(ppdFile.fileName()).value_or(DriverOptions());
        ppdFile.seek(0);
        ppdText = QString::fromUtf8(ppdFile.readAll());
    }
    if (ppd && !ppd->resolutions.isEmpty()) {
        destination.resolutions = ppd->resolutions;
        destination.defaultResolution = ppd->defaultResolution;
    } else {
        destination.resolutions = ippResolutions(http, dest, info, &destination.defaultResolution);
    }
    if (destination.resolutions.isEmpty())
        destination.resolutions = {{QSize(300, 300), {}, {}}, {QSize(600, 600), {}, {}}};
    if (!destination.resolution(destination.defaultResolution))
        destination.defaultResolution = destination.resolutions.first().dpi;

    if (ipp_attribute_t* copies = cupsFindDestSupported(http, dest, info, "copies")) {
        int upper = 1;
        ippGetRange(copies, 0, &upper);
        destination.maxCopies = std::max(1, upper);
    }
    for (const PaperSize& paper : paperSizes()) {
        cups_size_t size{};
        const int width = hundredths(paper.widthMm);
        const int length = hundredths(paper.heightMm);
        // By the paper's PWG name first; a size without a standard name (DIN A3+) by its dimensions.
        const QByteArray pwgName = paper.pwgMediaName.toLatin1();
        if (!cupsGetDestMediaByName(http, dest, info, pwgName.constData(), CUPS_MEDIA_FLAGS_DEFAULT,
                                    &size) &&
            !cupsGetDestMediaBySize(http, dest, info, width, length, CUPS_MEDIA_FLAGS_DEFAULT,
                                    &size))
            continue;
        // libcups answers with the nearest size it has; a sheet more than 1 mm away is another paper.
        if (std::abs(size.width - width) > 100 || std::abs(size.length - length) > 100)
            continue;
        DeviceMedia media{QSizeF(size.width, size.length) / 100.0,
                          QMarginsF(size.left, size.top, size.right, size.bottom) / 100.0,
                          QString::fromUtf8(size.media),
                          {}};
        if (ppd) {
            for (const PpdPaper& option : ppd->papers) {
                if (media.ppdPageSize.isEmpty() && std::abs(option.sizeMm.width() - media.sizeMm.width()) < 0.5 &&
                    std::abs(option.sizeMm.height() - media.sizeMm.height()) < 0.5)
                    media.ppdPageSize = option.keyword;
            }
        }
        destination.media[{width, length}] = media;
    }
    destination.pwgRasterNative = acceptsPwgRasterNatively(
        ppdText, cupsFindDestSupported(http, dest, info, "document-format"));
    if (!ppd)
        destination.options = readIppOptions(std::move(connection));
}

} // namespace Plover::PrintSystem

#endif
