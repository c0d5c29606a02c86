#include "imaging/image_loader.h"
#include "layout/placement_geometry.h"
#include "tests/support/modal_answer.h"
#include "tests/support/print_dialog_answer.h"
#include "tst_ui.h"
#include "window_probe.h"

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#ifndef _WIN32 // the private CUPS print system exists off Windows only
#include <cups/cups.h>
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>
#endif

using namespace PloverTest;
using namespace Plover;

namespace {

const QStringList keys{QStringLiteral("print/paper"), QStringLiteral("print/orientation"),
                       QStringLiteral("print/alignment")};

// The three stored values as text, empty where a key is absent.
QStringList stored()
{
    QSettings store(QStringLiteral("Tessaly"), QStringLiteral("Plover"));
    QStringList values;
    for (const QString& key : keys)
        values << store.value(key).toString();
    return values;
}

int checkedAlignment(QWidget* window)
{
    const QList<QToolButton*> buttons = alignmentButtons(window);
    for (int i = 0; i < buttons.size(); ++i) {
        if (buttons[i]->isChecked())
            return i;
    }
    return -1;
}

#ifndef _WIN32
const QString queue = QStringLiteral("plover-test");

// What the test printer stored: its documents (PWG raster), each with the job attributes it received
// (copies travel in the raster's own header).
QDir printerDirectory()
{
    return QDir(qEnvironmentVariable("PLOVER_PRINT_SYSTEM") + QStringLiteral("/printer"));
}

QStringList storedJobs()
{
    return printerDirectory().entryList({QStringLiteral("*.attributes")}, QDir::Files,
                                        QDir::Time | QDir::Reversed);
}

// The page the printer stored last, once its attributes are written, as RGB pixels at the raster's
// resolution.
QImage lastStoredPage(int jobsBefore, QString* attributes)
{
    if (!QTest::qWaitFor([&] { return storedJobs().size() > jobsBefore; }, 60000))
        return {};
    QFile received(printerDirectory().filePath(storedJobs().last()));
    received.open(QIODevice::ReadOnly);
    *attributes = QString::fromUtf8(received.readAll());
    const QString document = received.fileName().chopped(QStringLiteral(".attributes").size());
    const int fd = ::open(QFile::encodeName(document).constData(), O_RDONLY);
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
    cups_page_header2_t header;
    QImage page;
    if (raster && cupsRasterReadHeader2(raster, &header) && header.cupsBitsPerPixel == 24) {
        page = QImage(int(header.cupsWidth), int(header.cupsHeight), QImage::Format_RGB888);
        page.setDotsPerMeterX(qRound(header.HWResolution[0] / 0.0254));
        page.setDotsPerMeterY(qRound(header.HWResolution[1] / 0.0254));
        *attributes += QStringLiteral("NumCopies=%1\n").arg(header.NumCopies);
        for (int y = 0; y < page.height(); ++y)
            cupsRasterReadPixels(raster, page.scanLine(y), header.cupsBytesPerLine);
    }
    cupsRasterClose(raster);
    ::close(fd);
    return page;
}

// The scheduler's last job on the queue: its attribute names with their values as text.
QMap<QString, QString> lastSchedulerJob()
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "plover-test", 0, CUPS_WHICHJOBS_ALL);
    int last = 0;
    for (int i = 0; i < count; ++i)
        last = std::max(last, jobs[i].id);
    cupsFreeJobs(count, jobs);
    QMap<QString, QString> job{{QStringLiteral("job-id"), QString::number(last)}};
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr,
                 ("ipp://localhost/jobs/" + QByteArray::number(last)).constData());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "all");
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        char value[256];
        ippAttributeString(a, value, sizeof value);
        if (ippGetName(a))
            job[QString::fromUtf8(ippGetName(a))] = QString::fromUtf8(value);
    }
    ippDelete(response);
    return job;
}

// The smallest rectangle holding every pixel that is not paper white.
QRect printedArea(const QImage& page)
{
    QRect area;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* line = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x) {
            if ((line[3 * x] & line[3 * x + 1] & line[3 * x + 2]) != 0xff)
                area |= QRect(x, y, 1, 1);
        }
    }
    return area;
}
#endif

class TestPrintFlow : public QObject
{
    Q_OBJECT

    TargetFiles files;

private Q_SLOTS:
    void init() { clearStore(); }

