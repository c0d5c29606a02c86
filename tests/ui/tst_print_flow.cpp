#include "imaging/image_loader.h"
#include "layout/placement_geometry.h"
#include "layout/print_record.h"
#include "tests/support/modal_answer.h"
#include "window_test.h"

#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <cups/cups.h>
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

using namespace PloverTest;
using namespace Plover;

namespace {

const QString queue = QStringLiteral("plover-test");
const QStringList jobEnded{QStringLiteral("canceled"), QStringLiteral("aborted"),
                           QStringLiteral("completed")};

// Where a queue's pages end up: the PWG printer keeps each document beside the job attributes it
// received, the driver queues' last filter keeps the CUPS raster beside its arguments.
bool isDriverQueue(const QString& name)
{
    return name != queue;
}

QString storeOf(const QString& name)
{
    return qEnvironmentVariable("PLOVER_PRINT_SYSTEM") + (isDriverQueue(name) ? "/captured" : "/printer");
}

QStringList storedJobs(const QString& name)
{
    return QDir(storeOf(name))
        .entryList({isDriverQueue(name) ? "*.args" : "*.attributes"}, QDir::Files,
                   QDir::Time | QDir::Reversed);
}

// The scheduler's last job on the queue: its id, state, print-scaling, cm-calibration and copies.
QStringList lastSchedulerJob(const QString& name = queue)
{
    cups_job_t* jobs = nullptr;
    const int count =
        cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, name.toUtf8().constData(), 0, CUPS_WHICHJOBS_ALL);
    int last = 0;
    for (int i = 0; i < count; ++i)
        last = std::max(last, jobs[i].id);
    cupsFreeJobs(count, jobs);
    QStringList job{QString::number(last)};
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr,
                 ("ipp://localhost/jobs/" + QByteArray::number(last)).constData());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    for (const char* attribute : {"job-state", "print-scaling", "cm-calibration", "copies"}) {
        char value[64] = "";
        if (ipp_attribute_t* a = ippFindAttribute(response, attribute, IPP_TAG_ZERO))
            ippAttributeString(a, value, sizeof value);
        job << QString::fromLatin1(value);
    }
    ippDelete(response);
    return job;
}

// What the printer received last: the raster's first page header, its count of pages, and for each
// page with a crop the smallest rectangle holding every pixel that is not paper white, and the pixels
// within its crop as 8-bit RGB.
struct ReceivedPage
{
    cups_page_header2_t header{};
    int pages = 0;
    QList<QRect> printed;
    QList<QImage> crop;
    QString job; // the attributes the printer got, or the filter's arguments a line each
};

ReceivedPage lastReceivedPage(const QString& name, int jobsBefore, const QList<QRect>& crops)
{
    ReceivedPage received;
    // A job that ended without a page fails at once rather than after the longest render.
    for (int seconds = 0, over = 0;
         !QTest::qWaitFor([&] { return storedJobs(name).size() > jobsBefore; }, 1000);) {
        if (over || ++seconds > 300)
            return received;
        over = jobEnded.contains(lastSchedulerJob(name)[1]);
    }
    QFile stored(storeOf(name) + '/' + storedJobs(name).last());
    stored.open(QIODevice::ReadOnly);
    received.job = QString::fromUtf8(stored.readAll());
    const QString path =
        isDriverQueue(name) ? stored.fileName().chopped(5) + ".ras" : stored.fileName().chopped(11);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
    cups_page_header2_t header;
    while (raster && cupsRasterReadHeader2(raster, &header)) {
        const int bytes = int(header.cupsBitsPerColor) / 8; // samples of 16 bits are in host order
        std::vector<uchar> line(header.cupsBytesPerLine), rgb(size_t(header.cupsWidth) * 3);
        const int page = received.pages++;
        const QRect crop = crops.value(page);
        if (page == 0)
            received.header = header;
        if (page < crops.size()) {
            received.printed << QRect();
            received.crop << QImage(crop.size(), QImage::Format_RGB888);
            received.crop.last().fill(Qt::black);
        }
        for (int y = 0; y < int(header.cupsHeight); ++y) {
            cupsRasterReadPixels(raster, line.data(), header.cupsBytesPerLine);
            if (page >= crops.size() || header.cupsBitsPerPixel != 3 * header.cupsBitsPerColor || !bytes ||
                header.cupsColorOrder != CUPS_ORDER_CHUNKED)
                continue;
            for (size_t i = 0; i < rgb.size(); ++i)
                rgb[i] = bytes == 2 ? uchar(reinterpret_cast<const quint16*>(line.data())[i] >> 8) : line[i];
            for (int x = 0; x < int(header.cupsWidth); ++x) {
                if ((rgb[3 * x] & rgb[3 * x + 1] & rgb[3 * x + 2]) != 0xff)
                    received.printed[page] |= QRect(x, y, 1, 1);
            }
            const QRect row = QRect(0, y, int(header.cupsWidth), 1) & crop;
            if (!row.isEmpty())
                std::memcpy(received.crop[page].scanLine(y - crop.y()) + 3 * (row.x() - crop.x()),
                            rgb.data() + 3 * row.x(), size_t(3 * row.width()));
        }
    }
    cupsRasterClose(raster);
    ::close(fd);
    QFile::remove(path); // a page at 1440 dpi takes hundreds of megabytes
    return received;
}

