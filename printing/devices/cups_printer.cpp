#include "printing/devices/cups_printer.h"

#ifndef _WIN32

#include "printing/devices/cups_job_sender.h"
#include "printing/devices/job_progress.h"
#include "printing/encoders/page_encoder.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cmath>

namespace Plover::PrintSystem {

CupsPrinter::CupsPrinter(CupsDestination destination, OptionChoices options, QWidget* owner)
    : destination(std::move(destination)), options(std::move(options)), owner(owner)
{}

CupsPrinter::~CupsPrinter()
{
    abandonDocument();
}

std::optional<DeviceMedia> CupsPrinter::media(QSizeF paperMm) const
{
    const std::pair<int, int> key(static_cast<int>(std::lround(paperMm.width() * 100.0)),
                                  static_cast<int>(std::lround(paperMm.height() * 100.0)));
    const auto found = destination.media.find(key);
    if (found == destination.media.end())
        return std::nullopt;
    return found->second;
}

bool CupsPrinter::tellFailure(const QString& problem)
{
    const QString reason = !problem.isEmpty() ? problem : sender ? sender->error() : QString();
    abandonDocument();
    QMessageBox::warning(owner, QCoreApplication::translate("Plover::PrintSystem", "Print"), QCoreApplication::translate("Plover::PrintSystem", "Could not print on \"%1\": %2").arg(name(), reason));
    return false;
}

bool CupsPrinter::beginDocument(const PageJob& job)
{
    // Told before anything is sent: a driver would otherwise print on whatever paper it has.
    if (!media(job.paperMm)) {
        QMessageBox::warning(owner, QCoreApplication::translate("Plover::PrintSystem", "Print"),
                             QCoreApplication::translate("Plover::PrintSystem", "Could not print on \"%1\": it has no paper of %2 x %3 mm.")
                                 .arg(name())
                                 .arg(job.paperMm.width(), 0, 'f', 1)
                                 .arg(job.paperMm.height(), 0, 'f', 1));
        return false;
    }
    sender = std::make_unique<CupsJobSender>(destination, options);
    return true;
}

bool CupsPrinter::printPage(const PageSource& page, const PageJob& job)
{
    if (!sender)
        return false;
    const DeviceMedia sheet = *media(job.paperMm);
    const PageFormat format = pageFormat(page, job);

    CupsJobSender* jobSender = sender.get();
    bool cancelled = false;
    QString problem;
    const bool sent = runJobStep(
        owner, QCoreApplication::translate("Plover::PrintSystem", "Printing on \"%1\"...").arg(name()),
        [&](const ProgressReport& report) {
            if (!jobSender->started() && !jobSender->begin(job, sheet))
                return false;
            return encodePage(page, format, jobSender->encoder(),
                              [&](int rows) { return report(rows, format.pixels.height()); });
        },
        &cancelled, &problem);
    if (cancelled) {
        abandonDocument();
        return false;
    }
    return sent || tellFailure(problem);
}

bool CupsPrinter::endDocument()
{
    if (!sender)
        return false;
    CupsJobSender* jobSender = sender.get();
    const bool finished = runJobStep(owner, QCoreApplication::translate("Plover::PrintSystem", "Printing on \"%1\"...").arg(name()),
                                     [jobSender](const ProgressReport&) { return jobSender->finish(); });
    if (!finished)
        return tellFailure();
    sender.reset();
    return true;
}

void CupsPrinter::abandonDocument()
{
    if (!sender)
        return;
    if (sender->started()) {
        CupsJobSender* jobSender = sender.get();
        runJobStep(owner, QCoreApplication::translate("Plover::PrintSystem", "Cancelling the job on \"%1\"...").arg(name()), [jobSender](const ProgressReport&) {
            jobSender->cancel();
            return true;
        });
    }
    sender.reset();
}

} // namespace Plover::PrintSystem

#endif