    void storedSettingsAreReadWithoutWritingBack_data()
    {
        QTest::addColumn<QStringList>("store");
        QTest::addColumn<QStringList>("shown"); // paper, orientation, checked alignment
        QTest::newRow("valid") << QStringList{"DIN A3", "1", "8"} << QStringList{"DIN A3", "Landscape", "8"};
        QTest::newRow("lower case name")
            << QStringList{"din a3", "0", "0"} << QStringList{"DIN A4", "Portrait", "0"};
        QTest::newRow("trailing blank")
            << QStringList{"DIN A3 ", "", ""} << QStringList{"DIN A4", "Portrait", "4"};
        QTest::newRow("too large") << QStringList{"DIN A3+", "2", "9"}
                                   << QStringList{"DIN A3+", "Portrait", "4"};
        QTest::newRow("negative") << QStringList{"", "-1", "-1"} << QStringList{"DIN A4", "Portrait", "4"};
        QTest::newRow("not numbers read as 0")
            << QStringList{"", "wide", "left"} << QStringList{"DIN A4", "Portrait", "0"};
    }

    void storedSettingsAreReadWithoutWritingBack()
    {
        QFETCH(QStringList, store);
        QFETCH(QStringList, shown);
        {
            QSettings settings(QStringLiteral("Tessaly"), QStringLiteral("Plover"));
            for (int i = 0; i < 3; ++i) {
                if (!store[i].isEmpty())
                    settings.setValue(keys[i], store[i]);
            }
        }
        const QStringList before = stored();
        Plover::MainWindow window;
        QCOMPARE(paperCombo(&window)->currentText(), shown[0]);
        QCOMPARE(orientationCombo(&window)->currentText(), shown[1]);
        QCOMPARE(checkedAlignment(&window), shown[2].toInt());
        QCOMPARE(stored(), before);
    }

    void userChangesWriteAllThreeAndTurnTheImage()
    {
        Plover::MainWindow window;
        orientationCombo(&window)->setCurrentIndex(1);
        QCOMPARE(stored(), (QStringList{"DIN A4", "1", "4"}));

        window.openImagePath(files.tiff(QStringLiteral("wide.tif"), 3000, 2000, 300));
        paperCombo(&window)->setCurrentIndex(3);
        QCOMPARE(stored(), (QStringList{"DIN A2", "1", "4"}));

        // Clicking the checked button saves again and leaves it checked.
        alignmentButtons(&window)[2]->click();
        clearStore();
        alignmentButtons(&window)[2]->click();
        QCOMPARE(stored(), (QStringList{"DIN A2", "1", "2"}));
        QCOMPARE(checkedAlignment(&window), 2);

        QLabel* printSize = imageLabels(&window)[3];
        orientationCombo(&window)->setCurrentIndex(0);
        QCOMPARE(printSize->text(), QStringLiteral("Print size: 6.67 x 10.00 in / 169.3 x 254.0 mm"));
        orientationCombo(&window)->setCurrentIndex(1);
        QCOMPARE(printSize->text(), QStringLiteral("Print size: 10.00 x 6.67 in / 254.0 x 169.3 mm"));
    }

    void croppingIsAskedBeforePrinting_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("paper");
        QTest::addColumn<QString>("sizes");
        QTest::newRow("25 x 15 in on A2")
            << 5000 << 3000 << 200.0 << 3 << "Image: 25.00 x 15.00 in\nPaper: 23.39 x 16.54 in";
        QTest::newRow("A4 pixels on A4")
            << 2480 << 3508 << 300.0 << 0 << "Image: 8.27 x 11.69 in\nPaper: 8.27 x 11.69 in";
    }

    void croppingIsAskedBeforePrinting()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(double, dpi);
        QFETCH(int, paper);
        QFETCH(QString, sizes);
        Plover::MainWindow window;
        window.openImagePath(
            files.tiff(QStringLiteral("%1x%2.tif").arg(width).arg(height), width, height, dpi));
        paperCombo(&window)->setCurrentIndex(paper);

        auto question = answerNextMessageBox(QStringLiteral("Cancel"));
        action(&window, QStringLiteral("Print"))->trigger();
        QCOMPARE(question->icon, int(QMessageBox::Warning));
        QCOMPARE(question->title, QStringLiteral("Image will be cropped"));
        QCOMPARE(question->text,
                 QStringLiteral("The image is larger than the selected paper at its embedded print size."));
        QCOMPARE(question->informativeText,
                 sizes + QStringLiteral("\n\nContinue printing, or cancel and choose a larger paper size."));
        QCOMPARE(question->buttons, (QStringList{QStringLiteral("Continue"), QStringLiteral("Cancel")}));
        QCOMPARE(question->defaultButton, QStringLiteral("Continue"));

