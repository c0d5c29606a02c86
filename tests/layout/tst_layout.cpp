#include "layout/placement_geometry.h"

#include <QTest>

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

PaperSize paperNamed(const QString& name)
{
    for (const PaperSize& paper : paperSizes()) {
        if (paper.name == name)
            return paper;
    }
    return {};
}

bool near(double a, double b, double tolerance = 1e-6)
{
    return std::abs(a - b) <= tolerance;
}

} // namespace

Q_DECLARE_METATYPE(Plover::DevicePageMetrics)

class TestLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void catalogueIsFreshOnEveryCall()
    {
        std::vector<PaperSize> first = paperSizes();
        QCOMPARE(first.size(), std::size_t(4));
        const QStringList names{QStringLiteral("DIN A4"), QStringLiteral("DIN A3"), QStringLiteral("DIN A3+"),
                                QStringLiteral("DIN A2")};
        const double sizes[][2] = {{210, 297}, {297, 420}, {329, 483}, {420, 594}};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(first[i].name, names[i]);
            QCOMPARE(first[i].widthMm, sizes[i][0]);
            QCOMPARE(first[i].heightMm, sizes[i][1]);
        }
        first.erase(first.begin());
        QCOMPARE(paperSizes().size(), std::size_t(4));
    }

    void alignments_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("horizontal");
        QTest::addColumn<double>("vertical");
        QTest::newRow("0") << 0 << "Top Left" << 0.0 << 0.0;
        QTest::newRow("1") << 1 << "Top Center" << 0.5 << 0.0;
        QTest::newRow("2") << 2 << "Top Right" << 1.0 << 0.0;
        QTest::newRow("3") << 3 << "Center Left" << 0.0 << 0.5;
        QTest::newRow("4") << 4 << "Center" << 0.5 << 0.5;
        QTest::newRow("5") << 5 << "Center Right" << 1.0 << 0.5;
        QTest::newRow("6") << 6 << "Bottom Left" << 0.0 << 1.0;
        QTest::newRow("7") << 7 << "Bottom Center" << 0.5 << 1.0;
        QTest::newRow("8") << 8 << "Bottom Right" << 1.0 << 1.0;
        QTest::newRow("9 behaves as Center") << 9 << "Center" << 0.5 << 0.5;
        QTest::newRow("-1 behaves as Center") << -1 << "Center" << 0.5 << 0.5;
    }

    void alignments()
    {
        QFETCH(int, value);
        QFETCH(QString, name);
        QFETCH(double, horizontal);
        QFETCH(double, vertical);
        const auto alignment = static_cast<PrintAlignment>(value);
        QCOMPARE(alignmentName(alignment), name);
        QCOMPARE(alignmentHorizontalFactor(alignment), horizontal);
        QCOMPARE(alignmentVerticalFactor(alignment), vertical);
    }

    void printSizes_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<double>("dpiX");
        QTest::addColumn<double>("dpiY");
        QTest::addColumn<QSizeF>("inches");
        QTest::newRow("300 dpi") << 2400 << 3000 << 300.0 << 300.0 << QSizeF(8.0, 10.0);
        QTest::newRow("zero dpi counts as 72") << 600 << 600 << 0.0 << 0.0 << QSizeF(600 / 72.0, 600 / 72.0);
        QTest::newRow("axes apart") << 300 << 200 << 150.0 << 0.0 << QSizeF(2.0, 200 / 72.0);
        QTest::newRow("NaN counts as 72") << 144 << 72 << std::nan("") << -5.0 << QSizeF(2.0, 1.0);
    }

    void printSizes()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(double, dpiX);
        QFETCH(double, dpiY);
        QFETCH(QSizeF, inches);
        const TargetImage image = imageOf(width, height, dpiX, dpiY);
        QCOMPARE(printSizeInches(image), inches);
        const QSizeF mm = printSizeMm(image);
        QVERIFY(near(mm.width(), inches.width() * 25.4));
        QVERIFY(near(mm.height(), inches.height() * 25.4));
    }

    void sheetSizes()
    {
        const PaperSize a3plus = paperNamed(QStringLiteral("DIN A3+"));
        const QSizeF portrait = sheetSizeInches(a3plus, PageOrientation::Portrait);
        QVERIFY(near(portrait.width(), 12.952755));
        QVERIFY(near(portrait.height(), 19.015748));
        QCOMPARE(sheetSizeInches(a3plus, PageOrientation::Landscape), portrait.transposed());
        QCOMPARE(sheetSizeInches(a3plus, static_cast<PageOrientation>(5)), portrait);
        QCOMPARE(sheetSizeMm(paperNamed(QStringLiteral("DIN A4")), PageOrientation::Landscape),
                 QSizeF(297, 210));
    }

    void rotations_data()
    {
        QTest::addColumn<int>("degrees");
        QTest::addColumn<int>("normalized");
        QTest::addColumn<bool>("swapped");
        QTest::newRow("-90") << -90 << 270 << true;
        QTest::newRow("450") << 450 << 90 << true;
        QTest::newRow("-360") << -360 << 0 << false;
        QTest::newRow("180") << 180 << 180 << false;
        QTest::newRow("45") << 45 << 45 << false;
    }

    void rotations()
    {
        QFETCH(int, degrees);
        QFETCH(int, normalized);
        QFETCH(bool, swapped);
        QCOMPARE(normalizedDegrees(degrees), normalized);
        QCOMPARE(rotatedSize(QSizeF(8, 10), degrees), swapped ? QSizeF(10, 8) : QSizeF(8, 10));
    }

    void rotatedImageTurnsClockwiseWithoutBlending()
    {
        QImage image(400, 300, QImage::Format_ARGB32);
        image.fill(Qt::white);
        image.setPixel(0, 0, qRgb(255, 0, 0));
        image.setPixel(1, 0, qRgb(0, 0, 255));

        const QImage same = rotatedImage(image, 360);
        QCOMPARE(same.constBits(), image.constBits());

        const QImage turned = rotatedImage(image, 90);
        QCOMPARE(turned.size(), QSize(300, 400));
        QCOMPARE(turned.pixel(299, 0), qRgb(255, 0, 0));
        QCOMPARE(turned.pixel(299, 1), qRgb(0, 0, 255));
        QCOMPARE(turned.pixel(298, 0), qRgb(255, 255, 255));
        QVERIFY(rotatedImage(QImage(), 90).isNull());
    }

    void placements_data()
    {
        QTest::addColumn<QSizeF>("sheet");
        QTest::addColumn<QSizeF>("image");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QRectF>("expected");
        const QSizeF a4(210 / 25.4, 297 / 25.4);
        QTest::newRow("centre with overflow") << a4 << QSizeF(10, 8) << 4
                                              << QRectF(-0.866142, 1.846457, 10, 8);
        QTest::newRow("top left keeps the corner") << QSizeF(8, 11) << QSizeF(10, 8) << 0 << QRectF(0, 0, 10, 8);
        QTest::newRow("bottom right overflows left") << QSizeF(8, 11) << QSizeF(10, 8) << 8
                                                     << QRectF(-2, 3, 10, 8);
    }

    void placements()
    {
        QFETCH(QSizeF, sheet);
        QFETCH(QSizeF, image);
        QFETCH(int, alignment);
        QFETCH(QRectF, expected);
        const QRectF r = placementRect(sheet, image, static_cast<PrintAlignment>(alignment));
        QVERIFY2(near(r.x(), expected.x()) && near(r.y(), expected.y()), qPrintable(QStringLiteral("%1, %2").arg(r.x()).arg(r.y())));
        QCOMPARE(r.size(), expected.size());
    }

    void fitTolerance_data()
    {
        QTest::addColumn<QSizeF>("image");
        QTest::addColumn<bool>("fits");
        QTest::newRow("exact") << QSizeF(8, 10) << true;
        QTest::newRow("within tolerance") << QSizeF(8.00005, 10.00005) << true;
        QTest::newRow("too wide") << QSizeF(8.00011, 10) << false;
        QTest::newRow("too tall") << QSizeF(8, 10.00011) << false;
    }

    void fitTolerance()
    {
        QFETCH(QSizeF, image);
        QFETCH(bool, fits);
        QCOMPARE(fitsOnSheet(QSizeF(8, 10), image), fits);
    }

    void paperForNewImage_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("orientation");
        QTest::addColumn<QString>("paper");
        QTest::newRow("8 x 10 in") << 2400 << 3000 << 300.0 << 0 << "DIN A4";
        QTest::newRow("12 x 9 in") << 3600 << 2700 << 300.0 << 1 << "DIN A3";
        QTest::newRow("30 x 20 in") << 6000 << 4000 << 200.0 << 1 << "DIN A2";
        QTest::newRow("A4 pixels overflow A4 by 0.0004 in") << 2480 << 3508 << 300.0 << 0 << "DIN A3";
        QTest::newRow("one row less fits A4") << 2480 << 3507 << 300.0 << 0 << "DIN A4";
        QTest::newRow("square is portrait") << 900 << 900 << 300.0 << 0 << "DIN A4";
        QTest::newRow("larger than A2 both ways") << 9000 << 9000 << 300.0 << 0 << "DIN A2";
    }

    void paperForNewImage()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(double, dpi);
        QFETCH(int, orientation);
        QFETCH(QString, paper);
        const QSizeF inches = printSizeInches(imageOf(width, height, dpi, dpi));
        const PageOrientation chosen = orientationForSize(inches);
        QCOMPARE(static_cast<int>(chosen), orientation);
        QCOMPARE(paperForPrintSize(inches, chosen).name, paper);
    }

    void devicePlacement_data()
    {
        QTest::addColumn<DevicePageMetrics>("device");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("rotation");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("600 dpi centre") << DevicePageMetrics{600, 600, 4960, 7016, 100, 100} << 2000 << 3000 << 4
                                        << 0 << QRect(380, 408, 4000, 6000);
        QTest::newRow("300 dpi centre, negative left") << DevicePageMetrics{300, 300, 2480, 3508, 50, 50} << 2400
                                                       << 3000 << 4 << 0 << QRect(-10, 204, 2400, 3000);
        QTest::newRow("top left sits on the sheet corner") << DevicePageMetrics{600, 600, 4960, 7016, 100, 120}
                                                           << 2000 << 3000 << 0 << 0
                                                           << QRect(-100, -120, 4000, 6000);
        QTest::newRow("turned image swaps its size") << DevicePageMetrics{600, 600, 4960, 7016, 100, 100} << 2000
                                                     << 3000 << 0 << 90 << QRect(-100, -100, 6000, 4000);
    }

    void devicePlacement()
    {
        QFETCH(DevicePageMetrics, device);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, alignment);
        QFETCH(int, rotation);
        QFETCH(QRect, expected);
        PrintLayout layout;
        layout.paper = paperSizes().front();
        layout.alignment = static_cast<PrintAlignment>(alignment);
        layout.rotationDegrees = rotation;
        QCOMPARE(devicePlacementRect(device, imageOf(width, height, 300, 300), layout), expected);
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
