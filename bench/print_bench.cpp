// A full print of a real A2 target at 600 dpi (9600 x 13600 pixels, an 8-bit RGB TIFF) on DIN A2
// portrait, through the print dialog as a user answers it: onto the TIFF file printer, onto the PWG
// queue and onto the driver queue (PDF through cups-filters and Ghostscript) of the tests' private print
// system, at 720 and 1440 dpi. Each route runs in a process of its own, so that its peak memory, loading
// included, is its own. Reports per route the time from OK to the page received at the printer (or
// the page file written), the peak resident memory, the bytes the scheduler got and the bytes the
// printer or filter received. The file printer also prints a set of 4 such pages as one document, read
// a page at a time, so its peak memory stays that of one page.
//   plover_bench_print                 all routes, a table
//   plover_bench_print --route <printer> <dpi> <target> <store folder> <page file> [pages]   one route

#include "imaging/image_loader.h"
#include "layout/print_layout.h"
#include "printing/print_job.h"
#include "tests/support/modal_answer.h"
#include "tools/tiff_writer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cups/cups.h>
#include <sys/resource.h>

namespace {

const QString filePrinter = QStringLiteral("Plover Virtual Printer (TIFF file)");

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

// A chart of flat 5 mm patches in many colours, like a real target.
bool writeTarget(const QString& path)
{
    PloverTools::TiffPage page;
    page.width = 9600;
    page.height = 13600;
    page.xResolution = page.yResolution = 600.0f;
    page.resolutionUnit = RESUNIT_INCH;
    page.sample = [](std::uint32_t x, std::uint32_t y, std::uint16_t s) {
        const std::uint32_t patch = (x / 118) * 131 + (y / 118) * 71;
        const std::uint32_t value[] = {patch * 37, patch * 11 + 60, patch * 23 + 120};
        return double(value[s] & 0xFF);
    };
    return PloverTools::writeTiff(path, {page});
}

// The scheduler's last job: its size in bytes (from job-k-octets) and its state.
std::pair<qint64, ipp_jstate_t> lastJob()
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, nullptr, 0, CUPS_WHICHJOBS_ALL);
    std::pair<qint64, ipp_jstate_t> last{0, IPP_JSTATE_PENDING};
    for (int i = 0, id = 0; i < count; ++i) {
        if (jobs[i].id > id) {
            id = jobs[i].id;
            last = {qint64(jobs[i].size) * 1024, jobs[i].state};
        }
    }
    cupsFreeJobs(count, jobs);
    return last;
}

