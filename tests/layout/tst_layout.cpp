#include "layout/placement_geometry.h"
#include "layout/print_record.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QTimeZone>
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

// A two-page set printed on page 2 only, with every field unlike its default.
PrintRecord printedRecord()
{
    PrintRecord record;
    record.files = QStringList{QStringLiteral("chart_01.tif"), QStringLiteral("chart_02.tif")};
    record.pages = 2;
    record.firstPage = record.lastPage = 2;
    record.paper = QStringLiteral("DIN A3+");
    record.orientation = PageOrientation::Landscape;
    record.alignment = PrintAlignment::BottomRight;
    record.printer = QStringLiteral("Epson SC-P800");
    record.resolution = QSize(1440, 720);
    record.icmOff = true;
    record.printed = QDateTime(QDate(2026, 12, 7), QTime(4, 30), QTimeZone::utc());
    record.driverOptions = {{QStringLiteral("MediaType"), QStringLiteral("Glossy")}};
    return record;
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

    // A record reads back as it was written, in words a person can read; what is not one reads as nothing.
    void printRecordReadsBack()
    {
        const PrintRecord record = printedRecord();
        const QByteArray json = printRecordToJson(record);
        const std::optional<PrintRecord> back = printRecordFromJson(json);
        QVERIFY(back);
        QCOMPARE(Plover::printRecordDifferences(record, *back), QStringList());
        QCOMPARE(QList<int>({back->firstPage, back->lastPage}), QList<int>({2, 2}));
        QCOMPARE(back->printed, record.printed);
        const QJsonObject object = QJsonDocument::fromJson(json).object();
        QCOMPARE(object[QStringLiteral("icm")].toString(), QStringLiteral("off"));
        QCOMPARE(object[QStringLiteral("alignment")].toString(), QStringLiteral("Bottom Right"));
        QCOMPARE(object[QStringLiteral("printed")].toString(), QStringLiteral("2026-12-07T04:30:00Z"));
        for (const QByteArray& junk :
             {QByteArray(), QByteArray("[1]"), QByteArray(json).replace("Landscape", "Sideways")})
            QVERIFY(!printRecordFromJson(junk));
    }

    // Each choice that differs from the record is named with both values; printer, resolution, ICM and
    // driver options only once a printer is known.
    void printRecordDifferences_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("differences");
        const auto row = [](const char* change, const QStringList& differences) {
            QTest::newRow(change) << QString::fromLatin1(change) << differences;
        };
        row("nothing", {});
        row("paper", {"Paper: DIN A3+ then, DIN A4 now"});
        row("orientation", {"Orientation: Landscape then, Portrait now"});
        row("alignment", {"Alignment: Bottom Right then, Center now"});
        row("files", {"Files: chart_01.tif, chart_02.tif then, chart_01.tif, chart_03.tif now"});
        row("printer", {"Printer: \"Epson SC-P800\" then, \"plover-test\" now"});
        row("resolution", {"Resolution: 1440 x 720 dpi then, 720 x 1440 dpi now"});
        row("icm", {"ICM: off then, on now"});
        row("driver options", {"Driver option MediaType: Glossy then, not set now",
                               "Driver option StpQuality: not set then, Photo now"});
        row("no printer yet", {});
    }

    void printRecordDifferences()
    {
        QFETCH(QString, change);
        PrintRecord current = printedRecord();
        const QHash<QString, std::function<void()>> changes{
            {"nothing",
             [] {
             }},
            {"paper",
             [&] {
                 current.paper = QStringLiteral("DIN A4");
             }},
            {"orientation",
             [&] {
                 current.orientation = PageOrientation::Portrait;
             }},
            {"alignment",
             [&] {
                 current.alignment = PrintAlignment::Center;
             }},
            {"files",
             [&] {
                 current.files[1] = QStringLiteral("chart_03.tif");
             }},
            {"printer",
             [&] {
                 current.printer = QStringLiteral("plover-test");
             }},
            {"resolution",
             [&] {
                 current.resolution.transpose();
             }},
            {"icm",
             [&] {
                 current.icmOff = false;
             }},
            {"driver options",
             [&] {
                 current.driverOptions = {{QStringLiteral("StpQuality"), QStringLiteral("Photo")}};
             }},
            {"no printer yet", [&] {
                 current.printer.clear(), current.icmOff = false, current.driverOptions.clear();
             }}};
        changes[change]();
        QTEST(Plover::printRecordDifferences(printedRecord(), current), "differences");
    }

    // Beside the set's first page, named for what its files share: numbered files by the name before
    // their number, a multi-page TIFF and files of other names by the first file's name.
    void printRecordPath()
    {
        const TargetPageSource a{"/charts/chart_01.tif"}, b{"/charts/chart_02.tif"}, c{"/charts/alpha.tif"},
            d{"/charts/02.tif"}, page2{"/charts/chart_01.tif", 1, 2};
        const std::pair<QList<TargetPageSource>, const char*> rows[] = {
            {{a, b}, "/charts/chart.plover.json"},
            {{a, page2}, "/charts/chart_01.plover.json"},
            {{c, b}, "/charts/alpha.plover.json"},
            {{d, b}, "/charts/02.plover.json"}};
        for (const auto& [pages, path] : rows)
            QCOMPARE(Plover::printRecordPath(TargetSet{pages}), QString::fromLatin1(path));
    }
};

QTEST_GUILESS_MAIN(TestLayout)
#include "tst_layout.moc"