#ifndef _WIN32 // on Windows, Continue opens Windows' own print dialog, which no Qt modal answer reaches
        // Continue goes on to the print dialog.
        bool printDialogShown = false;
        onNextModal([&](QWidget* box) {
            answerNextPrintDialog({QString(), 0, 0, QString(), true}, [&] { printDialogShown = true; });
            for (QAbstractButton* button : qobject_cast<QMessageBox*>(box)->buttons()) {
                if (button->text() == QStringLiteral("Continue"))
                    button->click();
            }
        });
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(printDialogShown);
#endif
    }

#ifdef _WIN32
    void printedPageHoldsTheTargetAtItsSize()
    {
        QSKIP("The private CUPS print system exists off Windows only; printing onto it is left out.");
    }
#else

    // From the window onto a CUPS queue: the printer receives the sheet at its true size in device pixels,
    // always portrait, with the target where the layout puts it and the job's options as sent.
    void printedPageHoldsTheTargetAtItsSize_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("landscape");
        QTest::addColumn<int>("paper");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("targetDpi");
        QTest::newRow("centre, portrait, 600 dpi target") << 4 << false << 0 << 600 << 600;
        QTest::newRow("centre, landscape, 720 dpi target") << 4 << true << 0 << 720 << 720;
        QTest::newRow("top left, portrait") << 0 << false << 0 << 600 << 100;
        QTest::newRow("bottom right, landscape") << 8 << true << 0 << 600 << 100;
        QTest::newRow("top right, portrait") << 2 << false << 0 << 720 << 150;
        QTest::newRow("bottom left, landscape") << 6 << true << 0 << 720 << 150;
        QTest::newRow("DIN A3, centre left, landscape") << 3 << true << 1 << 600 << 100;
    }

    void printedPageHoldsTheTargetAtItsSize()
    {
        QFETCH(int, alignment);
        QFETCH(bool, landscape);
        QFETCH(int, paper);
        QFETCH(int, dpi);
        QFETCH(int, targetDpi);
        const QString file = files.tiff(QStringLiteral("target-%1.tif").arg(targetDpi), 300, 200, targetDpi);
        MainWindow window;
        window.openImagePath(file);
        paperCombo(&window)->setCurrentIndex(paper);
        alignmentButtons(&window)[alignment]->click();
        orientationCombo(&window)->setCurrentIndex(landscape ? 1 : 0);
        const int jobs = storedJobs().size();
        answerNextPrintDialog({queue, dpi, 2, QString()});
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(errorBanner(&window)->isHidden());

        QString received;
        const QImage page = lastStoredPage(jobs, &received);
        const auto pixels = [dpi](double mm) {
            return int(std::lround(mm / 25.4 * dpi));
        };
        const QSizeF sheetMm = sheetSizeMm(paperSizes()[paper], PageOrientation::Portrait);
        QCOMPARE(page.size(), QSize(pixels(sheetMm.width()), pixels(sheetMm.height())));
        QCOMPARE(page.dotsPerMeterX(), qRound(dpi / 0.0254));
        // The media as the printer received it (a custom size would pass the queue's PPD in whole points).
        const QRegularExpressionMatch media =
            QRegularExpression(
                QStringLiteral("IPP_MEDIA_COL=.media-size=.x-dimension=(\\d+) y-dimension=(\\d+)"))
                .match(received);
        QVERIFY2(std::abs(media.captured(1).toInt() - sheetMm.width() * 100) < 36 &&
                     std::abs(media.captured(2).toInt() - sheetMm.height() * 100) < 36,
                 qPrintable(received));
        QVERIFY(received.contains(QStringLiteral("IPP_PRINT_COLOR_MODE=color\n")));
        QVERIFY(received.contains(QStringLiteral("NumCopies=2\n")));
        const QMap<QString, QString> job = lastSchedulerJob();
        QCOMPARE(job.value(QStringLiteral("print-scaling")), QStringLiteral("none"));
        QVERIFY(job.contains(QStringLiteral("cm-calibration")));

        // The test printer's margins: 3 mm left and right, 5 mm top and bottom of the portrait sheet. A
        // landscape page lies on it turned clockwise, its top along the sheet's right edge.
        const QSize sheet = landscape ? page.size().transposed() : page.size();
        const QMargins margins = landscape ? QMargins(pixels(5), pixels(3), pixels(5), pixels(3))
                                           : QMargins(pixels(3), pixels(5), pixels(3), pixels(5));
        const PrintLayout layout{
            paperSizes()[paper], landscape ? PageOrientation::Landscape : PageOrientation::Portrait,
            PrintAlignment(alignment), landscape ? 0 : 90}; // the target is landscape itself
        const TargetImage target = ImageLoader().loadTargetImage(file);
        const DevicePageMetrics device{dpi,          dpi, sheet.width(), sheet.height(), margins.left(),
                                       margins.top()};
        const QRect placed =
            devicePlacementRect(device, target, layout).translated(margins.left(), margins.top());
        const auto onPage = [&](const QRect& r) {
            return landscape ? QRect(sheet.height() - r.bottom() - 1, r.left(), r.height(), r.width()) : r;
        };
        const QRect area = printedArea(page);
        const QRect expected = onPage(placed & QRect(QPoint(), sheet).marginsRemoved(margins));
        for (const int offset : {area.left() - expected.left(), area.top() - expected.top(),
                                 area.right() - expected.right(), area.bottom() - expected.bottom()})
            QVERIFY2(std::abs(offset) <= 1,
                     qPrintable(QStringLiteral("printed at %1,%2").arg(area.x()).arg(area.y())));
        if (targetDpi == dpi) {
            const QImage shown = rotatedImage(target.image, layout.rotationDegrees)
                                     .transformed(QTransform().rotate(landscape ? 90 : 0))
                                     .convertToFormat(QImage::Format_RGB888);
            QCOMPARE(page.copy(onPage(placed)), shown);
        }
    }

    // A queue that refuses the job, or a print server that has gone, is told in a message box with the
    // destination and libcups' reason; the window stays as it was and nothing is printed.
    void refusedJobIsToldAndLeavesTheWindow_data()
    {
        QTest::addColumn<bool>("serverGone");
        QTest::newRow("queue rejects jobs") << false;
        QTest::newRow("server gone") << true;
    }

    void refusedJobIsToldAndLeavesTheWindow()
    {
        QFETCH(bool, serverGone);
        MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("small.tif"), 300, 300, 300));
        const QString facts = imageLabels(&window)[1]->text();
        const QByteArray server = qgetenv("CUPS_SERVER");
        if (!serverGone)
            QCOMPARE(QProcess::execute(QStringLiteral("cupsreject"), {queue}), 0);
        std::shared_ptr<MessageBoxSeen> message;
        answerNextPrintDialog({queue, 0, 0, QString()}, [&] {
            if (serverGone)
                qputenv("CUPS_SERVER", server + ".gone");
            message = answerNextMessageBox(QStringLiteral("OK"));
        });
        const int jobs = storedJobs().size();
        action(&window, QStringLiteral("Print"))->trigger();
        qputenv("CUPS_SERVER", server);
        if (!serverGone)
            QCOMPARE(QProcess::execute(QStringLiteral("cupsaccept"), {queue}), 0);

        QVERIFY(message && message->seen);
        QVERIFY2(message->text.startsWith(QStringLiteral("Could not print on \"plover-test\": ")) &&
                     message->text.size() > 40,
                 qPrintable(message->text));
        QVERIFY(errorBanner(&window)->isHidden());
        QCOMPARE(imageLabels(&window)[1]->text(), facts);
        QCOMPARE(storedJobs().size(), jobs);
    }

    void cancelledPrintDialogQueuesNothing()
    {
        MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("small.tif"), 300, 300, 300));
        const QString lastJob = lastSchedulerJob().value(QStringLiteral("job-id"));
        answerNextPrintDialog({queue, 0, 0, QString(), true});
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(errorBanner(&window)->isHidden());
        QCOMPARE(lastSchedulerJob().value(QStringLiteral("job-id")), lastJob);
    }
#endif
};

} // namespace

std::unique_ptr<QObject> PloverTest::newPrintFlowTest()
{
    return std::make_unique<TestPrintFlow>();
}

#include "tst_print_flow.moc"
