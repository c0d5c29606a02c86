#include "printing/cups_destinations.h"

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

// The queue's PPD, or nothing for a destination without one.
QString queuePpd(http_t* http, const cups_dest_t* dest)
{
    QTemporaryFile ppd;
    const QByteArray resource = QByteArray("/printers/") + dest->name + ".ppd";
    if (!ppd.open() || cupsGetFd(http, resource.constData(), ppd.handle()) != HTTP_STATUS_OK)
        return {};
    ppd.seek(0);
    return QString::fromUtf8(ppd.readAll());
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

// The scheduler names one resolution for a driverless queue; its PPD's print qualities hold the others.
void addPpdResolutions(const QString& ppd, QList<QSize>& resolutions)
{
    static const QRegularExpression choice(QStringLiteral(R"(HWResolution\[(\d+)\s+(\d+)\])"));
    for (auto match = choice.globalMatch(ppd); match.hasNext();) {
        const QRegularExpressionMatch found = match.next();
        const QSize dpi(found.captured(1).toInt(), found.captured(2).toInt());
        if (!resolutions.contains(dpi))
            resolutions.append(dpi);
    }
    std::sort(resolutions.begin(), resolutions.end(),
              [](QSize a, QSize b) { return a.width() * a.height() < b.width() * b.height(); });
}

} // namespace

http_t* connectToScheduler(int timeoutMs)
{
    return httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, timeoutMs, nullptr);
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
    const QByteArray name = destination.name.toUtf8();
    const QByteArray instance = destination.instance.toUtf8();
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(),
                                         instance.isEmpty() ? nullptr : instance.constData());
    if (!dest)
        return;
    http_t* http = connectToScheduler(timeoutMs);
    cups_dinfo_t* info = http ? cupsCopyDestInfo(http, dest) : nullptr;
    if (info) {
        destination.available = true;
        if (ipp_attribute_t* supported = cupsFindDestSupported(http, dest, info, "printer-resolution")) {
            for (int i = 0; i < ippGetCount(supported); ++i) {
                int y = 0;
                ipp_res_t units = IPP_RES_PER_INCH;
                const int x = ippGetResolution(supported, i, &y, &units);
                if (units == IPP_RES_PER_INCH)
                    destination.resolutions.append(QSize(x, y));
            }
        }
        if (ipp_attribute_t* fallback = cupsFindDestDefault(http, dest, info, "printer-resolution")) {
            int y = 0;
            ipp_res_t units = IPP_RES_PER_INCH;
            const int x = ippGetResolution(fallback, 0, &y, &units);
            if (units == IPP_RES_PER_INCH)
                destination.defaultResolution = QSize(x, y);
        }
        const QString ppd = queuePpd(http, dest);
        addPpdResolutions(ppd, destination.resolutions);
        if (destination.resolutions.isEmpty())
            destination.resolutions = {QSize(300, 300), QSize(600, 600)};
        if (!destination.resolutions.contains(destination.defaultResolution))
            destination.defaultResolution = destination.resolutions.first();
        if (ipp_attribute_t* copies = cupsFindDestSupported(http, dest, info, "copies")) {
            int upper = 1;
            ippGetRange(copies, 0, &upper);
            destination.maxCopies = std::max(1, upper);
        }
        for (const PaperSize& paper : paperSizes()) {
            cups_size_t size{};
            const int width = hundredths(paper.widthMm);
            const int length = hundredths(paper.heightMm);
            if (cupsGetDestMediaBySize(http, dest, info, width, length, CUPS_MEDIA_FLAGS_DEFAULT, &size))
                destination.margins[{width, length}] =
                    QMarginsF(size.left, size.top, size.right, size.bottom) / 100.0;
        }
        destination.pwgRasterNative =
            acceptsPwgRasterNatively(ppd, cupsFindDestSupported(http, dest, info, "document-format"));
        cupsFreeDestInfo(info);
    }
    if (http)
        httpClose(http);
    cupsFreeDests(1, dest);
}

QString pwgMediaName(QSizeF paperMm)
{
    const int width = hundredths(paperMm.width());
    const int length = hundredths(paperMm.height());
    const std::pair<QSize, const char*> iso[] = {{QSize(21000, 29700), "iso_a4_210x297mm"},
                                                 {QSize(29700, 42000), "iso_a3_297x420mm"},
                                                 {QSize(42000, 59400), "iso_a2_420x594mm"}};
    for (const auto& [size, pwgName] : iso) {
        if (size == QSize(width, length))
            return QString::fromLatin1(pwgName);
    }
    char custom[128] = {};
    pwgFormatSizeName(custom, sizeof custom, "custom", nullptr, width, length, nullptr);
    return QString::fromLatin1(custom);
}

} // namespace Plover::PrintSystem

#endif
