#include "layout/placement_geometry.h"
#include "printing/gdi_print_job.h"
#include "printing/print_exception.h"
#include "printing/print_job.h"
#include "printing/virtual_printer.h"
#include "tests/support/modal_answer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <tiffio.h>

using namespace Plover;
namespace Virtual = Plover::VirtualPrinter;

namespace {

// The page as it came out of the printer.
struct Page
{
    QImage pixels; // RGB888
    float xResolution = 0;
    float yResolution = 0;
    quint16 resolutionUnit = 0;
};

Page readPage(const QString& path)
{
    Page page;
    TIFF* file = TIFFOpen(QFile::encodeName(path).constData(), "r");
    if (!file)
        return page;
    quint32 width = 0;
    quint32 height = 0;
    quint16 samples = 0;
    quint16 bits = 0;
    TIFFGetField(file, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(file, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(file, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(file, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(file, TIFFTAG_XRESOLUTION, &page.xResolution);
    TIFFGetField(file, TIFFTAG_YRESOLUTION, &page.yResolution);
    TIFFGetField(file, TIFFTAG_RESOLUTIONUNIT, &page.resolutionUnit);
    if (samples == 3 && bits == 8) {
        page.pixels = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB888);
        for (quint32 y = 0; y < height; ++y)
            TIFFReadScanline(file, page.pixels.scanLine(static_cast<int>(y)), y, 0);
    }
    TIFFClose(file);
    return page;
}

// The smallest rectangle holding every pixel that is not paper white.
QRect printedArea(const QImage& page)
{
    int left = page.width(), top = page.height(), right = -1, bottom = -1;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* line = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x) {
            if (line[3 * x] != 255 || line[3 * x + 1] != 255 || line[3 * x + 2] != 255) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

PaperSize paperNamed(const QString& name)
{
    for (const PaperSize& paper : paperSizes()) {
        if (paper.name == name)
            return paper;
    }
    return {};
}

PrintLayout layoutOf(const QString& paper, PageOrientation orientation, PrintAlignment alignment,
                     int rotation = 0)
{
    return {paperNamed(paper), orientation, alignment, rotation};
}

TargetImage targetOf(const QImage& pixels, double dpi)
{
    TargetImage target;
    target.pixelWidth = pixels.width();
    target.pixelHeight = pixels.height();
    target.dpiX = dpi;
    target.dpiY = dpi;
    target.image = pixels;
    return target;
}

const QRgb topLeftColor = qRgb(255, 0, 0);
const QRgb topRightColor = qRgb(0, 200, 0);
const QRgb bottomLeftColor = qRgb(0, 0, 255);
const QRgb bottomRightColor = qRgb(0, 0, 0);

// Four coloured quadrants, so that turns and flips show at the corners.
QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            image.setPixel(x, y,
                           bottom ? (right ? bottomRightColor : bottomLeftColor)
                                  : (right ? topRightColor : topLeftColor));
        }
    }
    return image;
}

QRgb pagePixel(const QImage& page, QPoint at)
{
    const uchar* p = page.constScanLine(at.y()) + 3 * at.x();
    return qRgb(p[0], p[1], p[2]);
}

int devicePixels(double mm, int dpi)
{
    return static_cast<int>(std::lround(mm / 25.4 * dpi));
}

QStringList jobStart(bool withDeviceMode)
{
    QStringList calls{QStringLiteral("PrintDlgW({lStructSize=120,hwndOwner=null,hDevMode=null,hDevNames=null,"
                                     "hDC=null,Flags=0x4010C,nFromPage=1,nToPage=1,nMinPage=1,nMaxPage=1,"
                                     "nCopies=0}) -> 1")};
    if (withDeviceMode) {
        calls << QStringLiteral("GlobalLock(hDevMode) -> pointer")
              << QStringLiteral("GlobalUnlock(hDevMode) -> 0")
              << QStringLiteral("GlobalLock(hDevMode) -> pointer")
              << QStringLiteral("ResetDCW(hdc,{dmFields=0x2D03,dmOrientation=1,dmPaperSize=9,dmPaperLength=0,"
                                "dmPaperWidth=0,dmPrintQuality=300,dmYResolution=300}) -> hdc")
              << QStringLiteral("GlobalUnlock(hDevMode) -> 0");
    }
    return calls << QStringLiteral("SetICMMode(hdc,ICM_OFF) -> 1");
}

QStringList deviceCaps(int logPixelsX, int logPixelsY)
{
    return {QStringLiteral("GetDeviceCaps(hdc,LOGPIXELSX) -> %1").arg(logPixelsX),
            QStringLiteral("GetDeviceCaps(hdc,LOGPIXELSY) -> %1").arg(logPixelsY),
            QStringLiteral("GetDeviceCaps(hdc,PHYSICALOFFSETX) -> 35"),
            QStringLiteral("GetDeviceCaps(hdc,PHYSICALOFFSETY) -> 35"),
            QStringLiteral("GetDeviceCaps(hdc,PHYSICALWIDTH) -> 2480"),
            QStringLiteral("GetDeviceCaps(hdc,PHYSICALHEIGHT) -> 3508")};
}

const QString startDoc = QStringLiteral("StartDocW(hdc,{cbSize=40,lpszDocName=\"Plover\",lpszOutput=null,"
                                        "lpszDatatype=null,fwType=0})");
const QString stretch = QStringLiteral(
    "StretchDIBits(hdc,205,219,2000,3000,0,0,2000,3000,bits,{biSize=40,biWidth=2000,biHeight=-3000,biPlanes="
    "1,"
    "biBitCount=32,biCompression=BI_RGB,biSizeImage=0,biXPelsPerMeter=0,biYPelsPerMeter=0,biClrUsed=0,"
    "biClrImportant=0},DIB_RGB_COLORS,SRCCOPY) -> 3000");
const QStringList release{QStringLiteral("DeleteDC(hdc) -> 1"),
                          QStringLiteral("GlobalFree(hDevMode) -> null"),
                          QStringLiteral("GlobalFree(hDevNames) -> null")};

enum class Fault
{
    None,
    Cancel,
    NoDeviceContext,
    NoDeviceMode,
    DocumentStartFails,
    PageStartFails,
    ZeroLogPixelsX,
    ZeroLogPixelsY,
};

} // namespace

Q_DECLARE_METATYPE(Plover::PrintLayout)
Q_DECLARE_METATYPE(Plover::PageOrientation)
Q_DECLARE_METATYPE(Fault)

class TestPrinting : public QObject
{
    Q_OBJECT

