#include "printing/cups_job_sender.h"

#ifndef _WIN32

#include "printing/page_raster.h"
#include "printing/pdf_page_encoder.h"
#include "printing/print_device.h"

#include <cups/cups.h>

namespace Plover::PrintSystem {

namespace {

constexpr int connectTimeoutMs = 30000;

} // namespace

CupsJobSender::CupsJobSender(CupsDestination destination) : destination(std::move(destination)) {}

CupsJobSender::~CupsJobSender()
{
    if (info)
        cupsFreeDestInfo(info);
    if (http)
        httpClose(http);
    if (dest)
        cupsFreeDests(1, dest);
}

bool CupsJobSender::fail()
{
    lastError = QString::fromUtf8(cupsLastErrorString());
    return false;
}

bool CupsJobSender::create(const PageJob& job)
{
    const QByteArray name = destination.name.toUtf8();
    const QByteArray instance = destination.instance.toUtf8();
    dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.constData(),
                            instance.isEmpty() ? nullptr : instance.constData());
    if (!dest)
        return fail();
    http = connectToScheduler(connectTimeoutMs);
    if (!http || !(info = cupsCopyDestInfo(http, dest)))
        return fail();

    const QByteArray resolution =
        job.dpiX == job.dpiY ? QByteArray::number(job.dpiX) + "dpi"
                             : QByteArray::number(job.dpiX) + 'x' + QByteArray::number(job.dpiY) + "dpi";
    const QByteArray media = pwgMediaName(job.paperMm).toLatin1();
    const QByteArray copies = QByteArray::number(job.copies);
    cups_option_t* options = nullptr;
    int count = cupsAddOption("media", media.constData(), 0, &options);
    count = cupsAddOption("print-scaling", "none", count, &options);
    count = cupsAddOption("print-color-mode", "color", count, &options);
    count = cupsAddOption("printer-resolution", resolution.constData(), count, &options);
    count = cupsAddOption("copies", copies.constData(), count, &options);
    if (job.icmOff)
        count = cupsAddOption("cm-calibration", "true", count, &options);
    const QByteArray title = job.documentName.toUtf8();
    const ipp_status_t status =
        cupsCreateDestJob(http, dest, info, &jobId, title.constData(), count, options);
    cupsFreeOptions(count, options);
    return status <= IPP_STATUS_OK_CONFLICTING || fail();
}

bool CupsJobSender::send(const PageRaster& page, const PageJob& job)
{
    const char* format = destination.pwgRasterNative ? "image/pwg-raster" : "application/pdf";
    const QByteArray title = job.documentName.toUtf8();
    if (cupsStartDestDocument(http, dest, info, jobId, title.constData(), format, 0, nullptr, 1) !=
        HTTP_STATUS_CONTINUE)
        return fail();
    const ByteSink sink = [this](const char* data, std::size_t size) {
        return cupsWriteRequestData(http, data, size) == HTTP_STATUS_CONTINUE;
    };
    const bool encoded =
        destination.pwgRasterNative ? writePwgRaster(page, job, sink) : writePdfPage(page, job, sink);
    const ipp_status_t status = cupsFinishDestDocument(http, dest, info);
    return (encoded && status <= IPP_STATUS_OK_CONFLICTING) || fail();
}

void CupsJobSender::cancel()
{
    if (http && jobId > 0)
        cupsCancelDestJob(http, dest, jobId);
}

} // namespace Plover::PrintSystem

#endif