// The sheet in device pixels and its unprintable margins, as the destination describes them: the
// PWG printer in hundredths of millimetres (3 mm left and right, 5 mm top and bottom), the PPDs in
// whole points (ours 9 pt left and right, 14 pt top, 34 pt bottom; Gutenprint's none).
std::pair<QSize, QMargins> sheetOf(const QString& name, const QSizeF& mm, const QSize& dpi)
{
    if (!isDriverQueue(name)) {
        const auto x = [&](double v) {
            return int(std::lround(v / 25.4 * dpi.width()));
        };
        const auto y = [&](double v) {
            return int(std::lround(v / 25.4 * dpi.height()));
        };
        return {{x(mm.width()), y(mm.height())}, {x(3), y(5), x(3), y(5)}};
    }
    const auto x = [&](double pt) {
        return int(std::lround(pt / 72 * dpi.width()));
    };
    const auto y = [&](double pt) {
        return int(std::lround(pt / 72 * dpi.height()));
    };
    const auto points = [](double v) {
        return std::round(v / 25.4 * 72);
    };
    const QMargins margins =
        name == QLatin1String("plover-driver") ? QMargins(x(9), y(14), x(9), y(34)) : QMargins();
    return {{x(points(mm.width())), y(points(mm.height()))}, margins};
}

// Presses Cancel on the progress dialog once it shows some of the page sent.
void pressCancelWhenSending(bool* pressed, QObject* context)
{
    onNextModal(
        [=](QWidget* modal) {
            auto* progress = qobject_cast<QProgressDialog*>(modal);
            auto* cancel = progress ? progress->findChild<QPushButton*>() : nullptr;
            if (!cancel || progress->value() <= 0)
                return pressCancelWhenSending(pressed, context);
            *pressed = true;
            cancel->click();
        },
        context);
}

class TestPrintFlow : public QObject
{
    Q_OBJECT

    TargetFiles files;

private Q_SLOTS:
    void init() { clearStore(); }