    QTemporaryDir directory;

    QString pagePath() const { return directory.filePath(QStringLiteral("page.tif")); }

    Virtual::Settings settingsAt(int dpi) const
    {
        Virtual::Settings settings;
        settings.dpi = dpi;
        settings.outputPath = pagePath();
        return settings;
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(pagePath());
        Virtual::configure(settingsAt(300));
        Virtual::clearCallLog();
    }

    void cleanup() { QCOMPARE(Virtual::openHandleCount(), 0); }

    void deviceModeSettings_data()
    {
        QTest::addColumn<QString>("paper");
        QTest::addColumn<PageOrientation>("orientation");
        QTest::addColumn<uint>("fields");
        QTest::addColumn<int>("dmOrientation");
        QTest::addColumn<int>("paperSize");
        QTest::addColumn<int>("paperWidth");
        QTest::addColumn<int>("paperLength");
        const auto portrait = PageOrientation::Portrait;
        const auto landscape = PageOrientation::Landscape;
        QTest::newRow("A4 portrait") << "DIN A4" << portrait << 0x3u << 1 << 9 << 0 << 0;
        QTest::newRow("A4 landscape") << "DIN A4" << landscape << 0x3u << 2 << 9 << 0 << 0;
        QTest::newRow("A3 landscape") << "DIN A3" << landscape << 0x3u << 2 << 8 << 0 << 0;
        QTest::newRow("A2 portrait") << "DIN A2" << portrait << 0x3u << 1 << 66 << 0 << 0;
        QTest::newRow("A3+ portrait") << "DIN A3+" << portrait << 0xDu << 1 << 0 << 3290 << 4830;
        QTest::newRow("A3+ landscape") << "DIN A3+" << landscape << 0xDu << 2 << 0 << 3290 << 4830;
        QTest::newRow("name compared exactly") << "din a4" << portrait << 0xDu << 1 << 0 << 2100 << 2970;
    }

