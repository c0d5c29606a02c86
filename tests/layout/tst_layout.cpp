#include "layout/placement_geometry.h"

#include <QTest>
#include <cmath>

using namespace Plover;

namespace {

TargetImage imageOf(int width, int height, double dpiX, double dpiY)
{
    TargetImage image;
    image.pixelWidth = width;
    image.pixelHeight = height;
    image.dpiX = dpiX;
    image.dpiY = dpiY;
    return image;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Sizes each axis by its own resolution; one not above zero counts as 72 dpi. A quarter turn is
    // clockwise: the top-left pixel lands top right.
    void sizesAndTurns()
    {
        QCOMPARE(printSizeMm(imageOf(2400, 3000, 300, 300)), QSizeF(203.2, 254));
        QCOMPARE(printSizeInches(imageOf(300, 600, 150, 0)), QSizeF(2, 600 / 72.0));
        QCOMPARE(printSizeInches(imageOf(300, 600, std::nan(""), -5)), QSizeF(300 / 72.0, 600 / 72.0));
        QCOMPARE(sheetSizeMm(paperSizes()[2], PageOrientation::Landscape), QSizeF(483, 329));
        QImage image(4, 3, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        const QImage turned = rotatedImage(image, -270);
        QCOMPARE(turned.size(), QSize(3, 4));
        QCOMPARE(turned.pixel(2, 0), qRgb(255, 0, 0));
    }

    // Each alignment puts the image in its cell of the 3 x 3 grid; one larger than the sheet keeps
    // its size, and the overflow follows the alignment. Values outside 0..8 centre it.
    void placements()
    {
        for (int v = -1; v <= 9; ++v) {
            const int cell = v < 0 || v > 8 ? 4 : v;
            const auto alignment = static_cast<PrintAlignment>(v);
            QCOMPARE(placementRect({10, 8}, {4, 2}, alignment), QRectF(cell % 3 * 3, cell / 3 * 3, 4, 2));
            QCOMPARE(placementRect({8, 11}, {10, 8}, alignment), QRectF(-(cell % 3), cell / 3 * 1.5, 10, 8));
        }
    }

    // Paper and orientation for a new image, by its print size in inches: the smallest sheet that
    // holds it within a ten-thousandth of an inch, else the largest.
    void paperForNewImage()
    {
        const std::tuple<QSizeF, int, const char*> rows[] = {{{12, 8}, 1, "DIN A3"},
                                                             {{12.95, 19}, 0, "DIN A3+"},
                                                             {{30, 20}, 1, "DIN A2"},
                                                             {{2480 / 300.0, 3508 / 300.0}, 0, "DIN A3"},
                                                             {{8.26781, 11.69301}, 0, "DIN A4"},
                                                             {{3, 3}, 0, "DIN A4"}};
        for (const auto& [inches, orientation, paper] : rows) {
            QCOMPARE(int(orientationForSize(inches)), orientation);
            QCOMPARE(paperForPrintSize(inches, orientationForSize(inches)).name, QString::fromLatin1(paper));
        }
    }

    // A set's pages share one sheet: the smallest on which every page fits unturned, in the
    // orientation of the size that holds them all.
    void paperForSet()
    {
        const std::tuple<QList<QSizeF>, int, const char*> rows[] = {
            {{{8, 10}}, 0, "DIN A4"},
            {{{8, 10}, {8, 11.7}}, 0, "DIN A3"}, // only the second page needs A3
            {{{11.7, 8}, {8, 10}}, 1, "DIN A3"}, // a landscape and a portrait page
            {{{8, 10}, {11, 16}, {8, 10}}, 0, "DIN A3"},
            {{{8, 10}, {25, 15}}, 1, "DIN A2"}};
        for (const auto& [sizes, orientation, paper] : rows) {
            const QSizeF holding = sizeHoldingAll(sizes);
            QCOMPARE(int(orientationForSize(holding)), orientation);
            const PaperSize chosen = paperForPrintSize(holding, orientationForSize(holding));
            QCOMPARE(chosen.name, QString::fromLatin1(paper));
            for (const QSizeF& size : sizes)
                QVERIFY(fitsOnSheet(sheetSizeInches(chosen, orientationForSize(holding)), size) ||
                        chosen.name == QLatin1String("DIN A2"));
        }
    }

    // Where an image 3000 pixels tall at 300 dpi lands on the page the printer reports, with its
    // margins of a sixth of an inch; a page a pixel wider puts an edge between pixels.
    void devicePlacement()
    {
        const std::tuple<QSize, int, int, int, int, QRect> rows[] = {
            {{4960, 7016}, 600, 2000, 4, 0, {380, 408, 4000, 6000}},
            {{2480, 3508}, 300, 2400, 4, 0, {-10, 204, 2400, 3000}},
            {{4961, 7016}, 600, 2000, 1, 90, {-620, -100, 6000, 4000}}};
        for (const auto& [page, dpi, width, alignment, turn, placed] : rows) {
            const DevicePageMetrics device{dpi, dpi, page.width(), page.height(), dpi / 6, dpi / 6};
            const PrintLayout layout{paperSizes().front(), PageOrientation::Portrait,
                                     static_cast<PrintAlignment>(alignment), turn};
            QCOMPARE(devicePlacementRect(device, imageOf(width, 3000, 300, 300), layout), placed);
        }
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
