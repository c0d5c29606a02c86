// The real Windows print job end to end: printWithGdi on Wine's GDI and PostScript driver, onto the
// private CUPS queue of gdi_print_system.sh, whose filter rasterises each page with Ghostscript.
#include "layout/placement_geometry.h"
#include "printing/gdi_print_job.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTimer>
#include <QtTest>

using namespace Plover;

namespace {

// What the default printer's device context reports once the job's paper and orientation are set.
DevicePageMetrics printerMetrics(const PrintLayout& layout)
{
    PRINTDLGW request{};
    request.lStructSize = sizeof(PRINTDLGW);
    request.Flags = PD_RETURNDEFAULT | PD_RETURNDC;
    if (!PrintDlgW(&request))
        return {};
    auto* mode = static_cast<DEVMODEW*>(GlobalLock(request.hDevMode));
    applyDeviceModeSettings(*mode, deviceModeSettings(layout)); // as the job sets them
    ResetDCW(request.hDC, mode);
    GlobalUnlock(request.hDevMode);
    const auto caps = [&request](int index) {
        return GetDeviceCaps(request.hDC, index);
    };
    const DevicePageMetrics device{caps(LOGPIXELSX),     caps(LOGPIXELSY),      caps(PHYSICALWIDTH),
                                   caps(PHYSICALHEIGHT), caps(PHYSICALOFFSETX), caps(PHYSICALOFFSETY)};
    DeleteDC(request.hDC);
    GlobalFree(request.hDevMode);
    GlobalFree(request.hDevNames);
    return device;
}

// 2 x 1.5 inches by default: one colour, its top left quarter another; red and blue differ in both.
TargetImage target(int width = 200, int height = 150)
{
    TargetImage image;
    image.image = QImage(width, height, QImage::Format_RGB32);
    image.image.fill(QColor(30, 90, 200));
    QPainter(&image.image).fillRect(0, 0, width / 2, height / 2, QColor(220, 120, 20));
    image.pixelWidth = image.image.width();
    image.pixelHeight = image.image.height();
    image.dpiX = image.dpiY = 100.0;
    return image;
}

QRect inkBounds(const QImage& sheet)
{
    QRect bounds;
    for (int y = 0; y < sheet.height(); ++y) {
        for (int x = 0; x < sheet.width(); ++x) {
            if (qGray(sheet.pixel(x, y)) < 240)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

// Every edge within two device pixels.
bool closeTo(const QRect& a, const QRect& b)
{
    return a.adjusted(-2, -2, 2, 2).contains(b) && b.adjusted(-2, -2, 2, 2).contains(a);
}

QString printedFolder()
{
    return qEnvironmentVariable("PLOVER_PAGES") + QStringLiteral("/printed");
}

// The sheets of the next job, once Ghostscript has rendered all of them.
QList<QImage> printedSheets()
{
    QList<QImage> sheets;
    if (!QTest::qWaitFor([] { return QFileInfo::exists(printedFolder()); }, 60000))
        return sheets;
    for (int page = 1; QFile::exists(printedFolder() + QStringLiteral("/page-%1.png").arg(page)); ++page)
        sheets << QImage(printedFolder() + QStringLiteral("/page-%1.png").arg(page));
    return sheets;
}

// Wine's print dialog is the one standard dialog window in the test's own Wine prefix: OK it.
struct DialogAnswer
{
    QTimer timer;
    DialogAnswer()
    {
        QDir(printedFolder()).removeRecursively();
        QObject::connect(&timer, &QTimer::timeout, [] {
            if (HWND dialog = FindWindowW(L"#32770", nullptr))
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        timer.start(50);
    }
};

// The image at its size, at `where` across and down the sheet's free room, in its own colours.
void checkSheet(QImage sheet, const TargetImage& image, const PrintLayout& layout, QPointF where)
{
    const DevicePageMetrics device = printerMetrics(layout);
    // Wine lays a landscape sheet onto the portrait page turned a quarter anticlockwise (Plus90).
    if (layout.orientation == PageOrientation::Landscape)
        sheet = sheet.transformed(QTransform().rotate(90));

    const QImage turned = image.image.transformed(QTransform().rotate(layout.rotationDegrees));
    const QSize size(qRound(turned.width() / image.dpiX * device.logPixelsX),
                     qRound(turned.height() / image.dpiY * device.logPixelsY));
    const QRect onSheet(qRound(where.x() * (device.physicalWidth - size.width())),
                        qRound(where.y() * (device.physicalHeight - size.height())), size.width(),
                        size.height());
    const QRect placed =
        devicePlacementRect(device, image, layout).translated(device.physicalOffsetX, device.physicalOffsetY);
    const QRect printed = inkBounds(sheet);
    qInfo() << device.logPixelsX << "dpi, sheet" << device.physicalWidth << device.physicalHeight << "offsets"
            << device.physicalOffsetX << device.physicalOffsetY << "placed" << placed << "printed" << printed;
    QVERIFY(closeTo(printed, placed));
    QVERIFY(closeTo(printed, onSheet));

    // The quarters keep their colours, unmanaged, and their places in the turned image.
    for (const QPointF at :
         {QPointF(0.25, 0.25), QPointF(0.75, 0.25), QPointF(0.25, 0.75), QPointF(0.75, 0.75)}) {
        const QColor want = turned.pixelColor(int(at.x() * turned.width()), int(at.y() * turned.height()));
        const QColor got = sheet.pixelColor(printed.x() + int(at.x() * printed.width()),
                                            printed.y() + int(at.y() * printed.height()));
        QVERIFY(qAbs(want.red() - got.red()) + qAbs(want.green() - got.green()) +
                    qAbs(want.blue() - got.blue()) <=
                6);
    }
}

} // namespace

class TestGdiPrint : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void printsAtPlace_data();
    void printsAtPlace();
    void printsSetInOneDocument_data();
    void printsSetInOneDocument();
};

void TestGdiPrint::printsAtPlace_data()
{
    QTest::addColumn<PrintLayout>("layout");
    QTest::addColumn<QPointF>("where"); // how far across and down the sheet's free room the image sits
    const PaperSize a4 = paperSizes().front();
    QTest::newRow("portrait, centre")
        << PrintLayout{a4, PageOrientation::Portrait, PrintAlignment::Center, 0} << QPointF(0.5, 0.5);
    QTest::newRow("landscape, bottom right, turned")
        << PrintLayout{a4, PageOrientation::Landscape, PrintAlignment::BottomRight, 90} << QPointF(1.0, 1.0);
}

void TestGdiPrint::printsAtPlace()
{
    QFETCH(PrintLayout, layout);
    QFETCH(QPointF, where);
    const TargetImage image = target();
    {
        const DialogAnswer answer;
        QVERIFY(printWithGdi(nullptr, image, layout));
    }
    const QList<QImage> sheets = printedSheets();
    QCOMPARE(sheets.size(), 1);
    checkSheet(sheets[0], image, layout, where);
}

// Two pages of a set in one document, a sheet each, each target at its own size; what the job reports
// it printed on is what the print record keeps. A printer handed to the dialog that is gone leaves the
// dialog on the default one.
void TestGdiPrint::printsSetInOneDocument_data()
{
    QTest::addColumn<QString>("preset");
    QTest::newRow("system's default") << QString();
    QTest::newRow("the printer named") << QStringLiteral("plover-ps");
    QTest::newRow("a printer gone") << QStringLiteral("Plover Gone Printer");
}

void TestGdiPrint::printsSetInOneDocument()
{
    QFETCH(QString, preset);
    const PrintLayout layout{paperSizes().front(), PageOrientation::Portrait, PrintAlignment::Center, 0};
    const QList<TargetImage> targets{target(), target(300, 100)};
    std::optional<PrintedDocument> printed;
    {
        const DialogAnswer answer;
        printed = printWithGdi(
            nullptr, 2, [&targets](int page) { return targets.at(page); }, layout);
    }
    QVERIFY(printed);
    QCOMPARE(printed->printer, QStringLiteral("plover-ps"));
    QCOMPARE(printed->resolution, QSize(300, 300));
    QVERIFY(printed->icmOff);
    QCOMPARE(QPoint(printed->firstPage, printed->lastPage), QPoint(1, 2));
    const QList<QImage> sheets = printedSheets();
    QCOMPARE(sheets.size(), 2);
    for (int page = 0; page < 2; ++page)
        checkSheet(sheets[page], targets[page], layout, QPointF(0.5, 0.5));
}

QTEST_GUILESS_MAIN(TestGdiPrint)
#include "tst_gdi_print.moc"