    void deviceModeSettings()
    {
        QFETCH(QString, paper);
        QFETCH(PageOrientation, orientation);
        PaperSize paperSize = paperNamed(paper.toUpper()); // the sizes of the catalogue entry
        paperSize.name = paper;
        const DeviceModeSettings settings =
            Plover::deviceModeSettings({paperSize, orientation, PrintAlignment::Center, 0});
        QTEST(uint(settings.fields), "fields");
        QTEST(int(settings.orientation), "dmOrientation");
        QTEST(int(settings.paperSize), "paperSize");
        QTEST(int(settings.paperWidth), "paperWidth");
        QTEST(int(settings.paperLength), "paperLength");
    }

    void missingImageThrowsBeforeTheDialog()
    {
        try {
            PrintJob().printTargetImage(
                nullptr, TargetImage(),
                layoutOf("DIN A4", PageOrientation::Portrait, PrintAlignment::Center));
            QFAIL("no exception");
        } catch (const PrintException& e) {
            QCOMPARE(e.message(), QStringLiteral("No image is loaded."));
        }
        QVERIFY(Virtual::callLog().isEmpty());
    }

    void callSequence_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("printed");
        QTest::addColumn<bool>("pageFile");

        const QStringList page =
            QStringList{QStringLiteral("StartPage(hdc) -> 1")} + deviceCaps(300, 300) +
            QStringList{QStringLiteral("SetStretchBltMode(hdc,COLORONCOLOR) -> BLACKONWHITE"), stretch,
                        QStringLiteral("EndPage(hdc) -> 1")};
        const QStringList document = QStringList{startDoc + QStringLiteral(" -> 1")} + page +
                                     QStringList{QStringLiteral("EndDoc(hdc) -> 1")};
        QTest::newRow("printed") << Fault::None << jobStart(true) + document + release << true << true;
        QTest::newRow("dialog cancelled")
            << Fault::Cancel
            << QStringList{jobStart(true).first().replace(QStringLiteral("-> 1"), QStringLiteral("-> 0"))}
            << false << false;
        QTest::newRow("no device context")
            << Fault::NoDeviceContext
            << QStringList{jobStart(true).first(), QStringLiteral("GlobalLock(hDevMode) -> pointer"),
                           QStringLiteral("GlobalUnlock(hDevMode) -> 0"), release[1], release[2]}
            << false << false;
        QTest::newRow("no device mode")
            << Fault::NoDeviceMode << jobStart(false) + document + QStringList{release[0], release[2]} << true
            << true;
        QTest::newRow("document start fails")
            << Fault::DocumentStartFails
            << jobStart(true) + QStringList{startDoc + QStringLiteral(" -> -1")} + release << false << false;
        QTest::newRow("page start fails")
            << Fault::PageStartFails
            << jobStart(true) +
                   QStringList{startDoc + QStringLiteral(" -> 1"), QStringLiteral("StartPage(hdc) -> -1"),
                               QStringLiteral("EndDoc(hdc) -> 1")} +
                   release
            << false << false;
        const QStringList blankPageEnd{QStringLiteral("EndPage(hdc) -> 1"),
                                       QStringLiteral("EndDoc(hdc) -> 1")};
        QTest::newRow("no horizontal resolution")
            << Fault::ZeroLogPixelsX
            << jobStart(true) +
                   QStringList{startDoc + QStringLiteral(" -> 1"), QStringLiteral("StartPage(hdc) -> 1")} +
                   deviceCaps(0, 300) + blankPageEnd + release
            << false << true;
        QTest::newRow("no vertical resolution")
            << Fault::ZeroLogPixelsY
            << jobStart(true) +
                   QStringList{startDoc + QStringLiteral(" -> 1"), QStringLiteral("StartPage(hdc) -> 1")} +
                   deviceCaps(300, 0) + blankPageEnd + release
            << false << true;
    }

    void callSequence()
    {
        QFETCH(Fault, fault);
        Virtual::Settings settings = settingsAt(300);
        settings.confirm = fault != Fault::Cancel;
        settings.returnDeviceContext = fault != Fault::NoDeviceContext;
        settings.returnDeviceMode = fault != Fault::NoDeviceMode;
        settings.failStartPage = fault == Fault::PageStartFails;
        settings.zeroLogPixelsX = fault == Fault::ZeroLogPixelsX;
        settings.zeroLogPixelsY = fault == Fault::ZeroLogPixelsY;
        if (fault == Fault::DocumentStartFails)
            settings.outputPath = directory.filePath(QStringLiteral("missing/page.tif"));
        Virtual::configure(settings);

        QImage pixels(2000, 3000, QImage::Format_RGB32);
        pixels.fill(Qt::darkCyan);
        const bool printed = PrintJob().printTargetImage(
            nullptr, targetOf(pixels, 300),
            layoutOf("DIN A4", PageOrientation::Portrait, PrintAlignment::Center));

        QTEST(Virtual::callLog(), "calls");
        QTEST(printed, "printed");
        QTEST(QFile::exists(pagePath()), "pageFile");
        if (!printed && QFile::exists(pagePath()))
            QVERIFY(printedArea(readPage(pagePath()).pixels).isEmpty());
    }

