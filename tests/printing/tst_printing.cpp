#include "layout/placement_geometry.h"
#include "printing/gdi_print_job.h"
#include "printing/print_exception.h"
#include "printing/print_job.h"
#include "printing/virtual_printer.h"
#include "tests/support/image_files.h"
#include "tests/support/modal_answer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>
#include <cmath>
#include <functional>

using namespace Plover;
namespace Virtual = Plover::VirtualPrinter;
using SettingsChange = std::function<void(Virtual::Settings&)>;

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
Q_DECLARE_METATYPE(SettingsChange)

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
        Virtual::Settings settings;
        settings.dpi = 300;
        settings.outputPath = pagePath();
        Virtual::configure(settings);
        Virtual::clearCallLog();
    }

    void cleanup() { QCOMPARE(Virtual::openHandleCount(), 0); }

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
        QVERIFY(Virtual::callLog().isEmpty());
    }

    void callSequence_data()
    {
        QTest::addColumn<SettingsChange>("fault");
        QTest::addColumn<QString>("calls"); // one call a line
        QTest::addColumn<bool>("printed");

        // The calls of an A4 job of 2000 x 3000 pixels at 300 dpi on a 300 dpi printer.
        const QString dialog =
            "PrintDlgW({lStructSize=120,hwndOwner=null,hDevMode=null,hDevNames=null,hDC=null,"
            "Flags=0x4010C,nFromPage=1,nToPage=1,nMinPage=1,nMaxPage=1,nCopies=0}) -> ";
        const QString applyMode = "GlobalLock(hDevMode) -> pointer\nGlobalUnlock(hDevMode) -> 0\n";
        const QString resetDc =
            "GlobalLock(hDevMode) -> pointer\nResetDCW(hdc,{dmFields=0x2D03,dmOrientation=1,"
            "dmPaperSize=9,dmPaperLength=0,dmPaperWidth=0,dmPrintQuality=300,"
            "dmYResolution=300}) -> hdc\nGlobalUnlock(hDevMode) -> 0\n";
        const QString icmOff = "SetICMMode(hdc,ICM_OFF) -> 1\n";
        const QString startDoc = "StartDocW(hdc,{cbSize=40,lpszDocName=\"Plover\",lpszOutput=null,"
                                 "lpszDatatype=null,fwType=0}) -> ";
        const QString page =
            "StartPage(hdc) -> 1\nGetDeviceCaps(hdc,LOGPIXELSX) -> %1\n"
            "GetDeviceCaps(hdc,LOGPIXELSY) -> %2\nGetDeviceCaps(hdc,PHYSICALOFFSETX) -> 35\n"
            "GetDeviceCaps(hdc,PHYSICALOFFSETY) -> 35\nGetDeviceCaps(hdc,PHYSICALWIDTH) -> 2480\n"
            "GetDeviceCaps(hdc,PHYSICALHEIGHT) -> 3508\n";
        const QString draw =
            "SetStretchBltMode(hdc,COLORONCOLOR) -> BLACKONWHITE\nStretchDIBits(hdc,205,219,2000,"
            "3000,0,0,2000,3000,bits,{biSize=40,biWidth=2000,biHeight=-3000,biPlanes=1,"
            "biBitCount=32,biCompression=BI_RGB,biSizeImage=0,biXPelsPerMeter=0,"
            "biYPelsPerMeter=0,biClrUsed=0,biClrImportant=0},DIB_RGB_COLORS,SRCCOPY) -> 3000\n";
        const QString endPage = "EndPage(hdc) -> 1\nEndDoc(hdc) -> 1\n";
        const QString freeHandles = "GlobalFree(hDevMode) -> null\nGlobalFree(hDevNames) -> null";
        const QString opened = dialog + "1\n" + applyMode + resetDc + icmOff;
        const QString started = opened + startDoc + "1\n";
        const QString release = "DeleteDC(hdc) -> 1\n" + freeHandles;

        QTest::newRow("printed") << SettingsChange()
                                 << started + page.arg(300).arg(300) + draw + endPage + release << true;
        QTest::newRow("dialog cancelled")
            << SettingsChange([](auto& s) { s.confirm = false; }) << dialog + "0" << false;
        QTest::newRow("no device context") << SettingsChange([](auto& s) { s.returnDeviceContext = false; })
                                           << dialog + "1\n" + applyMode + freeHandles << false;
        QTest::newRow("no device mode")
            << SettingsChange([](auto& s) { s.returnDeviceMode = false; })
            << dialog + "1\n" + icmOff + startDoc + "1\n" + page.arg(300).arg(300) + draw + endPage +
                   "DeleteDC(hdc) -> 1\nGlobalFree(hDevNames) -> null"
            << true;
        QTest::newRow("document start fails")
            << SettingsChange([](auto& s) { s.outputPath.replace("page.tif", "missing/page.tif"); })
            << opened + startDoc + "-1\n" + release << false;
        QTest::newRow("page start fails")
            << SettingsChange([](auto& s) { s.failStartPage = true; })
            << started + "StartPage(hdc) -> -1\nEndDoc(hdc) -> 1\n" + release << false;
        QTest::newRow("no horizontal resolution")
            << SettingsChange([](auto& s) { s.zeroLogPixelsX = true; })
            << started + page.arg(0).arg(300) + endPage + release << false;
        QTest::newRow("no vertical resolution")
            << SettingsChange([](auto& s) { s.zeroLogPixelsY = true; })
            << started + page.arg(300).arg(0) + endPage + release << false;
    }

    void callSequence()
    {
        QFETCH(SettingsChange, fault);
        QFETCH(QString, calls);
        Virtual::Settings settings = Virtual::settings();
        if (fault)
            fault(settings);
        Virtual::configure(settings);
        QImage pixels(2000, 3000, QImage::Format_RGB32);
        pixels.fill(Qt::darkCyan);

        QTEST(PrintJob().printTargetImage(nullptr, targetOf(pixels, 300), a4Centered), "printed");
        QCOMPARE(Virtual::callLog(), calls.split(u'\n'));
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
        Virtual::Settings settings = Virtual::settings();
        settings.dpi = dpi;
        // Paper and orientation left in the dialog that the layout must override.
        settings.paperSize = DMPAPER_A2;
        settings.orientation = DMORIENT_LANDSCAPE;
        Virtual::configure(settings);
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

    // The one job through the dialog: a non-default resolution and another file are chosen there, and a
    // target at that resolution reaches the page byte for byte.
    void dialogChoiceAndUnchangedPixels()
    {
        Virtual::useDialog();
        QWidget owner;
        owner.show();
        const QString chosenPath = directory.filePath(QStringLiteral("chosen.tif"));
        PloverTest::onNextModal([&](QWidget* dialog) {
            auto* resolution = dialog->findChild<QComboBox*>(QStringLiteral("resolutionChooser"));
            resolution->setCurrentIndex(resolution->findText(QStringLiteral("360 dpi")));
            dialog->findChild<QLineEdit*>(QStringLiteral("outputPathEdit"))->setText(chosenPath);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        // Random colours with random alpha: the fourth byte must not matter.
        QImage pixels(301, 203, QImage::Format_ARGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < pixels.height(); ++y)
            random.fillRange(reinterpret_cast<quint32*>(pixels.scanLine(y)), pixels.width());
        const TargetImage target = targetOf(pixels, 360);

        QVERIFY(PrintJob().printTargetImage(&owner, target, a4Centered));

        QVERIFY(Virtual::callLog().first().contains(QStringLiteral("hwndOwner=window")));
        const QImage page = QImage(chosenPath).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(page.dotsPerMeterX(), qRound(360 / 0.0254));
        pixels.reinterpretAsFormat(QImage::Format_RGB32);
        QCOMPARE(page.copy(expectedPlacement(page, 360, target, a4Centered)), pixels);
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
