#include "printing/devices/cups_job_sender.h"

#ifndef _WIN32

#include "printing/encoders/page_encoder.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>
#include <cups/cups.h>

namespace Plover::PrintSystem {

namespace {

constexpr int connectTimeoutMs = 30000;

} // namespace

CupsJobSender::CupsJobSender(CupsDestination destination, OptionChoices options)
    : destination(std::move(destination)), options(std::move(options))
{}

// The encoder goes first: it may still hold bytes for the connection.
CupsJobSender::~CupsJobSender()
{
    pages.reset();
}

bool CupsJobSender::fail()
{
    // libcups' own words where it has some; a connection that failed under a successful status is
    // told as what it is, never as the status.
    if (cupsLastError() > IPP_STATUS_OK_CONFLICTING)
        lastError = QString::fromUtf8(cupsLastErrorString());
    else if (connection.http && httpError(connection.http.get()) != 0)
        lastError = QString::fromLocal8Bit(strerror(httpError(connection.http.get())));
    else
        lastError = QCoreApplication::translate("Plover::PrintSystem",
                                                "The print server did not take the whole page.");
    return false;
}

bool CupsJobSender::begin(const PageJob& job, const DeviceMedia& media)
{
    connection = connectToDestination(destination, connectTimeoutMs);
    if (!connection.isOpen())
        return fail();
    http_t* http = connection.http.get();
    cups_dest_t* dest = connection.dest.get();
    cups_dinfo_t* info = connection.info.get();

    const QByteArray resolution =
        job.dpiX == job.dpiY ? QByteArray::number(job.dpiX) + "dpi"
                             : QByteArray::number(job.dpiX) + 'x' + QByteArray::number(job.dpiY) + "dpi";
    const QByteArray mediaName = media.pwgName.toUtf8();
    const QByteArray pageSize = media.ppdPageSize.toUtf8();
    const QByteArray copies = QByteArray::number(job.copies);
    // The user's options first: what Plover adds after them replaces any of the same name.
    cups_option_t* options = nullptr;
    int count = 0;
    for (const auto& [option, value] : this->options)
        count = cupsAddOption(option.toUtf8().constData(), value.toUtf8().constData(), count, &options);
    count = cupsAddOption("media", mediaName.constData(), count, &options);
    count = cupsAddOption("print-scaling", "none", count, &options);
    count = cupsAddOption("print-color-mode", "color", count, &options);
    count = cupsAddOption("printer-resolution", resolution.constData(), count, &options);
    count = cupsAddOption("copies", copies.constData(), count, &options);
    if (job.icmOff)
        count = cupsAddOption("cm-calibration", "true", count, &options);
    // A driver queue renders at its own choices, not at the IPP attributes: send the ones that select
    // this paper and this resolution, where the user's own choices do not already render it.
    if (!pageSize.isEmpty())
        count = cupsAddOption("PageSize", pageSize.constData(), count, &options);
    if (const ResolutionChoice* choice = destination.resolution(QSize(job.dpiX, job.dpiY))) {
        for (const auto& [option, value] : withResolution(destination.options, this->options, *choice)) {
            const QByteArray keyword = option.toLatin1();
            if (std::any_of(choice->ppdOptions.begin(), choice->ppdOptions.end(),
                            [&](const auto& deciding) { return deciding.first == keyword; }))
                count = cupsAddOption(keyword.constData(), value.toUtf8().constData(), count, &options);
        }
    }
    const QByteArray title = job.documentName.toUtf8();
    const ipp_status_t status = cupsCreateDestJob(http, dest, info, &jobId, title.constData(), count, options);
    cupsFreeOptions(count, options);
    if (status > IPP_STATUS_OK_CONFLICTING || jobId <= 0)
        return fail();

    const bool raster = destination.pwgRasterNative;
    if (cupsStartDestDocument(http, dest, info, jobId, title.constData(),
                              raster ? "image/pwg-raster" : "application/pdf", 0, nullptr, 1) != HTTP_STATUS_CONTINUE)
        return fail();
    documentOpen = true;
    // Encoders never write nothing, which would end the document for libcups.
    ByteSink sink = [this](const char* data, std::size_t size) {
        sinkFailed = sinkFailed || cupsWriteRequestData(connection.http.get(), data, size) != HTTP_STATUS_CONTINUE;
        return !sinkFailed;
    };
    pages = raster ? makePwgRasterEncoder(std::move(sink)) : makePdfEncoder(std::move(sink));
    return true;
}

bool CupsJobSender::finish()
{
    const bool encoded = pages && pages->endDocument();
    pages.reset();
    documentOpen = false;
    const ipp_status_t status =
        cupsFinishDestDocument(connection.http.get(), connection.dest.get(), connection.info.get());
    return (encoded && !sinkFailed && status <= IPP_STATUS_OK_CONFLICTING) || fail();
}

void CupsJobSender::cancel()
{
    pages.reset();
    if (jobId <= 0 || !connection.dest)
        return;
    // A document half sent holds the connection: leave it, and cancel the job over a new one.
    if (documentOpen || !connection.http) {
        connection.reconnect(connectTimeoutMs);
        documentOpen = false;
    }
    if (connection.http)
        cupsCancelDestJob(connection.http.get(), connection.dest.get(), jobId);
    jobId = 0;
}

} // namespace Plover::PrintSystem

#endif