    void pageGeometry_data()
    {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<PrintLayout>("layout");
        QTest::addColumn<QSize>("imagePixels");
        QTest::addColumn<short>("dialogPaper");

        const char* names[] = {"TopLeft",     "TopCenter",  "TopRight",     "CenterLeft", "Center",
                               "CenterRight", "BottomLeft", "BottomCenter", "BottomRight"};
        for (int a = 0; a < 9; ++a) {
            for (const auto orientation : {PageOrientation::Portrait, PageOrientation::Landscape}) {
                const bool portrait = orientation == PageOrientation::Portrait;
                QTest::addRow("%s %s", names[a], portrait ? "portrait" : "landscape")
                    << 300 << layoutOf("DIN A4", orientation, PrintAlignment(a)) << QSize(200, 300)
                    << DMPAPER_A4;
            }
        }
        QTest::newRow("rotated 90") << 300
                                    << layoutOf("DIN A4", PageOrientation::Landscape,
                                                PrintAlignment::TopRight, 90)
                                    << QSize(200, 300) << DMPAPER_A4;
        QTest::newRow("larger than the page")
            << 300 << layoutOf("DIN A4", PageOrientation::Portrait, PrintAlignment::Center) << QSize(600, 800)
            << DMPAPER_A4;
        for (const int dpi : {360, 600, 720})
            QTest::addRow("%d dpi", dpi)
                << dpi << layoutOf("DIN A4", PageOrientation::Portrait, PrintAlignment::BottomRight)
                << QSize(200, 300) << DMPAPER_A4;
        QTest::newRow("A3+ landscape")
            << 300 << layoutOf("DIN A3+", PageOrientation::Landscape, PrintAlignment::CenterLeft)
            << QSize(200, 300) << DMPAPER_A4;
        QTest::newRow("layout wins over the dialog's paper")
            << 300 << layoutOf("DIN A3", PageOrientation::Portrait, PrintAlignment::Center) << QSize(200, 300)
            << DMPAPER_A2;
    }

    // A target of 50 dpi has 6, 7.2, 12 or 14.4 device pixels per image pixel: nearest neighbour at work.
    void pageGeometry()
    {
        QFETCH(int, dpi);
        QFETCH(PrintLayout, layout);
        QFETCH(QSize, imagePixels);
        QFETCH(short, dialogPaper);
        Virtual::Settings settings = settingsAt(dpi);
        settings.paperSize = dialogPaper;
        settings.orientation = DMORIENT_LANDSCAPE;
        Virtual::configure(settings);
        const TargetImage target = targetOf(quadrants(imagePixels.width(), imagePixels.height()), 50);

        QVERIFY(PrintJob().printTargetImage(nullptr, target, layout));

        const Page page = readPage(pagePath());
        const QSizeF sheetMm = sheetSizeMm(layout.paper, layout.orientation);
        const QSize sheet(devicePixels(sheetMm.width(), dpi), devicePixels(sheetMm.height(), dpi));
        QCOMPARE(page.pixels.size(), sheet);
        QCOMPARE(page.xResolution, float(dpi));
        QCOMPARE(page.yResolution, float(dpi));
        QCOMPARE(page.resolutionUnit, quint16(RESUNIT_INCH));

        const int margin = devicePixels(3.0, dpi);
        const QRect printable(margin, margin, sheet.width() - 2 * margin, sheet.height() - 2 * margin);
        const QRect placed =
            devicePlacementRect({dpi, dpi, sheet.width(), sheet.height(), margin, margin}, target, layout)
                .translated(margin, margin);
        QCOMPARE(printedArea(page.pixels), placed & printable);

        // Where a corner of the image is on the printable area it shows the expected quadrant.
        const bool turned = layout.rotationDegrees == 90;
        const QRgb corners[] = {
            turned ? bottomLeftColor : topLeftColor, turned ? topLeftColor : topRightColor,
            turned ? bottomRightColor : bottomLeftColor, turned ? topRightColor : bottomRightColor};
        const QPoint points[] = {placed.topLeft(), placed.topRight(), placed.bottomLeft(),
                                 placed.bottomRight()};
        for (int i = 0; i < 4; ++i) {
            if (printable.contains(points[i]))
                QCOMPARE(pagePixel(page.pixels, points[i]), corners[i]);
        }
    }