// One route in this process; prints "<printed> <ms from OK to the page received> <peak MiB> <bytes
// sent> <bytes received>". The store is where the page arrives: a folder whose new *.attributes
// (the PWG printer) or *.args (the driver's capture filter) marks it, or nothing for the file printer.
int runRoute(const QStringList& args)
{
    const QString printer = args[0], target = args[2], store = args[3], pageFile = args[4];
    const int dpi = args[1].toInt(), pages = args.value(5, QStringLiteral("1")).toInt();
    const Plover::PrintLayout layout{Plover::paperSizes().back(), // DIN A2
                                     Plover::PageOrientation::Portrait,
                                     Plover::PrintAlignment::Center,
                                     0};
    const QDir stored(store);
    const QStringList markers{QStringLiteral("*.attributes"), QStringLiteral("*.args")};
    const int before = store.isEmpty() ? 0 : int(stored.entryList(markers, QDir::Files).size());
    QElapsedTimer timer;
    PloverTest::answerNextPrintDialog(
        {printer, QSize(dpi, dpi), 0, printer == filePrinter ? pageFile : QString()}, [&] {
            timer.start();
            // The driver queue's margins clip the A2 target's edge: go on. A failure shows in the table.
            PloverTest::answerNextMessageBox(QStringLiteral("Continue"));
        });
    Plover::TargetSet set;
    for (int page = 0; page < pages; ++page)
        set.pages << Plover::TargetPageSource{target, 0, 1};
    const bool printed = pages == 1 ? Plover::PrintJob().printTargetImage(
                                          nullptr, Plover::ImageLoader().loadTargetImage(target), layout)
                                    : Plover::PrintJob().printTargetSet(nullptr, set, layout).has_value();
    qint64 elapsed = timer.elapsed(), sent = 0, received = 0;
    if (store.isEmpty()) {
        sent = received = QFileInfo(pageFile).size();
        QFile::remove(pageFile);
    } else if (printed) {
        // A job that ends without a page at the printer ends the waiting too.
        const auto arrived = [&] {
            return stored.entryList(markers, QDir::Files).size() > before;
        };
        for (bool over = false; !QTest::qWaitFor(arrived, 1000) && !over;)
            over = lastJob().second >= IPP_JSTATE_CANCELED;
        elapsed = timer.elapsed();
        sent = lastJob().first;
        const QFileInfoList pages =
            stored.entryInfoList({QStringLiteral("*.ras"), QStringLiteral("*.pwg")}, QDir::Files);
        for (const QFileInfo& page : pages) {
            received += page.size();
            QFile::remove(page.filePath());
        }
    }
    std::printf("%d %lld %.0f %lld %lld\n", printed, static_cast<long long>(elapsed), peakRssMiB(),
                static_cast<long long>(sent), static_cast<long long>(received));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    if (args.value(0) == QLatin1String("--route") && args.size() >= 6)
        return runRoute(args.mid(1));

    QTemporaryDir directory;
    const QString target = directory.filePath(QStringLiteral("a2-600dpi.tif"));
    if (!writeTarget(target)) {
        std::printf("could not write the target\n");
        return 1;
    }
    const QString fixture = QStringLiteral(PLOVER_SOURCE_DIR "/tests/printing/cups_fixture.sh");
    const QString link = directory.filePath(QStringLiteral("print-system"));
    if (QProcess::execute(fixture, {QStringLiteral("setup"), link}) != 0) {
        std::printf("could not start the private print system\n");
        return 1;
    }
    qputenv("CUPS_SERVER", QFile::encodeName(link + QStringLiteral("/cupsd.sock")));

    struct Route
    {
        QString printer;
        int dpi;
        QString store;
        int pages = 1;
    };
    const QString pwg = link + QStringLiteral("/printer"), captured = link + QStringLiteral("/captured");
    const Route routes[] = {{filePrinter, 720, QString()},
                            {filePrinter, 720, QString(), 4},
                            {QStringLiteral("plover-test"), 720, pwg},
                            {QStringLiteral("plover-test"), 1440, pwg},
                            {QStringLiteral("plover-driver"), 720, captured},
                            {QStringLiteral("plover-driver"), 1440, captured}};
    std::printf("A2 target 9600 x 13600 at 600 dpi (%.0f MiB TIFF) on DIN A2 portrait\n",
                QFileInfo(target).size() / 1048576.0);
    std::printf("%-38s %5s %5s %7s %10s %10s %12s %12s\n", "route", "dpi", "pages", "printed", "OK->page s",
                "peak MiB", "sent MiB", "received MiB");
    for (const Route& route : routes) {
        std::fflush(stdout);
        QProcess child;
        child.start(QApplication::applicationFilePath(),
                    {QStringLiteral("--route"), route.printer, QString::number(route.dpi), target,
                     route.store, directory.filePath(QStringLiteral("page.tif")),
                     QString::number(route.pages)});
        child.waitForFinished(-1);
        const QStringList figures = QString::fromLatin1(child.readAllStandardOutput()).trimmed().split(' ');
        if (figures.size() != 5) {
            std::printf("%-38s %5d failed: %s\n", qPrintable(route.printer), route.dpi,
                        child.readAllStandardError().constData());
            continue;
        }
        std::printf("%-38s %5d %5d %7s %10.1f %10s %12.1f %12.1f\n", qPrintable(route.printer), route.dpi,
                    route.pages, figures[0] == QLatin1String("1") ? "yes" : "NO",
                    figures[1].toDouble() / 1000.0, qPrintable(figures[2]), figures[3].toDouble() / 1048576.0,
                    figures[4].toDouble() / 1048576.0);
    }
    QProcess::execute(fixture, {QStringLiteral("cleanup"), link});
    return 0;
}
