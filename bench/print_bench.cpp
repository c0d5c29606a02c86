// A full print of an A2 target at 600 dpi (9921 x 14031 pixels) onto A2 at 600 dpi, through the print
// dialog as a user answers it: once onto the TIFF file printer, once onto a CUPS queue of a private print
// system (the tests' fixture, started and stopped here). Reports the time to the page file or to the
// job's completion at the printer, the bytes the printer received and the peak resident memory.

#include "layout/print_layout.h"
#include "printing/print_job.h"
#include "tests/support/print_dialog_answer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

QStringList stored(const QDir& printer)
{
    return printer.entryList({QStringLiteral("*.attributes")}, QDir::Files);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir directory;
    const QString fixture = QStringLiteral(PLOVER_SOURCE_DIR "/tests/printing/cups_fixture.sh");
    const QString link = directory.filePath(QStringLiteral("print-system"));
    if (QProcess::execute(fixture, {QStringLiteral("setup"), link}) != 0) {
        std::printf("could not start the private print system\n");
        return 1;
    }
    qputenv("CUPS_SERVER", QFile::encodeName(link + QStringLiteral("/cupsd.sock")));
    const QDir printer(link + QStringLiteral("/printer"));

    Plover::TargetImage target;
    target.pixelWidth = 9921;
    target.pixelHeight = 14031;
    target.dpiX = target.dpiY = 600.0;
    target.image = QImage(target.pixelWidth, target.pixelHeight, QImage::Format_ARGB32);
    for (int y = 0; y < target.pixelHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(target.image.scanLine(y));
        for (int x = 0; x < target.pixelWidth; ++x)
            line[x] = qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
    }
    const Plover::PrintLayout layout{{QStringLiteral("DIN A2"), 420.0, 594.0},
                                     Plover::PageOrientation::Portrait,
                                     Plover::PrintAlignment::Center,
                                     0};
    std::printf("target %dx%d ARGB32, peak RSS before printing %.0f MiB\n", target.pixelWidth,
                target.pixelHeight, peakRssMiB());

    const QString pageFile = directory.filePath(QStringLiteral("page.tif"));
    PloverTest::answerNextPrintDialog(
        {QStringLiteral("Plover Virtual Printer (TIFF file)"), 600, 0, pageFile});
    QElapsedTimer timer;
    timer.start();
    bool printed = Plover::PrintJob().printTargetImage(nullptr, target, layout);
    std::printf("file printer: %s in %lld ms, page file %.0f MiB, peak RSS %.0f MiB\n",
                printed ? "printed" : "NOT printed", static_cast<long long>(timer.elapsed()),
                QFileInfo(pageFile).size() / 1048576.0, peakRssMiB());
    QFile::remove(pageFile);

    PloverTest::answerNextPrintDialog({QStringLiteral("plover-test"), 600, 0, QString()});
    timer.restart();
    printed = Plover::PrintJob().printTargetImage(nullptr, target, layout);
    const qint64 sent = timer.elapsed();
    const bool completed = QTest::qWaitFor([&] { return !stored(printer).isEmpty(); }, 120000);
    const qint64 done = timer.elapsed();
    qint64 bytes = 0;
    for (const QFileInfo& file : printer.entryInfoList({QStringLiteral("*.pwg")}, QDir::Files))
        bytes += file.size();
    std::printf(
        "CUPS queue: %s, sent in %lld ms, job %s at the printer after %lld ms, %.1f MiB of PWG raster "
        "received, peak RSS %.0f MiB\n",
        printed ? "printed" : "NOT printed", static_cast<long long>(sent),
        completed ? "completed" : "NOT completed", static_cast<long long>(done), bytes / 1048576.0,
        peakRssMiB());
    QProcess::execute(fixture, {QStringLiteral("cleanup"), link});
    return 0;
}
