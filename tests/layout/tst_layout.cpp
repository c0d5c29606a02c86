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

bool near(QSizeF a, QSizeF b)
{
    return std::abs(a.width() - b.width()) <= 1e-6 && std::abs(a.height() - b.height()) <= 1e-6;
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A resolution that is not above zero counts as 72 dpi, each axis on its own.
    void printSizes()
    {
        QCOMPARE(printSizeInches(imageOf(2400, 3000, 300, 300)), QSizeF(8, 10));
        QCOMPARE(printSizeMm(imageOf(2400, 3000, 300, 300)), QSizeF(203.2, 254));
        QCOMPARE(printSizeInches(imageOf(300, 600, 150, 0)), QSizeF(2, 600 / 72.0));
        QCOMPARE(printSizeInches(imageOf(300, 600, std::nan(""), -5)), QSizeF(300 / 72.0, 600 / 72.0));
    }

    void sheetsAndTurns()
    {
        const PaperSize a3plus = paperSizes()[2];
        QVERIFY(near(sheetSizeInches(a3plus, PageOrientation::Portrait), {12.952755906, 19.015748031}));
        QVERIFY(near(sheetSizeInches(a3plus, PageOrientation::Landscape), {19.015748031, 12.952755906}));
        QCOMPARE(sheetSizeMm(paperSizes()[0], static_cast<PageOrientation>(5)), QSizeF(210, 297));
        QCOMPARE(normalizedDegrees(-450), 270);
        QCOMPARE(rotatedSize({8, 10}, -90), QSizeF(10, 8));
        QCOMPARE(rotatedSize({8, 10}, 180), QSizeF(8, 10));
    }

    // A quarter turn is clockwise: the top-left pixel lands top right, and no pixel is blended.
    void rotatedImageTurnsClockwise()
    {
        QImage image(400, 300, QImage::Format_ARGB32);
        image.fill(Qt::white);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        image.setPixel(1, 0, qRgb(0, 0, 255));
        const QImage turned = rotatedImage(image, 90);
        QCOMPARE(turned.size(), QSize(300, 400));
        QCOMPARE(turned.pixel(299, 0), qRgb(255, 0, 0));
        QCOMPARE(turned.pixel(299, 1), qRgb(0, 0, 255));
        QCOMPARE(turned.pixel(298, 0), qRgb(255, 255, 255));
        QCOMPARE(rotatedImage(image, -270), turned);
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
        QTest::newRow("13 x 19, only A3+") << QSizeF(12.95, 19) << 0 << "DIN A3+";
        QTest::newRow("30 x 20, larger than A2") << QSizeF(30, 20) << 1 << "DIN A2";
        QTest::newRow("A4 pixels at 300 dpi overflow A4")
            << QSizeF(2480 / 300.0, 3508 / 300.0) << 0 << "DIN A3";
        QTest::newRow("one row less fits A4") << QSizeF(2480 / 300.0, 3507 / 300.0) << 0 << "DIN A4";
        QTest::newRow("square is portrait") << QSizeF(3, 3) << 0 << "DIN A4";
    }

    void paperForNewImage()
    {
        QFETCH(QSizeF, inches);
        const PageOrientation chosen = orientationForSize(inches);
        QTEST(static_cast<int>(chosen), "orientation");
        QTEST(paperForPrintSize(inches, chosen).name, "paper");
    }

    // Where an image 3000 pixels tall at 300 dpi lands on the page the printer reports.
    void devicePlacement_data()
    {
        QTest::addColumn<QSize>("page"); // physical size in device pixels
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("turn");
        QTest::addColumn<QRect>("placed");
        QTest::newRow("600 dpi, centred")
            << QSize(4960, 7016) << 600 << 2000 << 4 << 0 << QRect(380, 408, 4000, 6000);
        QTest::newRow("wider than the page")
            << QSize(2480, 3508) << 300 << 2400 << 4 << 0 << QRect(-10, 204, 2400, 3000);
        // A page a pixel wider puts the left edge between pixels, where rounding and truncating differ.
        QTest::newRow("turned, edge between pixels")
            << QSize(4961, 7016) << 600 << 2000 << 1 << 90 << QRect(-620, -100, 6000, 4000);
    }

    void devicePlacement()
    {
        QFETCH(QSize, page);
        QFETCH(int, dpi);
        QFETCH(int, width);
        QFETCH(int, alignment);
        QFETCH(int, turn);
        const DevicePageMetrics device{dpi, dpi, page.width(), page.height(), dpi / 6, dpi / 6};
        const PrintLayout layout{paperSizes().front(), PageOrientation::Portrait,
                                 static_cast<PrintAlignment>(alignment), turn};
        QTEST(devicePlacementRect(device, imageOf(width, 3000, 300, 300), layout), "placed");
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