    void pixelsArriveUnchanged_data()
    {
        QTest::addColumn<int>("deviceDpi");
        QTest::addColumn<int>("imageDpi");
        QTest::newRow("300 on 300") << 300 << 300;
        QTest::newRow("720 on 720") << 720 << 720;
        QTest::newRow("300 on 600, each pixel twice") << 600 << 300;
    }

    void pixelsArriveUnchanged()
    {
        QFETCH(int, deviceDpi);
        QFETCH(int, imageDpi);
        Virtual::configure(settingsAt(deviceDpi));
        // Random colours with random alpha: the fourth byte must not matter.
        QImage pixels(301, 203, QImage::Format_ARGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < pixels.height(); ++y)
            random.fillRange(reinterpret_cast<quint32*>(pixels.scanLine(y)), pixels.width());
        const TargetImage target = targetOf(pixels, imageDpi);
        const PrintLayout layout = layoutOf("DIN A4", PageOrientation::Portrait, PrintAlignment::Center);

        QVERIFY(PrintJob().printTargetImage(nullptr, target, layout));

        const Page page = readPage(pagePath());
        const int margin = devicePixels(3.0, deviceDpi);
        const QRect placed = devicePlacementRect({deviceDpi, deviceDpi, page.pixels.width(),
                                                  page.pixels.height(), margin, margin},
                                                 target, layout)
                                 .translated(margin, margin);
        const int scale = deviceDpi / imageDpi;
        QCOMPARE(placed.size(), pixels.size() * scale);
        for (int y = 0; y < placed.height(); ++y) {
            for (int x = 0; x < placed.width(); ++x) {
                const QRgb expected = pixels.pixel(x / scale, y / scale) | 0xFF000000u;
                if (pagePixel(page.pixels, placed.topLeft() + QPoint(x, y)) != expected)
                    QFAIL(qPrintable(QStringLiteral("page pixel %1,%2 differs").arg(x).arg(y)));
            }
        }
    }

    void dialogChoosesResolutionAndFile()
    {
        Virtual::useDialog();
        QWidget owner;
        owner.show();
        const QString chosenPath = directory.filePath(QStringLiteral("chosen.tif"));
        QString title;
        QWidget* dialogParent = nullptr;
        QString printer;
        PloverTest::onNextModal([&](QWidget* dialog) {
            title = dialog->windowTitle();
            dialogParent = dialog->parentWidget();
            printer = dialog->findChild<QComboBox*>(QStringLiteral("printerChooser"))->currentText();
            auto* resolution = dialog->findChild<QComboBox*>(QStringLiteral("resolutionChooser"));
            resolution->setCurrentIndex(resolution->findText(QStringLiteral("360 dpi")));
            dialog->findChild<QLineEdit*>(QStringLiteral("outputPathEdit"))->setText(chosenPath);
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        QImage pixels(100, 100, QImage::Format_RGB32);
        pixels.fill(Qt::black);

        QVERIFY(PrintJob().printTargetImage(
            &owner, targetOf(pixels, 100),
            layoutOf("DIN A4", PageOrientation::Portrait, PrintAlignment::Center)));

        QCOMPARE(title, QStringLiteral("Print"));
        QCOMPARE(dialogParent, &owner);
        QCOMPARE(printer, QStringLiteral("Plover Virtual Printer (TIFF file)"));
        QVERIFY(Virtual::callLog().first().contains(QStringLiteral("hwndOwner=window")));
        const Page page = readPage(chosenPath);
        QCOMPARE(page.xResolution, 360.0f);
        QCOMPARE(page.pixels.size(), QSize(devicePixels(210, 360), devicePixels(297, 360)));
        QCOMPARE(printedArea(page.pixels).size(), QSize(360, 360));
    }
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
