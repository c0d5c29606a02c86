#include "imaging/image_loader.h"
#include "layout/placement_geometry.h"
#include "printing/gdi_print_job.h"
#include "printing/print_exception.h"
#include "printing/print_job.h"
#ifndef _WIN32
#include "printing/devices/driver_options.h"
#include "printing/devices/ppd_facts.h"
#endif
#include "tests/support/modal_answer.h"
#include "tools/tiff_writer.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <tiffio.h>
#ifndef _WIN32
#include "print_calls.h"
#endif

using namespace Plover;
using namespace PloverTest;

namespace {

PrintLayout layoutOn(int paper = 0, PageOrientation orientation = PageOrientation::Portrait)
{
    return {paperSizes()[paper], orientation, PrintAlignment::Center, 0};
}

#ifndef _WIN32
using Fault = PrintCalls::Fault;

QImage randomPixels(int width, int height, quint32 seed)
{
    QImage pixels(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < pixels.height(); ++y)
        random.fillRange(reinterpret_cast<quint32*>(pixels.scanLine(y)), pixels.width());
    return pixels;
}

// Random colours with random alpha at 360 dpi: the fourth byte must not matter.
TargetImage randomTarget()
{
    const QImage pixels = randomPixels(301, 203, 7);
    return {QString(), {}, pixels.width(), pixels.height(), 360, 360, QStringLiteral("RGB"),
            false,     {}, pixels};
}

// The sheets of the file printer's document at `dpi`: an A4 page each, whose 3 mm margin is where the
// device's page starts, and each target exactly where the layout puts it.
void checkSheets(const QString& path, const QList<TargetImage>& targets, int dpi)
{
    QImageReader::setAllocationLimit(0); // an A4 sheet at 720 dpi is larger than Qt reads by default
    QImageReader file(path);
    QCOMPARE(file.imageCount(), targets.size());
    const auto pixels = [dpi](double mm) {
        return int(std::lround(mm / 25.4 * dpi));
    };
    for (int page = 0; page < targets.size(); ++page) {
        QVERIFY(file.jumpToImage(page));
        const QImage sheet = file.read().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(sheet.size(), QSize(pixels(210), pixels(297)));
        QCOMPARE(sheet.dotsPerMeterX(), qRound(dpi / 0.0254));
        const int margin = pixels(3.0);
        const DevicePageMetrics device{dpi, dpi, sheet.width(), sheet.height(), margin, margin};
        const QRect placed =
            devicePlacementRect(device, targets[page], layoutOn()).translated(margin, margin);
        QCOMPARE(sheet.copy(placed),
                 targets[page].image.convertToFormat(QImage::Format_RGB32).scaled(placed.size()));
    }
}

#endif
} // namespace

#ifndef _WIN32
Q_DECLARE_METATYPE(Fault)
#endif

// The device mode everywhere; off Windows also the file printer and the job's order. No print server is
// in reach, so the dialog lists the file printer only.
class TestPrinting : public QObject
{
    Q_OBJECT

    QTemporaryDir directory;

    QString pagePath() const { return directory.filePath(QStringLiteral("page.tif")); }

private Q_SLOTS:
    // Paper by its Windows number, DIN A3+ by its size in tenths of a millimetre, portrait sense.
    void deviceModeSettings()
    {
        const auto portrait = PageOrientation::Portrait, landscape = PageOrientation::Landscape;
        const std::tuple<int, PageOrientation, QList<int>> rows[] = {{0, landscape, {0x3, 2, 9, 0, 0}},
                                                                     {1, portrait, {0x3, 1, 8, 0, 0}},
                                                                     {3, portrait, {0x3, 1, 66, 0, 0}},
                                                                     {2, portrait, {0xD, 1, 0, 3290, 4830}},
                                                                     {2, landscape, {0xD, 2, 0, 3290, 4830}}};
        for (const auto& [paper, orientation, settings] : rows) {
            const DeviceModeSettings s = Plover::deviceModeSettings(layoutOn(paper, orientation));
            QCOMPARE((QList<int>{int(s.fields), s.orientation, s.paperSize, s.paperWidth, s.paperLength}),
                     settings);
        }
    }

#ifndef _WIN32 // the file printer and the call log belong to Plover's own print system, off Windows only
    void init()
    {
        QFile::remove(pagePath());
        PrintCalls::reset();
    }

