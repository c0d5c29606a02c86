#include "printing/cups_printer.h"

#ifndef _WIN32

#include "printing/cups_job_sender.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <thread>

namespace Plover::PrintSystem {

CupsPrinter::CupsPrinter(CupsDestination destination, QWidget* owner)
    : destination(std::move(destination)), owner(owner)
{}

CupsPrinter::~CupsPrinter() = default;

QMarginsF CupsPrinter::marginsMm(QSizeF paperMm) const
{
    const std::pair<int, int> key(static_cast<int>(std::lround(paperMm.width() * 100.0)),
                                  static_cast<int>(std::lround(paperMm.height() * 100.0)));
    const auto found = destination.margins.find(key);
    return found == destination.margins.end() ? QMarginsF() : found->second;
}

// Runs one blocking step on a worker thread while a modal progress dialog keeps the window painting.
bool CupsPrinter::runJobStep(const std::function<bool()>& step)
{
    QProgressDialog progress(QStringLiteral("Printing on \"%1\"...").arg(name()), QString(), 0, 0, owner);
    progress.setWindowTitle(QStringLiteral("Print"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);

    std::atomic<bool> done{false};
    bool succeeded = false;
    QEventLoop loop;
    std::thread worker([&] {
        succeeded = step();
        done = true;
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done)
            loop.quit();
    });
    poll.start(20);
    loop.exec();
    worker.join();
    progress.reset();
    if (!succeeded) {
        QMessageBox::warning(owner, QStringLiteral("Print"),
                             QStringLiteral("Could not print on \"%1\": %2").arg(name(), sender->error()));
    }
    return succeeded;
}

bool CupsPrinter::startDocument(const PageJob& job)
{
    sender = std::make_unique<CupsJobSender>(destination);
    CupsJobSender* jobSender = sender.get();
    if (runJobStep([jobSender, &job] { return jobSender->create(job); }))
        return true;
    sender.reset();
    return false;
}

bool CupsPrinter::printPage(const PageRaster& page, const PageJob& job)
{
    if (!sender)
        return false;
    CupsJobSender* jobSender = sender.get();
    const bool sent = runJobStep([jobSender, &page, &job] {
        const bool ok = jobSender->send(page, job);
        if (!ok)
            jobSender->cancel();
        return ok;
    });
    sender.reset();
    return sent;
}

void CupsPrinter::abandonDocument()
{
    if (!sender)
        return;
    CupsJobSender* jobSender = sender.get();
    runJobStep([jobSender] {
        jobSender->cancel();
        return true;
    });
    sender.reset();
}

} // namespace Plover::PrintSystem

#endif
