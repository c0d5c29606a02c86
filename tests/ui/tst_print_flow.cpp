#include "imaging/image_loader.h"
#include "layout/placement_geometry.h"
#include "tests/support/modal_answer.h"
#include "window_test.h"

#include <QDir>
#include <QProcess>
#include <QTest>
#include <cups/cups.h>
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

using namespace PloverTest;
using namespace Plover;

namespace {

const QString queue = QStringLiteral("plover-test");

// The test printer keeps each document (PWG raster) beside the job attributes it received.
QStringList storedJobs()
{
    return QDir(qEnvironmentVariable("PLOVER_PRINT_SYSTEM") + QStringLiteral("/printer"))
        .entryList({QStringLiteral("*.attributes")}, QDir::Files, QDir::Time | QDir::Reversed);
}

// The page the printer stored last as RGB pixels; its attributes, and the copies from the raster's
// own header, go to `attributes`.
QImage lastStoredPage(int jobsBefore, QString* attributes)
{
    if (!QTest::qWaitFor([&] { return storedJobs().size() > jobsBefore; }, 60000))
        return {};
    QFile received(qEnvironmentVariable("PLOVER_PRINT_SYSTEM") + QStringLiteral("/printer/") +
                   storedJobs().last());
    received.open(QIODevice::ReadOnly);
    *attributes = QString::fromUtf8(received.readAll());
    const int fd = ::open(QFile::encodeName(received.fileName().chopped(11)).constData(), O_RDONLY);
    cups_raster_t* raster = cupsRasterOpen(fd, CUPS_RASTER_READ);
    cups_page_header2_t header;
    QImage page;
    if (raster && cupsRasterReadHeader2(raster, &header) && header.cupsBitsPerPixel == 24) {
        page = QImage(int(header.cupsWidth), int(header.cupsHeight), QImage::Format_RGB888);
        page.setDotsPerMeterX(qRound(header.HWResolution[0] / 0.0254));
        *attributes += QStringLiteral("NumCopies=%1\n").arg(header.NumCopies);
        for (int y = 0; y < page.height(); ++y)
            cupsRasterReadPixels(raster, page.scanLine(y), header.cupsBytesPerLine);
    }
    cupsRasterClose(raster);
    ::close(fd);
    return page;
}

// The scheduler's last job on the queue: its id, print-scaling, cm-calibration and copies.
QStringList lastSchedulerJob()
{
    cups_job_t* jobs = nullptr;
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, "plover-test", 0, CUPS_WHICHJOBS_ALL);
    int last = 0;
    for (int i = 0; i < count; ++i)
        last = std::max(last, jobs[i].id);
    cupsFreeJobs(count, jobs);
    QStringList job{QString::number(last)};
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr,
                 ("ipp://localhost/jobs/" + QByteArray::number(last)).constData());
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    for (const char* name : {"print-scaling", "cm-calibration", "copies"}) {
        char value[64] = "";
        if (ipp_attribute_t* a = ippFindAttribute(response, name, IPP_TAG_ZERO))
            ippAttributeString(a, value, sizeof value);
        job << QString::fromLatin1(value);
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
        for (int x = 0; x < page.width(); ++x)
            area |= (line[3 * x] & line[3 * x + 1] & line[3 * x + 2]) != 0xff ? QRect(x, y, 1, 1) : QRect();
    }
    return area;
}

class TestPrintFlow : public QObject
{
    Q_OBJECT

    TargetFiles files;

private Q_SLOTS:
    void init() { clearStore(); }

    // From the window onto a CUPS queue: the printer receives the sheet at its true size in device
    // pixels, always portrait, with the target where the layout puts it and the job's options as sent.
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
        QObject printing;
        std::shared_ptr<MessageBoxSeen> marginQuestion;
        answerNextPrintDialog({queue, dpi, 2, QString()},
                              [&] { marginQuestion = answerNextMessageBox(QStringLiteral("Continue"), &printing); });
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(errorBanner(&window)->isHidden());

        QString received;
        const QImage page = lastStoredPage(jobs, &received);
        const auto pixels = [dpi](double mm) {
            return int(std::lround(mm / 25.4 * dpi));
        };
        const QSizeF mm = sheetSizeMm(paperSizes()[paper], PageOrientation::Portrait);
        QCOMPARE(page.size(), QSize(pixels(mm.width()), pixels(mm.height())));
        QCOMPARE(page.dotsPerMeterX(), qRound(dpi / 0.0254));
        // The media as the printer received it, to a hundredth of a millimetre.
        QVERIFY2(received.contains(QStringLiteral("IPP_MEDIA_COL={media-size={x-dimension=%1 y-dimension=%2}")
                                       .arg(qRound(mm.width() * 100))
                                       .arg(qRound(mm.height() * 100))) &&
                     received.contains(QStringLiteral("IPP_PRINT_COLOR_MODE=color\n")) &&
                     received.contains(QStringLiteral("NumCopies=2\n")),
                 qPrintable(received));
        QCOMPARE(lastSchedulerJob().mid(1), (QStringList{"none", "true", "2"}));

        // The test printer's margins: 3 mm left and right, 5 mm top and bottom of the portrait sheet. A
        // landscape page lies on it turned clockwise, its top along the sheet's right edge.
        const QSize sheet = landscape ? page.size().transposed() : page.size();
        const QMargins margins = landscape ? QMargins(pixels(5), pixels(3), pixels(5), pixels(3))
                                           : QMargins(pixels(3), pixels(5), pixels(3), pixels(5));
        const PrintLayout layout{paperSizes()[paper],
                                 landscape ? PageOrientation::Landscape : PageOrientation::Portrait,
                                 PrintAlignment(alignment), landscape ? 0 : 90}; // the target is landscape
        const TargetImage target = ImageLoader().loadTargetImage(file);
        const DevicePageMetrics device{dpi,          dpi, sheet.width(), sheet.height(), margins.left(),
                                       margins.top()};
        const QRect placed =
            devicePlacementRect(device, target, layout).translated(margins.left(), margins.top());
        const auto onPage = [&](const QRect& r) {
            return landscape ? QRect(sheet.height() - r.bottom() - 1, r.left(), r.height(), r.width()) : r;
        };
        const QRect printable = QRect({}, sheet) - margins;
        // Whatever reaches into the margins is told first, by the edges it crosses.
        QCOMPARE(marginQuestion->seen, !printable.contains(placed & QRect({}, sheet)));
        QVERIFY2(!marginQuestion->seen || (marginQuestion->text.contains(QStringLiteral("unprintable margins")) &&
                                           marginQuestion->text.contains(QStringLiteral("mm at the"))),
                 qPrintable(marginQuestion->text));
        const QRect area = printedArea(page), expected = onPage(placed & printable);
        const QPoint a = area.topLeft() - expected.topLeft(), b = area.bottomRight() - expected.bottomRight();
        QVERIFY2(std::max({std::abs(a.x()), std::abs(a.y()), std::abs(b.x()), std::abs(b.y())}) <= 1,
                 qPrintable(QStringLiteral("printed at %1,%2").arg(area.x()).arg(area.y())));
        if (targetDpi == dpi) {
            // Turned clockwise by the layout, and by the landscape page on the portrait sheet.
            const QImage shown = target.image.transformed(QTransform().rotate(layout.rotationDegrees))
                                     .transformed(QTransform().rotate(landscape ? 90 : 0))
                                     .convertToFormat(QImage::Format_RGB888);
            QCOMPARE(page.copy(onPage(placed)), shown);
        }
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
        answerNextPrintDialog({queue, 0, 0, QString(), how == QLatin1String("cancel")}, [&] {
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
