#include "imaging/image_loader.h"
#include "imaging/target_set.h"
#include "layout/placement_geometry.h"
#include "layout/print_record.h"
#include "printing/devices/remembered_options.h"
#include "printing/win32/print_dialog.h"
#include "tests/support/modal_answer.h"
#include "window_test.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QImageReader>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
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
        QTest::addColumn<QString>("options"); // chosen in the Options dialog, which then decides the dpi
        const QString driver = QStringLiteral("plover-driver"),
                      gutenprint = QStringLiteral("plover-gutenprint");
        const QSize d600(600, 600), d720(720, 720), d1440(1440, 1440), d100(100, 100), d150(150, 150);
        QTest::newRow("centre, portrait, 600 dpi target")
            << queue << 4 << false << 0 << d600 << d600 << QString();
        QTest::newRow("centre, landscape, 720 dpi target")
            << queue << 4 << true << 0 << d720 << d720 << QString();
        QTest::newRow("top left, portrait") << queue << 0 << false << 0 << d600 << d100 << QString();
        QTest::newRow("bottom right, landscape") << queue << 8 << true << 0 << d600 << d100 << QString();
        QTest::newRow("top right, portrait") << queue << 2 << false << 0 << d720 << d150 << QString();
        QTest::newRow("bottom left, landscape") << queue << 6 << true << 0 << d720 << d150 << QString();
        QTest::newRow("DIN A3, centre left, landscape")
            << queue << 3 << true << 1 << d600 << d100 << QString();
        QTest::newRow("driver, top left, 720 dpi") << driver << 0 << false << 0 << d720 << d720 << QString();
        QTest::newRow("driver, top left, landscape, 1440 dpi")
            << driver << 0 << true << 0 << d1440 << d1440 << QString();
        QTest::newRow("driver, DIN A3, centre, 720 dpi, 150 dpi target")
            << driver << 4 << false << 1 << d720 << d150 << QString();
        QTest::newRow("Gutenprint, bottom left, 1440 dpi")
            << gutenprint << 6 << false << 0 << d1440 << d1440 << QString();
        // The target turns onto the sheet: its 720 dpi across run down the sheet's 720 dpi.
        QTest::newRow("Gutenprint, top right, landscape, 1440 x 720 dpi")
            << gutenprint << 2 << true << 0 << QSize(1440, 720) << QSize(720, 1440) << QString();
        QTest::newRow(
            "Gutenprint, centre, landscape, Economy quality, uncorrected, matte paper from its options")
            << gutenprint << 4 << true << 0 << QSize(360, 180) << QSize(180, 360)
            << "StpQuality=Economy StpColorCorrection=Uncorrected MediaType=Matte";
        QTest::newRow("PWG printer, top left, Draft quality from its options")
            << queue << 0 << false << 0 << d600 << d600 << "cupsPrintQuality=Draft";
    }

    void printedPageHoldsTheTargetAtItsSize()
    {
        QFETCH(QString, printer);
        QFETCH(int, alignment);
        QFETCH(bool, landscape);
        QFETCH(int, paper);
        QFETCH(QSize, dpi);
        QFETCH(QSize, targetDpi);
        QFETCH(QString, options);
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
        PrintDialogAnswer answer{printer, options.isEmpty() ? dpi : QSize(), 2, QString()};
        for (const QString& choice : options.split(u' ', Qt::SkipEmptyParts))
            answer.options.append({choice.section(u'=', 0, 0), choice.section(u'=', 1)});
        answerNextPrintDialog(answer,
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
        // The driver's options as its filter received them; the scheduler turns the PWG queue's
        // generated quality option into print-quality.
        for (const QString& choice : options.split(u' ', Qt::SkipEmptyParts)) {
            QVERIFY2(
                isDriverQueue(printer)
                    ? job.value(4).split(u' ').contains(choice)
                    : received.job.contains("IPP_PRINT_QUALITY=" + choice.section(u'=', 1).toLower() + '\n'),
                qPrintable(received.job));
        }

        const QRect printable = QRect({}, page) - pageMargins;
        QCOMPARE(question->seen, !printable.contains(placed & QRect({}, page)));
        QVERIFY2(!question->seen || question->text.contains(QStringLiteral("mm at the")),
                 qPrintable(question->text));
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

    // The Options dialog of a driver queue: every option of its PPD in the PPD's groups, the paper and
    // colour model Plover sends locked with the reason, choices the queue does not allow together told
    // in words with OK held until they agree, and the queue's defaults back on Reset.
    void optionsDialogShowsTheDriversSettings_data()
    {
        QTest::addColumn<QString>("printer");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<bool>("reset");
        QTest::addColumn<QString>("shown"); // the choices the dialog then shows of these options
        QTest::addColumn<QString>("conflict");
        const QString gutenprint = QStringLiteral("plover-gutenprint"),
                      driver = QStringLiteral("plover-driver");
        QTest::newRow("Gutenprint, raw colour, Economy moves Resolution along")
            << gutenprint << "StpColorCorrection=Raw StpQuality=Economy" << false
            << "StpColorCorrection=Raw StpQuality=Economy Resolution=360x180dpi" << QString();
        QTest::newRow("Gutenprint, reset")
            << gutenprint << "StpQuality=Economy StpColorCorrection=Raw" << true
            << "StpColorCorrection=None StpQuality=Standard Resolution=361x360dpi" << QString();
        QTest::newRow("driver, fine art paper in the sheet feeder")
            << driver << "MediaType=FineArt" << false << "MediaType=FineArt InputSlot=Auto"
            << "\"Media Source: Sheet Feeder\" cannot be combined with \"Media Type: Fine Art Paper\".";
        QTest::newRow("driver, fine art paper from the rear")
            << driver << "MediaType=FineArt InputSlot=Rear" << false << "MediaType=FineArt InputSlot=Rear"
            << QString();
    }

    void optionsDialogShowsTheDriversSettings()
    {
        QFETCH(QString, printer);
        QFETCH(QString, chosen);
        QFETCH(QString, conflict);
        PrintDialogAnswer answer{printer, {}, 0, QString(), true};
        for (const QString& choice : chosen.split(u' '))
            answer.options.append({choice.section(u'=', 0, 0), choice.section(u'=', 1)});
        QFETCH(bool, reset);
        answer.resetOptions = reset;
        answer.optionsSeen = std::make_shared<OptionsDialogSeen>();
        answerNextPrintDialog(answer);
        QVERIFY(!PrintSystem::PrintDialog::choosePrinter(nullptr));
        const OptionsDialogSeen& seen = *answer.optionsSeen;
        QVERIFY(seen.seen);
        QFETCH(QString, shown);
        for (const QString& choice : shown.split(u' '))
            QVERIFY2(seen.choices.contains(choice), qPrintable(seen.choices.join(u' ')));
        QCOMPARE(seen.conflicts, conflict);
        QCOMPARE(seen.okEnabled, conflict.isEmpty());
        // Our driver's PPD also has colour matching, locked off.
        QCOMPARE(seen.locked.size(), printer == QLatin1String("plover-driver") ? 3 : 2);
        QVERIFY2(seen.locked.filter(QRegularExpression("^ColorModel=.*colour management off")).size() == 1,
                 qPrintable(seen.locked.join(u'\n')));
        if (printer == QLatin1String("plover-gutenprint")) {
            QCOMPARE(seen.choices.size() + seen.locked.size(), 112);
            QCOMPARE(seen.groups.size(), 10);
            QCOMPARE(seen.groups.first(), QStringLiteral("General"));
        }
    }

    // A driverless destination's own words, read over IPP: the job attributes it supports with their
    // choices and default (none where it has none); what Plover sends itself locked to what it sends.
    void driverlessOptions_data()
    {
        QTest::addColumn<QString>("attribute");
        QTest::addColumn<QString>("read");
        QTest::newRow("quality") << "print-quality"
                                 << "4: 3/draft 4/normal 5/high";
        QTest::newRow("media type without a default") << "media-type"
                                                      << ": auto/auto stationery/stationery";
        QTest::newRow("colour") << "print-color-mode"
                                << "locked to color";
        QTest::newRow("scaling") << "print-scaling"
                                 << "locked to none";
    }

    void driverlessOptions()
    {
        QFETCH(QString, attribute);
        PrintSystem::CupsDestination destination;
        destination.name = queue;
        const PrintSystem::DriverOptions options =
            PrintSystem::readIppOptions(PrintSystem::connectToDestination(destination, 10000));
        const PrintSystem::DriverOption* option = options.option(attribute);
        QVERIFY(option);
        QStringList choices;
        for (const PrintSystem::OptionChoice& choice : option->choices)
            choices << choice.keyword + u'/' + choice.label;
        QTEST(option->locked ? "locked to " + option->lockedTo
                             : option->defaultChoice + ": " + choices.join(u' '),
              "read");
        const PrintSystem::OptionChoices chosen = PrintSystem::currentChoices(options, {});
        QVERIFY(PrintSystem::optionConflicts(options, chosen).isEmpty());
        QVERIFY(PrintSystem::jobOptions(options, chosen).contains({"print-scaling", "none"}));
    }

    // The options of the last print come back on the next print on that destination, quality and
    // resolution with them, and on no other destination.
    void optionsAreRememberedPerPrinter()
    {
        const QString gutenprint = QStringLiteral("plover-gutenprint");
        MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("small.tif"), 300, 300, 300));
        PrintDialogAnswer first{gutenprint, {}, 1, QString()};
        first.options = {{"StpQuality", "Economy"}, {"MediaType", "GlossyPhoto"}};
        const int jobsBefore = storedJobs(gutenprint).size();
        answerNextPrintDialog(first);
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(lastReceivedPage(gutenprint, jobsBefore, {QRect()}).pages > 0);
        const auto remembered = PrintSystem::rememberedOptions(gutenprint);
        QVERIFY(remembered.contains({"StpQuality", "Economy"}) &&
                remembered.contains({"MediaType", "GlossyPhoto"}));
        QVERIFY(PrintSystem::rememberedOptions(QStringLiteral("plover-driver")).isEmpty());

        const int jobs = storedJobs(gutenprint).size();
        PrintDialogAnswer again{gutenprint, {}, 1, QString()};
        again.optionsSeen = std::make_shared<OptionsDialogSeen>();
        answerNextPrintDialog(again);
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(again.optionsSeen->choices.contains("StpQuality=Economy"));
        const ReceivedPage received = lastReceivedPage(gutenprint, jobs, {QRect()});
        QCOMPARE(QSize(int(received.header.HWResolution[0]), int(received.header.HWResolution[1])),
                 QSize(360, 180));
        QVERIFY2(received.job.contains(" StpQuality=Economy ") &&
                     received.job.contains(" MediaType=GlossyPhoto "),
                 qPrintable(received.job));

        PrintDialogAnswer other{QStringLiteral("plover-driver"), {}, 0, QString(), true};
        other.optionsSeen = std::make_shared<OptionsDialogSeen>();
        answerNextPrintDialog(other);
        QVERIFY(!PrintSystem::PrintDialog::choosePrinter(nullptr));
        QVERIFY2(other.optionsSeen->choices.contains("MediaType=Plain"),
                 qPrintable(other.optionsSeen->choices.join(u' ')));
    }

    // Remembered options that the queue does not allow together are told before anything is sent;
    // the dialog stays open.
    void conflictingRememberedOptionsAreTold()
    {
        const QString driver = QStringLiteral("plover-driver");
        PrintSystem::rememberOptions(driver, {{"MediaType", "FineArt"}, {"InputSlot", "Auto"}});
        const std::shared_ptr<MessageBoxSeen> told = answerNextMessageBox(QStringLiteral("OK"));
        bool stayedOpen = false;
        answerNextPrintDialog({driver, {}, 0, QString()}, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            stayedOpen = dialog && dialog->findChild<QComboBox*>(QStringLiteral("printerChooser"));
            if (stayedOpen)
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        QVERIFY(!PrintSystem::PrintDialog::choosePrinter(nullptr));
        QVERIFY(stayedOpen);
        QVERIFY2(told->text.contains(QStringLiteral("\"Media Type: Fine Art Paper\"")),
                 qPrintable(told->text));
    }

    // A 3-page set, numbered files or one multi-page TIFF, opened and flipped through, goes to the PWG
    // queue as one job of 3 pages, each target exact in size, place and bytes, and its record beside it
    // says what it went out on. Opened again, the set offers to be printed the same way: Yes brings the
    // layout back, and the dialog starts on the recorded printer and resolution.
    void setPrintedInOneJobAndOfferedAgain_data()
    {
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("record");
        QStringList numbered;
        std::vector<PloverTools::TiffPage> pages;
        for (int i = 1; i <= 3; ++i) {
            const QImage target = patternImage(300 + 60 * i, 200 - 40 * i);
            numbered << files.path(QStringLiteral("chart_%1.tif").arg(i, 2, 10, QLatin1Char('0')));
            QVERIFY(PloverTools::writeRgbTiff(numbered.last(), target, 600, 600));
            pages.push_back(PloverTools::tiffPageFromImage(target));
            pages.back().xResolution = pages.back().yResolution = 600.0f;
        }
        QVERIFY(PloverTools::writeTiff(files.path(QStringLiteral("book.tif")), pages));
        QTest::newRow("numbered files") << QStringList{numbered[2], numbered[0], numbered[1]}
                                        << files.path(QStringLiteral("chart.plover.json"));
        QTest::newRow("multi-page TIFF") << QStringList{files.path(QStringLiteral("book.tif"))}
                                         << files.path(QStringLiteral("book.plover.json"));
    }

    void setPrintedInOneJobAndOfferedAgain()
    {
        QFETCH(QStringList, paths);
        QFETCH(QString, record);
        const TargetSet set = targetSetFromPaths(paths);
        QCOMPARE(set.pages.size(), 3);
        const PaperSize a3 = paperSizes()[1];
        // The targets are landscape: on a portrait sheet they turn.
        const PrintLayout layout{a3, PageOrientation::Portrait, PrintAlignment::Center, 90};
        {
            MainWindow window;
            window.openImagePaths(paths);
            paperCombo(&window)->setCurrentIndex(1);
            orientationCombo(&window)->setCurrentIndex(0);
            // The page shown does not decide what is printed.
            QTest::keyClick(&window, Qt::Key_PageDown);
            const int jobs = storedJobs(queue).size();
            PrintDialogAnswer answer{queue, QSize(600, 600), 1, QString()};
            answer.options = {{"cupsPrintQuality", "Draft"}};
            answerNextPrintDialog(answer);
            window.printImage();
            QVERIFY(errorBanner(&window)->isHidden());

            const auto [sheet, margins] =
                sheetOf(queue, sheetSizeMm(a3, PageOrientation::Portrait), {600, 600});
            const DevicePageMetrics device{600,          600, sheet.width(), sheet.height(), margins.left(),
                                           margins.top()};
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
        QFile written(record);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const std::optional<PrintRecord> printed = printRecordFromJson(written.readAll());
        QVERIFY(printed);
        QCOMPARE(printed->pages, 3);
        QCOMPARE(QStringList({printed->paper, printed->printer}), QStringList({"DIN A3", queue}));
        QCOMPARE(printed->resolution, QSize(600, 600));
        QVERIFY(printed->icmOff);
        QVERIFY(printed->driverOptions.contains({"cupsPrintQuality", "Draft"}));

        clearStore();
        PrintSystem::rememberOptions(queue, {});
        MainWindow window;
        const std::shared_ptr<MessageBoxSeen> question = answerNextMessageBox(QStringLiteral("&Yes"));
        window.openImagePaths(paths);
        QVERIFY2(question->informativeText.contains(QStringLiteral("Paper: DIN A3 then, DIN A4 now")),
                 qPrintable(question->informativeText));
        QCOMPARE(paperCombo(&window)->currentText(), QStringLiteral("DIN A3"));
        QCOMPARE(orientationCombo(&window)->currentIndex(), 0);
        // The printer's own settings come back with the rest.
        QVERIFY(PrintSystem::rememberedOptions(queue).contains({"cupsPrintQuality", "Draft"}));
        QString printer;
        QVariant resolution;
        PrintDialogAnswer look{QString(), QSize(), 0, QString(), true};
        look.inspect = [&](QWidget* dialog) {
            printer = dialog->findChild<QComboBox*>(QStringLiteral("printerChooser"))->currentText();
            resolution = dialog->findChild<QComboBox*>(QStringLiteral("resolutionChooser"))->currentData();
        };
        answerNextPrintDialog(look);
        window.printImage();
        QCOMPARE(printer, queue);
        QCOMPARE(resolution.toSize(), QSize(600, 600)); // the queue's default is 720 dpi
    }

    // A record that cannot be written (a folder stands where it goes) is told once the set has printed.
    void unwritableRecordIsToldAfterThePrint()
    {
        const QStringList paths{files.tiff(QStringLiteral("sheet-1.tif"), 100, 80, 300),
                                files.tiff(QStringLiteral("sheet-2.tif"), 100, 80, 300)};
        QVERIFY(QDir().mkpath(files.path(QStringLiteral("sheet.plover.json"))));
        MainWindow window;
        window.openImagePaths(paths);
        const QString output = files.path(QStringLiteral("printed.tif"));
        std::shared_ptr<MessageBoxSeen> told;
        answerNextPrintDialog(
            {QStringLiteral("Plover Virtual Printer (TIFF file)"), QSize(300, 300), 0, output},
            [&] { told = answerNextMessageBox(QStringLiteral("OK")); });
        window.printImage();
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
