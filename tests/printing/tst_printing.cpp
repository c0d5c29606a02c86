#include "layout/placement_geometry.h"
#include "print_calls.h"
#include "printing/gdi_print_job.h"
#include "printing/print_exception.h"
#include "printing/print_job.h"
#include "tests/support/image_files.h"
#include "tests/support/print_dialog_answer.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>
#include <cmath>
#include <tiffio.h>

using namespace Plover;
using namespace PloverTest;
using Fault = PrintCalls::Fault;

namespace {

// The smallest rectangle holding every pixel that is not paper white.
QRect printedArea(const QImage& page)
{
    QRect area;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (page.pixel(x, y) != qRgb(255, 255, 255))
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}

PrintLayout layoutOf(PageOrientation orientation, PrintAlignment alignment, int rotation = 0,
                     const QString& paperName = QStringLiteral("DIN A4"))
{
    for (const PaperSize& paper : paperSizes()) {
        if (paper.name == paperName)
            return {paper, orientation, alignment, rotation};
    }
    return {};
}

const QString filePrinter = QStringLiteral("Plover Virtual Printer (TIFF file)");
const PrintLayout a4Centered = layoutOf(PageOrientation::Portrait, PrintAlignment::Center);

TargetImage targetOf(const QImage& pixels, double dpi)
{
    TargetImage target;
    target.pixelWidth = pixels.width();
    target.pixelHeight = pixels.height();
    target.dpiX = target.dpiY = dpi;
    target.image = pixels;
    return target;
}

int devicePixels(double mm, int dpi)
{
    return int(std::lround(mm / 25.4 * dpi));
}

// Where the target lands on the page, in page pixels, behind the virtual printer's 3 mm margin.
QRect expectedPlacement(const QImage& page, int dpi, const TargetImage& target, const PrintLayout& layout)
{
    const int margin = devicePixels(3.0, dpi);
    return devicePlacementRect({dpi, dpi, page.width(), page.height(), margin, margin}, target, layout)
        .translated(margin, margin);
}

} // namespace

Q_DECLARE_METATYPE(Plover::PrintLayout)
Q_DECLARE_METATYPE(Plover::PageOrientation)
Q_DECLARE_METATYPE(Fault)

class TestPrinting : public QObject
{
    Q_OBJECT

    QTemporaryDir directory;

    QString pagePath() const { return directory.filePath(QStringLiteral("page.tif")); }

private Q_SLOTS:
    void initTestCase() { QImageReader::setAllocationLimit(0); } // a page at 720 dpi is 200 MB

    void init()
    {
        QFile::remove(pagePath());
        PrintCalls::reset();
    }

    void cleanup() { QCOMPARE(PrintCalls::openHandles(), 0); }

    // What the user picks: the file printer at `dpi`, writing to the page file.
    void answerDialog(int dpi = 300) { answerNextPrintDialog({filePrinter, dpi, 0, pagePath()}); }