    // From the window onto each kind of CUPS queue: the PWG printer, and driver queues whose PDF
    // Ghostscript renders by the PPD's choices. The page arrives at the resolution chosen, always
    // portrait, the target where the layout puts it on the destination's own sheet, the job's options
    // as sent.
    void printedPageHoldsTheTargetAtItsSize_data()
    {
        QTest::addColumn<QString>("printer");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<int>("paper");
        QTest::addColumn<QSize>("dpi");
        QTest::addColumn<QSize>("targetDpi");
        const QString driver = QStringLiteral("plover-driver"),
                      gutenprint = QStringLiteral("plover-gutenprint");
        const QSize d600(600, 600), d720(720, 720), d1440(1440, 1440), d100(100, 100), d150(150, 150);
        QTest::newRow("centre, portrait, 600 dpi target") << queue << 4 << false << 0 << d600 << d600;
        QTest::newRow("centre, landscape, 720 dpi target") << queue << 4 << true << 0 << d720 << d720;
        QTest::newRow("top left, portrait") << queue << 0 << false << 0 << d600 << d100;
        QTest::newRow("bottom right, landscape") << queue << 8 << true << 0 << d600 << d100;
        QTest::newRow("top right, portrait") << queue << 2 << false << 0 << d720 << d150;
        QTest::newRow("bottom left, landscape") << queue << 6 << true << 0 << d720 << d150;
        QTest::newRow("DIN A3, centre left, landscape") << queue << 3 << true << 1 << d600 << d100;
        QTest::newRow("driver, top left, 720 dpi") << driver << 0 << false << 0 << d720 << d720;
        QTest::newRow("driver, top left, landscape, 1440 dpi") << driver << 0 << true << 0 << d1440 << d1440;
        QTest::newRow("driver, DIN A3, centre, 720 dpi, 150 dpi target")
            << driver << 4 << false << 1 << d720 << d150;
        QTest::newRow("Gutenprint, bottom left, 1440 dpi") << gutenprint << 6 << false << 0 << d1440 << d1440;
        // The target turns onto the sheet: its 720 dpi across run down the sheet's 720 dpi.
        QTest::newRow("Gutenprint, top right, landscape, 1440 x 720 dpi")
            << gutenprint << 2 << true << 0 << QSize(1440, 720) << QSize(720, 1440);
    }

