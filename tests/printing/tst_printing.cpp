#include "layout/placement_geometry.h"
#include "printing/gdi_print_job.h"
#include "printing/print_exception.h"
#include "printing/print_job.h"
#include "tests/support/print_dialog_answer.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <tiffio.h>
#ifndef _WIN32 // the call log and the file printer belong to Plover's own print system, off Windows only
#include "print_calls.h"
#endif

using namespace Plover;
using namespace PloverTest;

namespace {

PrintLayout a4Layout(const QString& paperName = QStringLiteral("DIN A4"),
                     PageOrientation orientation = PageOrientation::Portrait)
{
    for (const PaperSize& paper : paperSizes()) {
        if (paper.name == paperName)
            return {paper, orientation, PrintAlignment::Center, 0};
    }
    return {};
}

// Random colours with random alpha at 360 dpi: the fourth byte must not matter.
[[maybe_unused]] TargetImage randomTarget() // unused on Windows
{
    QImage pixels(301, 203, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < pixels.height(); ++y)
        random.fillRange(reinterpret_cast<quint32*>(pixels.scanLine(y)), pixels.width());
    TargetImage target;
    target.pixelWidth = pixels.width();
    target.pixelHeight = pixels.height();
    target.dpiX = target.dpiY = 360;
    target.image = pixels;
    return target;
}

} // namespace

Q_DECLARE_METATYPE(Plover::PageOrientation)
#ifndef _WIN32
using Fault = PrintCalls::Fault;
Q_DECLARE_METATYPE(Fault)
#endif

// The file printer and the job's order. No print server is in reach, so the dialog lists the file printer
// only.
class TestPrinting : public QObject
{
    Q_OBJECT

    QTemporaryDir directory;

    QString pagePath() const { return directory.filePath(QStringLiteral("page.tif")); }

private Q_SLOTS:
    void init()
    {
        QFile::remove(pagePath());
#ifndef _WIN32
        PrintCalls::reset();
#endif
    }

#ifndef _WIN32
    void cleanup()
    {
        QCOMPARE(PrintCalls::openHandles(), 0);
    }
#endif

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
        const DeviceModeSettings s = Plover::deviceModeSettings(a4Layout(paper, orientation));
        QTEST((QList<int>{int(s.fields), s.orientation, s.paperSize, s.paperWidth, s.paperLength}),
              "settings");
    }

    void missingImageThrowsBeforeTheDialog()
    {
        try {
            PrintJob().printTargetImage(nullptr, TargetImage(), a4Layout());
            QFAIL("no exception");
        } catch (const PrintException& e) {
            QCOMPARE(e.message(), QStringLiteral("No image is loaded."));
        }
#ifndef _WIN32
        QVERIFY(PrintCalls::order().isEmpty());
#endif
    }

#ifdef _WIN32
    void callOrder()
    {
        QSKIP("The file printer and the call log exist off Windows only; their tests are left out.");
    }
#else

    // The order the platform depends on: ICM off before the document, EndDoc whenever StartDocW succeeded,
    // every handle freed. A printed page is the sheet at 360 dpi holding the target's bytes unchanged,
    // with the ICM mode it was drawn in.
    void callOrder_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("calls");
        QTest::addColumn<bool>("printed");
        const QString page = "StartPage EndDoc DeleteDC GlobalFree GlobalFree";
        QTest::newRow("printed") << Fault::None << false << "PrintDlgW ICM_OFF StartDocW " + page << true;
        QTest::newRow("dialog cancelled") << Fault::None << true << "PrintDlgW" << false;
        QTest::newRow("no device context")
            << Fault::NoDeviceContext << false << "PrintDlgW GlobalFree GlobalFree" << false;
        QTest::newRow("no device mode")
            << Fault::NoDeviceMode << false
            << "PrintDlgW ICM_OFF StartDocW StartPage EndDoc DeleteDC GlobalFree" << true;
        QTest::newRow("document start fails")
            << Fault::StartDocFails << false << "PrintDlgW ICM_OFF StartDocW DeleteDC GlobalFree GlobalFree"
            << false;
        QTest::newRow("page start fails")
            << Fault::StartPageFails << false << "PrintDlgW ICM_OFF StartDocW " + page << false;
        QTest::newRow("no resolution")
            << Fault::NoResolution << false << "PrintDlgW ICM_OFF StartDocW " + page << false;
    }

    void callOrder()
    {
        QFETCH(Fault, fault);
        QFETCH(bool, cancel);
        QFETCH(bool, printed);
        PrintCalls::reset(fault);
        answerNextPrintDialog(
            {QStringLiteral("Plover Virtual Printer (TIFF file)"), 360, 0, pagePath(), cancel});
        const TargetImage target = randomTarget();

        QCOMPARE(PrintJob().printTargetImage(nullptr, target, a4Layout()), printed);
        QTEST(PrintCalls::order(), "calls");
        if (!printed)
            return;
        const QImage page = QImage(pagePath()).convertToFormat(QImage::Format_RGB32);
        const auto pixels = [](double mm) {
            return int(std::lround(mm / 25.4 * 360));
        };
        QCOMPARE(page.size(), QSize(pixels(210), pixels(297)));
        QCOMPARE(page.dotsPerMeterX(), qRound(360 / 0.0254));
        const int margin = pixels(3.0);
        const DevicePageMetrics device{360, 360, page.width(), page.height(), margin, margin};
        const QRect placed = devicePlacementRect(device, target, a4Layout()).translated(margin, margin);
        QCOMPARE(page.copy(placed), target.image.convertToFormat(QImage::Format_RGB32));

        TIFF* file = TIFFOpen(QFile::encodeName(pagePath()).constData(), "r");
        char* description = nullptr;
        QVERIFY(file && TIFFGetField(file, TIFFTAG_IMAGEDESCRIPTION, &description));
        QCOMPARE(QByteArray(description), QByteArray("ICM: off"));
        TIFFClose(file);
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
        QVERIFY(!PrintJob().printTargetImage(nullptr, randomTarget(), a4Layout()));
        QVERIFY(stayedOpen);
        QVERIFY(seen->text.contains(
            QStringLiteral("\"%1\" does not exist").arg(QDir::toNativeSeparators(missing))));
    }
#endif
};

QTEST_MAIN(TestPrinting)
#include "tst_printing.moc"
