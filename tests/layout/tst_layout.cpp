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

bool near(QPointF a, QPointF b)
{
    return std::abs(a.x() - b.x()) <= 1e-6 && std::abs(a.y() - b.y()) <= 1e-6;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogueIsFreshOnEveryCall()
    {
        std::vector<PaperSize> first = paperSizes();
        QStringList seen;
        for (const PaperSize& paper : first)
            seen << QStringLiteral("%1 %2x%3").arg(paper.name).arg(paper.widthMm).arg(paper.heightMm);
        QCOMPARE(seen,
                 (QStringList{"DIN A4 210x297", "DIN A3 297x420", "DIN A3+ 329x483", "DIN A2 420x594"}));
        first.erase(first.begin());
        QCOMPARE(paperSizes().size(), std::size_t(4));
    }

    // Values outside 0..8 read as Center.
    void alignments()
    {
        QStringList names, factors;
        for (int value = -1; value <= 9; ++value) {
            const auto alignment = static_cast<PrintAlignment>(value);
            names << alignmentName(alignment);
            factors << QStringLiteral("%1,%2")
                           .arg(alignmentHorizontalFactor(alignment))
                           .arg(alignmentVerticalFactor(alignment));
        }
        QCOMPARE(names,
                 (QStringList{"Center", "Top Left", "Top Center", "Top Right", "Center Left", "Center",
                              "Center Right", "Bottom Left", "Bottom Center", "Bottom Right", "Center"}));
        QCOMPARE(factors, (QStringList{"0.5,0.5", "0,0", "0.5,0", "1,0", "0,0.5", "0.5,0.5", "1,0.5", "0,1",
                                       "0.5,1", "1,1", "0.5,0.5"}));
    }

    // A resolution that is not above zero counts as 72 dpi, each axis on its own.
    void printSizes()
    {
        QCOMPARE(printSizeInches(imageOf(2400, 3000, 300, 300)), QSizeF(8, 10));
        QCOMPARE(printSizeMm(imageOf(2400, 3000, 300, 300)), QSizeF(203.2, 254));
        QCOMPARE(printSizeInches(imageOf(300, 600, 0, 0)), QSizeF(300 / 72.0, 600 / 72.0));
        QCOMPARE(printSizeInches(imageOf(300, 600, 150, 0)), QSizeF(2, 600 / 72.0));
        QCOMPARE(printSizeInches(imageOf(300, 600, std::nan(""), -5)), QSizeF(300 / 72.0, 600 / 72.0));
    }

    void sheetSizes()
    {
        const QSizeF a3plus = sheetSizeInches(paperSizes()[2], PageOrientation::Portrait);
        QVERIFY(near({a3plus.width(), a3plus.height()}, {12.952755906, 19.015748031}));
        QCOMPARE(sheetSizeInches(paperSizes()[2], PageOrientation::Landscape), a3plus.transposed());
        QCOMPARE(sheetSizeInches(paperSizes()[2], static_cast<PageOrientation>(5)), a3plus);
        QCOMPARE(sheetSizeMm(paperSizes()[0], PageOrientation::Landscape), QSizeF(297, 210));
    }

    void rotations()
    {
        QCOMPARE(normalizedDegrees(-90), 270);
        QCOMPARE(normalizedDegrees(450), 90);
        QCOMPARE(normalizedDegrees(-360), 0);
        QCOMPARE(normalizedDegrees(-450), 270);
        QCOMPARE(rotatedSize({8, 10}, -90), QSizeF(10, 8));
        QCOMPARE(rotatedSize({8, 10}, 450), QSizeF(10, 8));
        QCOMPARE(rotatedSize({8, 10}, 180), QSizeF(8, 10));
        QCOMPARE(rotatedSize({8, 10}, 45), QSizeF(8, 10));
    }

    void rotatedImageTurnsClockwiseWithoutBlending()
    {
        QImage image(400, 300, QImage::Format_ARGB32);
        image.fill(Qt::white);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        image.setPixel(1, 0, qRgb(0, 0, 255));
        QCOMPARE(rotatedImage(image, 360).constBits(), image.constBits());
        const QImage turned = rotatedImage(image, 90);
        QCOMPARE(turned.size(), QSize(300, 400));
        QCOMPARE(turned.pixel(299, 0), qRgb(255, 0, 0));
        QCOMPARE(turned.pixel(299, 1), qRgb(0, 0, 255));
        QCOMPARE(turned.pixel(298, 0), qRgb(255, 255, 255));
        QVERIFY(rotatedImage(QImage(), 90).isNull());
    }

    // An image larger than the sheet keeps its size; the overflow follows the alignment.
    void placements()
    {
        const QRectF centre = placementRect({210 / 25.4, 297 / 25.4}, {10, 8}, PrintAlignment::Center);
        QVERIFY(near(centre.topLeft(), {-0.866142, 1.846457}));
        QCOMPARE(centre.size(), QSizeF(10, 8));
        QCOMPARE(placementRect({8, 11}, {10, 8}, PrintAlignment::BottomRight), QRectF(-2, 3, 10, 8));
    }

    void fitTolerance()
    {
        QVERIFY(fitsOnSheet({8, 10}, {8.00009, 10.00009}));
        QVERIFY(!fitsOnSheet({8, 10}, {8.00011, 10}));
        QVERIFY(!fitsOnSheet({8, 10}, {8, 10.00011}));
    }

    void paperForNewImage_data()
    {
        QTest::addColumn<QSizeF>("inches");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QString>("paper");
        QTest::newRow("8 x 10") << QSizeF(8, 10) << 0 << "DIN A4";
        QTest::newRow("12 x 9") << QSizeF(12, 9) << 1 << "DIN A3";
        QTest::newRow("30 x 20, larger than A2") << QSizeF(30, 20) << 1 << "DIN A2";
        QTest::newRow("A4 pixels at 300 dpi overflow A4")
            << QSizeF(2480 / 300.0, 3508 / 300.0) << 0 << "DIN A3";
        QTest::newRow("one row less fits A4") << QSizeF(2480 / 300.0, 3507 / 300.0) << 0 << "DIN A4";
        QTest::newRow("square is portrait") << QSizeF(3, 3) << 0 << "DIN A4";
    }

    void paperForNewImage()
    {
        QFETCH(QSizeF, inches);
        QFETCH(int, orientation);
        QFETCH(QString, paper);
        const PageOrientation chosen = orientationForSize(inches);
        QCOMPARE(static_cast<int>(chosen), orientation);
        QCOMPARE(paperForPrintSize(inches, chosen).name, paper);
    }

    // Where an image 3000 pixels tall at 300 dpi lands on the page the printer reports.
    void devicePlacement()
    {
        const auto placed = [](const DevicePageMetrics& device, int width, PrintAlignment alignment,
                               int turn) {
            const PrintLayout layout{paperSizes().front(), PageOrientation::Portrait, alignment, turn};
            return devicePlacementRect(device, imageOf(width, 3000, 300, 300), layout);
        };
        const DevicePageMetrics dpi600{600, 600, 4960, 7016, 100, 100};
        QCOMPARE(placed(dpi600, 2000, PrintAlignment::Center, 0), QRect(380, 408, 4000, 6000));
        QCOMPARE(placed({300, 300, 2480, 3508, 50, 50}, 2400, PrintAlignment::Center, 0),
                 QRect(-10, 204, 2400, 3000));
        // A page a pixel wider puts the left edge between pixels, where rounding and truncating differ.
        QCOMPARE(placed({600, 600, 4961, 7016, 100, 100}, 2000, PrintAlignment::TopCenter, 90),
                 QRect(-620, -100, 6000, 4000));
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