    void printedPageHoldsTheTargetAtItsSize()
    {
        QFETCH(QString, printer);
        QFETCH(int, alignment);
        QFETCH(bool, landscape);
        QFETCH(int, paper);
        QFETCH(QSize, dpi);
        QFETCH(QSize, targetDpi);
        // About the same millimetres at every resolution, so that no margin hides a whole target.
        const int scale = std::max(targetDpi.width(), targetDpi.height()) >= 1440 ? 3 : 1;
        const QString file =
            files.path(QStringLiteral("target-%1x%2.tif").arg(targetDpi.width()).arg(targetDpi.height()));
        PloverTools::writeRgbTiff(file, patternImage(300 * scale, 200 * scale), targetDpi.width(),
                                  targetDpi.height());
        MainWindow window;
        window.openImagePath(file);
        paperCombo(&window)->setCurrentIndex(paper);
        alignmentButtons(&window)[alignment]->click();
        orientationCombo(&window)->setCurrentIndex(landscape ? 1 : 0);
        const int jobs = storedJobs(printer).size();
        const QString lastJob = lastSchedulerJob(printer)[0];
        // Printed on when told the margins clip the target; any other message box is a failure to print,
        // closed so that the test goes on.
        QObject scope;
        std::shared_ptr<MessageBoxSeen> question;
        answerNextPrintDialog({printer, dpi, 2, QString()},
                              [&] { question = answerNextMessageBox(QStringLiteral("Continue"), &scope); });
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(errorBanner(&window)->isHidden());
        QVERIFY2(lastSchedulerJob(printer)[0] != lastJob, "no job was sent");

        // The sheet and its margins on the portrait sheet as the destination has them. A landscape
        // page lies on it turned clockwise, its top along the sheet's right edge.
        const auto [sheet, margins] =
            sheetOf(printer, sheetSizeMm(paperSizes()[paper], PageOrientation::Portrait), dpi);
        const QSize page = landscape ? sheet.transposed() : sheet,
                    pageDpi = landscape ? dpi.transposed() : dpi;
        const QMargins pageMargins =
            landscape ? QMargins(margins.top(), margins.right(), margins.bottom(), margins.left()) : margins;
        const PrintLayout layout{paperSizes()[paper],
                                 landscape ? PageOrientation::Landscape : PageOrientation::Portrait,
                                 PrintAlignment(alignment), landscape ? 0 : 90}; // the target is landscape
        const TargetImage target = ImageLoader().loadTargetImage(file);
        const DevicePageMetrics device{pageDpi.width(), pageDpi.height(),   page.width(),
                                       page.height(),   pageMargins.left(), pageMargins.top()};
        const QRect placed =
            devicePlacementRect(device, target, layout).translated(pageMargins.left(), pageMargins.top());
        // A driver's raster holds the printable area only.
        const QPoint origin = isDriverQueue(printer) ? QPoint(margins.left(), margins.top()) : QPoint();
        const auto onRaster = [&](const QRect& r) {
            return (landscape ? QRect(page.height() - r.bottom() - 1, r.left(), r.height(), r.width()) : r)
                .translated(-origin);
        };
        const ReceivedPage received =
            lastReceivedPage(printer, jobs, {onRaster(placed).adjusted(-1, -1, 1, 1)});
        const cups_page_header2_t& header = received.header;
        QCOMPARE(QSize(int(header.HWResolution[0]), int(header.HWResolution[1])), dpi);
        QCOMPARE(QSize(int(header.cupsWidth), int(header.cupsHeight)),
                 isDriverQueue(printer) ? (QRect({}, sheet) - margins).size() : sheet);
        // Copies made by the printer or by the filters before it.
        QCOMPARE(received.pages * int(header.NumCopies), 2);
        const QStringList job = received.job.split('\n');
        QVERIFY2(isDriverQueue(printer)
                     ? job.value(3) == QLatin1String("2")
                     // the media as the printer received it, to a hundredth of a millimetre
                     : received.job.contains(
                           QStringLiteral("IPP_MEDIA_COL={media-size={x-dimension=%1 y-dimension=%2}")
                               .arg(qRound(paperSizes()[paper].widthMm * 100))
                               .arg(qRound(paperSizes()[paper].heightMm * 100))) &&
                           received.job.contains(QStringLiteral("IPP_PRINT_COLOR_MODE=color\n")),
                 qPrintable(received.job));
        QCOMPARE(lastSchedulerJob(printer).mid(2), (QStringList{"none", "true", "2"}));

        const QRect printable = QRect({}, page) - pageMargins;
        QCOMPARE(question->seen, !printable.contains(placed & QRect({}, page)));
        QVERIFY2(!question->seen || question->text.contains(QStringLiteral("mm at the")), qPrintable(question->text));
        const QRect area = received.printed.value(0), expected = onRaster(placed & printable);
        const QPoint a = area.topLeft() - expected.topLeft(), b = area.bottomRight() - expected.bottomRight();
        QVERIFY2(std::max({std::abs(a.x()), std::abs(a.y()), std::abs(b.x()), std::abs(b.y())}) <= 1,
                 qPrintable(QStringLiteral("printed at %1,%2 %3x%4, expected %5,%6 %7x%8")
                                .arg(area.x())
                                .arg(area.y())
                                .arg(area.width())
                                .arg(area.height())
                                .arg(expected.x())
                                .arg(expected.y())
                                .arg(expected.width())
                                .arg(expected.height())));
        // Turned clockwise by the layout, and by the landscape page on the portrait sheet.
        const int turns = layout.rotationDegrees + (landscape ? 90 : 0);
        if ((turns % 180 ? targetDpi.transposed() : targetDpi) == dpi) {
            const QImage shown =
                target.image.transformed(QTransform().rotate(turns)).convertToFormat(QImage::Format_RGB888);
            // Every pixel unchanged where the target landed, within the pixel of tolerance; the margins
            // hide what lies beyond them.
            const QRect seen = expected.translated(-onRaster(placed).topLeft());
            const QPoint landed = area.topLeft() - expected.topLeft() + QPoint(1, 1);
            QCOMPARE(received.crop.value(0).copy(seen.translated(landed)), shown.copy(seen));
        }
    }