    void deviceModeSettings_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<PageOrientation>("orientation");
        QTest::addColumn<QList<int>>("settings"); // fields, orientation, paper size, width, length
        const auto portrait = PageOrientation::Portrait;
        const auto landscape = PageOrientation::Landscape;
        QTest::newRow("A4 landscape") << "DIN A4" << landscape << QList<int>{0x3, 2, 9, 0, 0};
        QTest::newRow("A3 portrait") << "DIN A3" << portrait << QList<int>{0x3, 1, 8, 0, 0};
        QTest::newRow("A2 portrait") << "DIN A2" << portrait << QList<int>{0x3, 1, 66, 0, 0};
        QTest::newRow("A3+ portrait") << "DIN A3+" << portrait << QList<int>{0xD, 1, 0, 3290, 4830};
        QTest::newRow("A3+ landscape") << "DIN A3+" << landscape << QList<int>{0xD, 2, 0, 3290, 4830};
    }

    void deviceModeSettings()
    {
        QFETCH(QString, paper);
        QFETCH(PageOrientation, orientation);
        const DeviceModeSettings s =
            Plover::deviceModeSettings(layoutOf(orientation, PrintAlignment::Center, 0, paper));
        QTEST((QList<int>{int(s.fields), s.orientation, s.paperSize, s.paperWidth, s.paperLength}),
              "settings");
    }

    void missingImageThrowsBeforeTheDialog()
    {
        try {
            PrintJob().printTargetImage(nullptr, TargetImage(), a4Centered);
            QFAIL("no exception");
        } catch (const PrintException& e) {
            QCOMPARE(e.message(), QStringLiteral("No image is loaded."));
        }
        QVERIFY(PrintCalls::order().isEmpty());
    }

    // The order the platform depends on: ICM off before the document, EndDoc whenever StartDocW succeeded,
    // every handle freed; and what reaches the paper: the page, with the ICM mode it was drawn in.
    void callOrder_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<bool>("printed");
        const QString page = "StartPage EndPage EndDoc DeleteDC GlobalFree GlobalFree";
        QTest::newRow("printed") << Fault::None << false << "PrintDlgW ICM_OFF StartDocW " + page << true;
        QTest::newRow("dialog cancelled") << Fault::None << true << "PrintDlgW" << false;
        QTest::newRow("no device context")
            << Fault::NoDeviceContext << false << "PrintDlgW GlobalFree GlobalFree" << false;
        QTest::newRow("no device mode")
            << Fault::NoDeviceMode << false
            << "PrintDlgW ICM_OFF StartDocW StartPage EndPage EndDoc DeleteDC GlobalFree" << true;
        QTest::newRow("document start fails")
            << Fault::StartDocFails << false << "PrintDlgW ICM_OFF StartDocW DeleteDC GlobalFree GlobalFree"
            << false;
        QTest::newRow("page start fails")
            << Fault::StartPageFails << false
            << "PrintDlgW ICM_OFF StartDocW StartPage EndDoc DeleteDC GlobalFree GlobalFree" << false;
        QTest::newRow("no resolution")
            << Fault::NoResolution << false << "PrintDlgW ICM_OFF StartDocW " + page << false;
    }

    void callOrder()
    {
        QFETCH(Fault, fault);
        QFETCH(bool, cancel);
        QFETCH(bool, printed);
        PrintCalls::reset(fault);
        answerNextPrintDialog({filePrinter, 300, 0, pagePath(), cancel});
        QImage pixels(200, 300, QImage::Format_RGB32);
        pixels.fill(Qt::darkCyan);

        QCOMPARE(PrintJob().printTargetImage(nullptr, targetOf(pixels, 300), a4Centered), printed);
        QTEST(PrintCalls::order(), "calls");
        QCOMPARE(printedArea(QImage(pagePath())).size(), printed ? pixels.size() : QSize(0, 0));
        if (fault == Fault::None && printed) {
            TIFF* page = TIFFOpen(QFile::encodeName(pagePath()).constData(), "r");
            char* description = nullptr;
            QVERIFY(page && TIFFGetField(page, TIFFTAG_IMAGEDESCRIPTION, &description));
            QCOMPARE(QByteArray(description), QByteArray("ICM: off"));
            TIFFClose(page);
        }
    }

    // The file printer's dialog does not take a file it cannot create; it says why and stays open.
    void dialogRefusesAFileItCannotCreate()
    {
        const QString missing = directory.filePath(QStringLiteral("missing/page.tif"));
        bool stayedOpen = false;
        std::shared_ptr<MessageBoxSeen> seen;
        onNextModal([&](QWidget* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("outputPathEdit"))->setText(missing);
            seen = answerNextPrintMessage();
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            stayedOpen = dialog->isVisible();
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        QVERIFY(!PrintJob().printTargetImage(nullptr, targetOf(PloverTest::patternImage(20, 20), 300),
                                             a4Centered));
        QVERIFY(stayedOpen);
        QVERIFY(seen->text.contains(QDir::toNativeSeparators(directory.filePath(QStringLiteral("missing")))));
        QVERIFY(seen->text.contains(QStringLiteral("does not exist")));
    }

    void pageGeometry_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<PrintLayout>("layout");
        QTest::addColumn<QSize>("imagePixels");

        for (int a = 0; a < 9; ++a) {
            for (const auto orientation : {PageOrientation::Portrait, PageOrientation::Landscape}) {
                QTest::addRow("%s %s", qPrintable(alignmentName(PrintAlignment(a))),
                              orientation == PageOrientation::Portrait ? "portrait" : "landscape")
                    << 300 << layoutOf(orientation, PrintAlignment(a)) << QSize(200, 300);
            }
        }
        QTest::newRow("rotated 90") << 300
                                    << layoutOf(PageOrientation::Landscape, PrintAlignment::TopRight, 90)
                                    << QSize(200, 300);
        QTest::newRow("larger than the page") << 300 << a4Centered << QSize(600, 800);
        QTest::newRow("A3+ landscape")
            << 300 << layoutOf(PageOrientation::Landscape, PrintAlignment::CenterLeft, 0, "DIN A3+")
            << QSize(200, 300);
        const auto bottomRight = layoutOf(PageOrientation::Portrait, PrintAlignment::BottomRight);
        for (const int dpi : {360, 600, 720})
            QTest::addRow("%d dpi", dpi) << dpi << bottomRight << QSize(200, 300);
    }

    // A target of 50 dpi has 6, 7.2, 12 or 14.4 device pixels per image pixel: nearest neighbour at work.
    void pageGeometry()
    {
        QFETCH(int, dpi);
        QFETCH(PrintLayout, layout);
        QFETCH(QSize, imagePixels);
        answerDialog(dpi);
        const TargetImage target =
            targetOf(PloverTest::patternImage(imagePixels.width(), imagePixels.height()), 50);

        QVERIFY(PrintJob().printTargetImage(nullptr, target, layout));

        // The page file is the sheet at its physical size: device pixels and the device resolution.
        const QImage page(pagePath());
        const QSizeF sheetMm = sheetSizeMm(layout.paper, layout.orientation);
        QCOMPARE(page.size(), QSize(devicePixels(sheetMm.width(), dpi), devicePixels(sheetMm.height(), dpi)));
        QCOMPARE(page.dotsPerMeterX(), qRound(dpi / 0.0254));
        QCOMPARE(page.dotsPerMeterY(), qRound(dpi / 0.0254));

        const int margin = devicePixels(3.0, dpi);
        const QRect printable = page.rect().adjusted(margin, margin, -margin, -margin);
        const QRect placed = expectedPlacement(page, dpi, target, layout);
        QCOMPARE(printedArea(page), placed & printable);

        // Each corner pixel of the image (all four differ) lands on its corner of the placement, after the
        // layout's clockwise turn.
        const QImage shown = target.image.transformed(QTransform().rotate(layout.rotationDegrees));
        for (const QPoint& corner : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
            const QPoint onPage(corner.x() ? placed.right() : placed.left(),
                                corner.y() ? placed.bottom() : placed.top());
            if (printable.contains(onPage))
                QCOMPARE(page.pixel(onPage),
                         shown.pixel(corner.x() * (shown.width() - 1), corner.y() * (shown.height() - 1)));
        }
    }

    // A target at the printer's resolution reaches the page byte for byte, whatever its alpha.
    void unchangedPixels()
    {
        answerDialog(360);
        QImage pixels(301, 203, QImage::Format_ARGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < pixels.height(); ++y)
            random.fillRange(reinterpret_cast<quint32*>(pixels.scanLine(y)), pixels.width());
        const TargetImage target = targetOf(pixels, 360);

        QVERIFY(PrintJob().printTargetImage(nullptr, target, a4Centered));

        const QImage page = QImage(pagePath()).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(page.dotsPerMeterX(), qRound(360 / 0.0254));
        pixels.reinterpretAsFormat(QImage::Format_RGB32);
        QCOMPARE(page.copy(expectedPlacement(page, 360, target, a4Centered)), pixels);
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
