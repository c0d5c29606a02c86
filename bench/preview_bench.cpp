// Paint time of the preview with an A2 target at 600 dpi (9921 x 14031 pixels, about 139 MP)
// at fit, 800 % and 3200 %, unturned and turned a quarter, once the preview has its levels of detail;
// prints the median per paint. Also the time and memory that building the levels takes.

#include "layout/placement_geometry.h"
#include "preview/image_pyramid.h"
#include "preview/preview_widget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QThreadPool>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace Plover;

namespace {

constexpr int repeats = 15;

// Patches of 120 x 120 pixels in a spread of colours, like a profiling chart.
QImage patchChart(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    QPainter painter(&image);
    const int patch = 120;
    for (int y = 0; y < height; y += patch) {
        for (int x = 0; x < width; x += patch) {
            const int i = x / patch, j = y / patch;
            painter.fillRect(x, y, patch, patch,
                             QColor((i * 37) % 256, (j * 53) % 256, ((i + j) * 29) % 256));
        }
    }
    return image;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Wall and processor time per paint, medians; the processor time is what the paint costs even
// when other work shares the machine.
std::pair<double, double> paintMs(PreviewWidget& preview, QImage& canvas)
{
    std::vector<double> wall, processor;
    for (int i = 0; i < repeats + 2; ++i) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t started = std::clock();
        preview.render(&canvas);
        if (i >= 2) { // the first paints warm the caches
            wall.push_back(timer.nsecsElapsed() / 1e6);
            processor.push_back(double(std::clock() - started) * 1000.0 / CLOCKS_PER_SEC);
        }
    }
    return {median(wall), median(processor)};
}

// 6 steps of 1.2 and a wheel turn of 548 land at 8.00001, the first zoom without smoothing.
void zoomTo800(PreviewWidget& preview)
{
    for (int i = 0; i < 6; ++i)
        preview.zoomIn();
    const QPointF centre(preview.rect().center());
    QWheelEvent event(centre, preview.mapToGlobal(centre), {}, QPoint(0, 548), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&preview, &event);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    TargetImage target;
    target.filePath = QStringLiteral("/bench/a2-600dpi.tif");
    target.pixelWidth = 9921;
    target.pixelHeight = 14031;
    target.dpiX = target.dpiY = 600.0;
    target.image = patchChart(target.pixelWidth, target.pixelHeight);

    PaperSize a2;
    for (const PaperSize& paper : paperSizes()) {
        if (paper.name == QStringLiteral("DIN A2"))
            a2 = paper;
    }

    // The preview's share of a 1080 x 720 window beside the inspector panel.
    PreviewWidget preview;
    preview.resize(720, 688);
    preview.show();
    QImage canvas(preview.size(), QImage::Format_ARGB32_Premultiplied);

    std::printf("preview %d x %d, image %d x %d ARGB32\n", preview.width(), preview.height(),
                target.pixelWidth, target.pixelHeight);

    QElapsedTimer building;
    building.start();
    const std::atomic<bool> never{false};
    const std::vector<PyramidLevel> levels = imagePyramid(target.image, never);
    qint64 levelBytes = 0;
    for (const PyramidLevel& level : levels)
        levelBytes += level.image.sizeInBytes();
    std::printf("levels: %zu, from 1/%d, built in %.0f ms, %.1f MB beside the image's %.1f MB (%.4f of it)\n",
                levels.size(), levels.empty() ? 0 : levels.front().shrink, building.nsecsElapsed() / 1e6,
                levelBytes / 1e6, target.image.sizeInBytes() / 1e6,
                double(levelBytes) / double(target.image.sizeInBytes()));

    // The preview builds its own levels on Qt's thread pool and gets them through the event loop.
    preview.setPrintLayout({a2, PageOrientation::Portrait, PrintAlignment::Center, 0});
    QElapsedTimer waiting;
    waiting.start();
    preview.setTargetImage(target);
    const auto [wallBefore, processorBefore] = paintMs(preview, canvas);
    std::printf("rotation   0, zoom  100.00 %% before the levels: median %6.2f ms wall, %6.2f ms processor\n",
                wallBefore, processorBefore);
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    std::printf("the preview had its levels %.0f ms after the image arrived\n", waiting.nsecsElapsed() / 1e6);

    for (const int rotation : {0, 90}) {
        // The window turns a portrait target a quarter when the sheet is landscape.
        const PrintLayout layout{a2, rotation ? PageOrientation::Landscape : PageOrientation::Portrait,
                                 PrintAlignment::Center, rotation};
        for (const char* zoom : {"fit", "800", "3200"}) {
            preview.setPrintLayout(layout);
            preview.resetZoomToFit();
            if (zoom[0] == '8')
                zoomTo800(preview);
            else if (zoom[0] == '3')
                for (int i = 0; i < 20; ++i)
                    preview.zoomIn();
            const auto [wall, processor] = paintMs(preview, canvas);
            std::printf("rotation %3d, zoom %7.2f %%: median %6.2f ms wall, %6.2f ms processor per paint\n",
                        rotation, preview.zoomPercent(), wall, processor);
        }
    }

    QElapsedTimer timer;
    timer.start();
    const QImage turned = rotatedImage(target.image, 90);
    std::printf("for comparison, one turned copy of the whole image: %.0f ms\n", timer.nsecsElapsed() / 1e6);
    return turned.isNull() ? 1 : 0;
}