    // A 3-page set goes to the PWG queue as one job of 3 pages, each target exact in size, place and
    // bytes, and its record beside it says what it went out on. Opened again, the set offers to be
    // printed the same way: Yes brings the layout back, and the dialog starts on the recorded printer
    // and resolution.
    void setPrintedInOneJobAndOfferedAgain()
    {
        TargetSet set;
        for (int i = 1; i <= 3; ++i) {
            const QString file = files.path(QStringLiteral("chart_%1.tif").arg(i, 2, 10, QLatin1Char('0')));
            PloverTools::writeRgbTiff(file, patternImage(300 + 60 * i, 200 - 40 * i), 600, 600);
            set.pages << TargetPageSource{file, 0, 1};
        }
        const PaperSize a3 = paperSizes()[1];
        // The targets are landscape: on a portrait sheet they turn.
        const PrintLayout layout{a3, PageOrientation::Portrait, PrintAlignment::Center, 90};
        {
            MainWindow window;
            window.openImagePath(set.pages[0].filePath);
            paperCombo(&window)->setCurrentIndex(1);
            orientationCombo(&window)->setCurrentIndex(0);
            const int jobs = storedJobs(queue).size();
            answerNextPrintDialog({queue, QSize(600, 600), 1, QString()});
            window.printSet(set);
            QVERIFY(errorBanner(&window)->isHidden());

            const auto [sheet, margins] =
                sheetOf(queue, sheetSizeMm(a3, PageOrientation::Portrait), {600, 600});
            const DevicePageMetrics device{600, 600, sheet.width(), sheet.height(), margins.left(), margins.top()};
            QList<QRect> placed;
            QList<TargetImage> targets;
            for (const TargetPageSource& page : set.pages) {
                targets << ImageLoader().loadTargetPage(page);
                placed << devicePlacementRect(device, targets.last(), layout)
                              .translated(margins.left(), margins.top());
            }
            const ReceivedPage received = lastReceivedPage(queue, jobs, placed);
            QCOMPARE(received.pages, 3);
            for (int i = 0; i < 3; ++i) {
                QVERIFY(placed[i].contains(received.printed[i]));
                QCOMPARE(received.crop[i],
                         rotatedImage(targets[i].image, 90).convertToFormat(QImage::Format_RGB888));
            }
        }
        QFile written(files.path(QStringLiteral("chart.plover.json")));
        QVERIFY(written.open(QIODevice::ReadOnly));
        const std::optional<PrintRecord> record = printRecordFromJson(written.readAll());
        QVERIFY(record);
        QCOMPARE(record->files.size(), 3);
        QCOMPARE(QStringList({record->paper, record->printer}), QStringList({"DIN A3", queue}));
        QCOMPARE(record->resolution, QSize(600, 600));
        QVERIFY(record->icmOff);

        clearStore();
        MainWindow window;
        window.openImagePath(set.pages[0].filePath);
        const std::shared_ptr<MessageBoxSeen> question = answerNextMessageBox(QStringLiteral("&Yes"));
        window.offerPrintRecord(set);
        QVERIFY2(question->informativeText.contains(QStringLiteral("Paper: DIN A3 then, DIN A4 now")),
                 qPrintable(question->informativeText));
        QCOMPARE(paperCombo(&window)->currentText(), QStringLiteral("DIN A3"));
        QCOMPARE(orientationCombo(&window)->currentIndex(), 0);
        QString printer;
        QVariant resolution;
        PrintDialogAnswer look{QString(), QSize(), 0, QString(), true};
        look.inspect = [&](QWidget* dialog) {
            printer = dialog->findChild<QComboBox*>(QStringLiteral("printerChooser"))->currentText();
            resolution = dialog->findChild<QComboBox*>(QStringLiteral("resolutionChooser"))->currentData();
        };
        answerNextPrintDialog(look);
        window.printSet(set);
        QCOMPARE(printer, queue);
        QCOMPARE(resolution.toSize(), QSize(600, 600)); // the queue's default is 720 dpi
    }