    void cleanup()
    {
        QCOMPARE(PrintCalls::openHandles(), 0);
    }

    // The order the platform depends on: ICM off before the document, the page drawn in COLORONCOLOR
    // stretch mode, EndDoc whenever StartDocW succeeded, every handle freed. A printed page is the
    // sheet at 360 dpi holding the target's bytes unchanged, with the ICM mode it was drawn in.
    void callOrder_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<bool>("printed");
        const QString page = "StartPage EndDoc DeleteDC GlobalFree GlobalFree";
        QTest::newRow("printed")
            << Fault::None << false
            << "PrintDlgW ICM_OFF ICM_QUERY StartDocW StartPage COLORONCOLOR EndDoc DeleteDC "
               "GlobalFree GlobalFree"
            << true;
        QTest::newRow("dialog cancelled") << Fault::None << true << "PrintDlgW" << false;
        QTest::newRow("no device context")
            << Fault::NoDeviceContext << false << "PrintDlgW GlobalFree GlobalFree" << false;
        QTest::newRow("no device mode")
            << Fault::NoDeviceMode << false
            << "PrintDlgW ICM_OFF ICM_QUERY StartDocW StartPage COLORONCOLOR EndDoc DeleteDC GlobalFree"
            << true;
        QTest::newRow("document start fails")
            << Fault::StartDocFails << false
            << "PrintDlgW ICM_OFF ICM_QUERY StartDocW DeleteDC GlobalFree GlobalFree" << false;
        QTest::newRow("page start fails")
            << Fault::StartPageFails << false << "PrintDlgW ICM_OFF ICM_QUERY StartDocW " + page << false;
        QTest::newRow("no resolution")
            << Fault::NoResolution << false << "PrintDlgW ICM_OFF ICM_QUERY StartDocW " + page << false;
    }

    void callOrder()
    {
        QFETCH(Fault, fault);
        QFETCH(bool, cancel);
        QFETCH(bool, printed);
        PrintCalls::reset(fault);
        answerNextPrintDialog(
            {QStringLiteral("Plover Virtual Printer (TIFF file)"), QSize(360, 360), 0, pagePath(), cancel});
        const TargetImage target = randomTarget();

        QCOMPARE(PrintJob().printTargetImage(nullptr, target, layoutOn()), printed);
        QTEST(PrintCalls::order(), "calls");
        QCOMPARE(PrintCalls::dialogRequest(), QStringLiteral("flags 0x4010c, pages 1 to 1 of 1 to 1"));
        if (!printed)
            return;
        TIFF* file = TIFFOpen(QFile::encodeName(pagePath()).constData(), "r");
        char* description = nullptr;
        QVERIFY(file && TIFFGetField(file, TIFFTAG_IMAGEDESCRIPTION, &description));
        QCOMPARE(QByteArray(description), QByteArray("ICM: off"));
        TIFFClose(file);
        checkSheets(pagePath(), {target}, 360);
    }

    // A set is one document of a page each, every target at its own size and place, the dialog offering
    // the range for more than one page and asking for a set of one as for one image. A range prints only
    // its pages; a page that cannot be read withdraws the document. The dialog can start on the printer
    // and resolution it is handed.
    void setInOneDocument_data()
    {
        QTest::addColumn<int>("pages");
        QTest::addColumn<QPoint>("range");   // from, to; null for all
        QTest::addColumn<int>("unreadable"); // the page whose file is damaged, 0 for none
        QTest::addColumn<int>("preset");     // the resolution handed to the dialog, 0 for none
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("calls");
        const QString start = "PrintDlgW ICM_OFF ICM_QUERY StartDocW", page = " StartPage COLORONCOLOR",
                      end = " EndDoc DeleteDC GlobalFree GlobalFree",
                      three = "flags 0x40104, pages 1 to 3 of 1 to 3";
        QTest::newRow("set of one") << 1 << QPoint() << 0 << 0 << "flags 0x4010c, pages 1 to 1 of 1 to 1"
                                    << start + page + end;
        QTest::newRow("three pages") << 3 << QPoint() << 0 << 0 << three << start + page + page + page + end;
        QTest::newRow("pages 2 to 3") << 3 << QPoint(2, 3) << 0 << 0 << three << start + page + page + end;
        QTest::newRow("page 2 unreadable")
            << 3 << QPoint() << 2 << 0 << three << start + page + " AbortDoc DeleteDC GlobalFree GlobalFree";
        QTest::newRow("started at 720 dpi")
            << 2 << QPoint() << 0 << 720 << "flags 0x40104, pages 1 to 2 of 1 to 2"
            << start + page + page + end;
    }

    void setInOneDocument()
    {
        QFETCH(int, pages);
        QFETCH(QPoint, range);
        QFETCH(int, unreadable);
        QFETCH(int, preset);
        TargetSet set;
        QList<TargetImage> targets;
        for (int i = 0; i < pages; ++i) {
            // Each page of a size of its own, so that none takes another's size or place.
            const QString path = directory.filePath(QStringLiteral("chart_%1.tif").arg(i + 1));
            PloverTools::writeRgbTiff(path, randomPixels(301 - 40 * i, 203 + 30 * i, quint32(i)), 360, 360);
            set.pages << TargetPageSource{path, 0, 1};
            targets << ImageLoader().loadTargetPage(set.pages.last());
            QFile damaged(path);
            QVERIFY(i + 1 != unreadable ||
                    (damaged.open(QIODevice::WriteOnly) && damaged.write("II*\0junk") > 0));
        }
        const QString printer = QStringLiteral("Plover Virtual Printer (TIFF file)");
        PrintDialogAnswer answer{printer, preset ? QSize() : QSize(360, 360), 0, pagePath()};
        answer.pages = range;
        answerNextPrintDialog(answer);
        std::optional<PrintedDocument> printed;
        QString failure;
        try {
            printed = PrintJob().printTargetSet(nullptr, set, layoutOn(), {printer, QSize(preset, preset)});
        } catch (const PrintException& error) {
            failure = error.message();
        }
        QTEST(PrintCalls::order(), "calls");
        QTEST(PrintCalls::dialogRequest(), "dialog");
        if (unreadable) {
            QVERIFY2(failure.startsWith("Page 2 (chart_2.tif) could not be read"), qPrintable(failure));
            QVERIFY(!QFile::exists(pagePath()));
            return;
        }
        const int first = range.isNull() ? 1 : range.x(), last = range.isNull() ? pages : range.y(),
                  dpi = preset ? preset : 360;
        // What the print record is made of.
        QVERIFY(printed);
        QCOMPARE(printed->printer, printer);
        QCOMPARE(printed->resolution, QSize(dpi, dpi));
        QVERIFY(printed->icmOff);
        QCOMPARE(QPoint(printed->firstPage, printed->lastPage), QPoint(first, last));
        checkSheets(pagePath(), targets.mid(first - 1, last - first + 1), dpi);
    }

    // The file printer's dialog does not take a file it cannot create; it says why and stays open.
    void dialogRefusesAFileItCannotCreate()
    {
        const QString missing = directory.filePath(QStringLiteral("missing"));
        bool stayedOpen = false;
        std::shared_ptr<MessageBoxSeen> seen;
        onNextModal([&](QWidget* dialog) {
            dialog->findChild<QLineEdit*>(QStringLiteral("outputPathEdit"))->setText(missing + "/page.tif");
            seen = answerNextMessageBox(QStringLiteral("OK"));
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            stayedOpen = dialog->isVisible();
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        });
        QVERIFY(!PrintJob().printTargetImage(nullptr, randomTarget(), layoutOn()));
        QVERIFY(stayedOpen);
        QVERIFY(seen->text.contains(
            QStringLiteral("\"%1\" does not exist").arg(QDir::toNativeSeparators(missing))));
    }

    // A real inkjet driver's PPD (Gutenprint's, as Debian generates it): a resolution is offered only
    // where every option that decides it can render it, and is selected by all of them, whatever the
    // choices are called. Its quality mode, emitted after Resolution, overrides it.
    void driverResolutions_data()
    {
        QTest::addColumn<QSize>("dpi");
        QTest::addColumn<QString>("choices");
        QTest::newRow("1440 x 1440") << QSize(1440, 1440) << "Resolution=1441x720dpi StpQuality=HighPhoto";
        QTest::newRow("1440 x 720") << QSize(1440, 720) << "Resolution=1440x720dpi StpQuality=Photo";
        QTest::newRow("default") << QSize(720, 360) << "Resolution=361x360dpi StpQuality=Standard";
        QTest::newRow("no quality renders 2880 x 1440") << QSize(2880, 1440) << "";
    }

    void driverResolutions()
    {
        QFETCH(QSize, dpi);
        const std::optional<PrintSystem::PpdFacts> facts = PrintSystem::readPpd(gutenprintPpd());
        QVERIFY(facts);
        QCOMPARE(facts->defaultResolution, QSize(720, 360));
        QString choices;
        for (const PrintSystem::ResolutionChoice& offered : facts->resolutions) {
            for (const auto& [option, choice] : offered.ppdOptions)
                choices += offered.dpi == dpi ? QString::fromLatin1(option + '=' + choice + ' ') : QString();
        }
        QTEST(choices.trimmed(), "choices");
    }

    // Every option of Gutenprint's PPD in its group; what Plover sends itself is locked, the driver's
    // colour correction is not. Choices that decide the resolution render what the raster will get,
    // and a resolution chosen elsewhere moves them only where they disagree with it.
    void driverOptions_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QSize>("renders");
        QTest::addColumn<QSize>("resolution");
        QTest::addColumn<QString>("sent"); // the deciding and colour options of the job, in the PPD's order
        const QSize none;
        QTest::newRow("defaults")
            << "" << QSize(720, 360) << none
            << "ColorModel=RGB StpQuality=Standard Resolution=361x360dpi StpColorCorrection=None";
        QTest::newRow("economy, uncorrected")
            << "StpQuality=Economy StpColorCorrection=Uncorrected" << QSize(360, 180) << none
            << "ColorModel=RGB StpQuality=Economy Resolution=361x360dpi StpColorCorrection=Uncorrected";
        QTest::newRow("1440 x 1440 chosen in the print dialog")
            << "StpQuality=Economy" << QSize(1440, 1440) << QSize(1440, 1440)
            << "ColorModel=RGB StpQuality=HighPhoto Resolution=1441x720dpi StpColorCorrection=None";
        QTest::newRow("manual control already renders 720 x 360")
            << "StpQuality=None" << QSize(720, 360) << QSize(720, 360)
            << "ColorModel=RGB StpQuality=None Resolution=361x360dpi StpColorCorrection=None";
        QTest::newRow("a colour model is not the user's") << "ColorModel=CMYK" << QSize(720, 360) << none
                                                          << "ColorModel=RGB StpQuality=Standard "
                                                             "Resolution=361x360dpi StpColorCorrection=None";
    }

    void driverOptions()
    {
        QFETCH(QString, chosen);
        QFETCH(QSize, resolution);
        const std::optional<PrintSystem::DriverOptions> options =
            PrintSystem::readPpdOptions(gutenprintPpd());
        QVERIFY(options);
        QSet<QString> groups;
        for (const PrintSystem::DriverOption& option : options->options)
            groups << option.group;
        QCOMPARE(options->options.size(), 112); // all but PageRegion, which follows PageSize
        // "General" and nine of its own
        QCOMPARE(groups.size(), 10);
        QVERIFY(groups.contains(QStringLiteral("Output Control Common")));
        for (const char* locked : {"PageSize", "ColorModel"})
            QVERIFY2(options->option(QString::fromLatin1(locked))->locked, locked);
        QVERIFY(!options->option(QStringLiteral("StpColorCorrection"))->locked);
        QCOMPARE(options->option(QStringLiteral("StpQuality"))->choice(QStringLiteral("HighPhoto"))->label,
                 QStringLiteral("Super Photo"));

        PrintSystem::OptionChoices remembered;
        for (const QString& pair : chosen.split(u' ', Qt::SkipEmptyParts))
            remembered.append({pair.section(u'=', 0, 0), pair.section(u'=', 1)});
        PrintSystem::OptionChoices current = PrintSystem::currentChoices(*options, remembered);
        if (resolution.isValid()) {
            const auto facts = PrintSystem::readPpd(gutenprintPpd());
            const auto offered = std::find_if(facts->resolutions.begin(), facts->resolutions.end(),
                                              [&](const auto& r) { return r.dpi == resolution; });
            current = PrintSystem::withResolution(*options, current, *offered);
        }
        QTEST(PrintSystem::renderedResolution(*options, current), "renders");
        QStringList sent;
        for (const auto& [option, choice] : PrintSystem::jobOptions(*options, current)) {
            QVERIFY(option != QLatin1String("PageSize"));
            if (QStringList{"ColorModel", "StpColorCorrection", "StpQuality", "Resolution"}.contains(option))
                sent << option + u'=' + choice;
        }
        QTEST(sent.join(u' '), "sent");
        QVERIFY(PrintSystem::optionConflicts(*options, current).isEmpty());
    }

    // Gutenprint's PPDs have no constraints; ours keeps fine art paper out of the sheet feeder, as
    // Epson's photo printers do. Every pair is told once, with the driver's own words. Its colour
    // matching, on by default, is sent off.
    void driverOptionConflicts_data()
    {
        QTest::addColumn<QString>("media");
        QTest::addColumn<QString>("conflict");
        const QString feeder = QStringLiteral("\"Media Source: Sheet Feeder\"");
        QTest::newRow("plain paper, sheet feeder") << "Plain Auto" << QString();
        QTest::newRow("fine art, rear feed") << "FineArt Rear" << QString();
        QTest::newRow("fine art, sheet feeder")
            << "FineArt Auto" << feeder + " cannot be combined with \"Media Type: Fine Art Paper\".";
    }

    void driverOptionConflicts()
    {
        QFETCH(QString, media);
        const auto options = PrintSystem::readPpdOptions(QFINDTESTDATA("plover_driver.ppd"));
        QVERIFY(options);
        const PrintSystem::OptionChoices chosen = PrintSystem::currentChoices(
            *options, {{"MediaType", media.section(u' ', 0, 0)}, {"InputSlot", media.section(u' ', 1)}});
        QTEST(PrintSystem::optionConflicts(*options, chosen).join(u'\n'), "conflict");
        // Whatever was remembered, the driver's colour matching stays off.
        QVERIFY(PrintSystem::jobOptions(*options,
                                        PrintSystem::currentChoices(*options, {{"ColorMatching", "ICM"}}))
                    .contains({"ColorMatching", "Off"}));
    }

private:
    // The PPD Gutenprint generates for an Epson SureColor P800, written once.
    QString gutenprintPpd()
    {
        QFile ppd(directory.filePath(QStringLiteral("p800.ppd")));
        if (ppd.exists())
            return ppd.fileName();
        QProcess driver;
        driver.start(QStringLiteral("/usr/lib/cups/driver/gutenprint.5.3"),
                     {QStringLiteral("cat"), QStringLiteral("gutenprint.5.3://escp2-p800/expert")});
        driver.waitForFinished(60000);
        ppd.open(QIODevice::WriteOnly);
        ppd.write(driver.readAllStandardOutput());
        return ppd.fileName();
    }
#endif
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
