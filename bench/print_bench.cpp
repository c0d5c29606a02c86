// A full virtual print of an A2 target at 600 dpi (9921 x 14031 pixels) onto A2 at 600 dpi: from
// printTargetImage to the written page file, with the print dialog configured away. Reports the time
// of each run and the peak resident memory. Pass "rgb32" to start from an opaque 32-bit image (as the
// Qt reader gives) instead of ARGB32 (as the TIFF reader gives).

#include "layout/print_layout.h"
#include "printing/print_job.h"
#include "printing/virtual_printer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool opaque = argc > 1 && std::strcmp(argv[1], "rgb32") == 0;

    QTemporaryDir directory;
    Plover::VirtualPrinter::Settings settings;
    settings.dpi = 600;
    settings.outputPath = directory.filePath(QStringLiteral("page.tif"));
    Plover::VirtualPrinter::configure(settings);

    Plover::TargetImage target;
    target.pixelWidth = 9921;
    target.pixelHeight = 14031;
    target.dpiX = target.dpiY = 600.0;
    target.image =
        QImage(target.pixelWidth, target.pixelHeight, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    for (int y = 0; y < target.pixelHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(target.image.scanLine(y));
        for (int x = 0; x < target.pixelWidth; ++x)
            line[x] = qRgb(x & 0xFF, y & 0xFF, (x ^ y) & 0xFF);
    }
    const Plover::PrintLayout layout{{QStringLiteral("DIN A2"), 420.0, 594.0},
                                     Plover::PageOrientation::Portrait,
                                     Plover::PrintAlignment::Center,
                                     0};
    std::printf("target %dx%d %s, peak RSS before printing %.0f MiB\n", target.pixelWidth, target.pixelHeight,
                opaque ? "RGB32" : "ARGB32", peakRssMiB());

    const Plover::PrintJob job;
    for (int run = 1; run <= 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        const bool printed = job.printTargetImage(nullptr, target, layout);
        const qint64 elapsed = timer.elapsed();
        std::printf("run %d: %s in %lld ms, page file %.0f MiB, peak RSS %.0f MiB, open handles %d\n", run,
                    printed ? "printed" : "NOT printed", static_cast<long long>(elapsed),
                    QFileInfo(settings.outputPath).size() / 1048576.0, peakRssMiB(),
                    Plover::VirtualPrinter::openHandleCount());
    }
    return 0;
}