    // A record that cannot be written (a folder stands where it goes) is told once the set has printed.
    void unwritableRecordIsToldAfterThePrint()
    {
        TargetSet set;
        for (int i = 1; i <= 2; ++i)
            set.pages << TargetPageSource{files.tiff(QStringLiteral("sheet-%1.tif").arg(i), 100, 80, 300)};
        QVERIFY(QDir().mkpath(files.path(QStringLiteral("sheet.plover.json"))));
        MainWindow window;
        window.openImagePath(set.pages[0].filePath);
        const QString output = files.path(QStringLiteral("printed.tif"));
        std::shared_ptr<MessageBoxSeen> told;
        answerNextPrintDialog(
            {QStringLiteral("Plover Virtual Printer (TIFF file)"), QSize(300, 300), 0, output},
            [&] { told = answerNextMessageBox(QStringLiteral("OK")); });
        window.printSet(set);
        QCOMPARE(QImageReader(output).imageCount(), 2);
        QVERIFY2(told->text.startsWith(
                     QStringLiteral("The set was printed, but its print record could not be written")),
                 qPrintable(told->text));
    }

    // Cancel pressed while the page is being sent: the scheduler's job ends cancelled, no page reaches
    // the driver's filter, and nothing of the queue stays pending or held.
    void cancelMidwayLeavesNoJob()
    {
        const QString printer = QStringLiteral("plover-driver");
        MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("small.tif"), 300, 300, 300));
        const QString lastJob = lastSchedulerJob(printer)[0];
        QObject scope;
        bool pressed = false;
        answerNextPrintDialog({printer, QSize(1440, 1440), 1, QString()}, [&] {
            pressCancelWhenSending(&pressed, &scope);
            answerNextMessageBox("OK", &scope);
        });
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY2(pressed, "no progress shown while sending");
        QStringList job = lastSchedulerJob(printer);
        QVERIFY2(job[0] != lastJob, "no job was created");
        (void)QTest::qWaitFor([&] { return jobEnded.contains((job = lastSchedulerJob(printer))[1]); }, 30000);
        QVERIFY2(job[1] == "canceled" || job[1] == "aborted", qPrintable(job[1]));
        QVERIFY(!QFile::exists(storeOf(printer) + '/' + job[0] + ".ras"));
        cups_job_t* active = nullptr;
        const int count =
            cupsGetJobs2(CUPS_HTTP_DEFAULT, &active, printer.toUtf8().constData(), 0, CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(count, active);
        QCOMPARE(count, 0);
    }

    // A queue that refuses the job, or a print server that has gone, is told in a message box with the
    // destination and libcups' reason; the window stays as it was and nothing is queued, as after a
    // cancelled dialog.
    void unprintedJobLeavesTheWindow_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("queue rejects jobs") << "reject";
        QTest::newRow("server gone") << "gone";
        QTest::newRow("dialog cancelled") << "cancel";
    }

    void unprintedJobLeavesTheWindow()
    {
        QFETCH(QString, how);
        MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("small.tif"), 300, 300, 300));
        const QString facts = imageLabels(&window)[1]->text(), lastJob = lastSchedulerJob()[0];
        const QByteArray server = qgetenv("CUPS_SERVER");
        if (how == QLatin1String("reject"))
            QCOMPARE(QProcess::execute(QStringLiteral("cupsreject"), {queue}), 0);
        auto message = std::make_shared<MessageBoxSeen>();
        answerNextPrintDialog({queue, {}, 0, QString(), how == QLatin1String("cancel")}, [&] {
            if (how == QLatin1String("gone"))
                qputenv("CUPS_SERVER", server + ".gone");
            if (how != QLatin1String("cancel"))
                message = answerNextMessageBox(QStringLiteral("OK"));
        });
        action(&window, QStringLiteral("Print"))->trigger();
        qputenv("CUPS_SERVER", server);
        if (how == QLatin1String("reject"))
            QCOMPARE(QProcess::execute(QStringLiteral("cupsaccept"), {queue}), 0);

        QCOMPARE(message->seen, how != QLatin1String("cancel"));
        QVERIFY2(!message->seen ||
                     (message->text.startsWith(QStringLiteral("Could not print on \"plover-test\": ")) &&
                      message->text.size() > 40),
                 qPrintable(message->text));
        QVERIFY(errorBanner(&window)->isHidden());
        QCOMPARE(imageLabels(&window)[1]->text(), facts);
        QCOMPARE(lastSchedulerJob()[0], lastJob);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    return PloverTest::runWindowTest<TestPrintFlow>(argc, argv);
}

#include "tst_print_flow.moc"
