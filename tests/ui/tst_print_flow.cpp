#include "tst_ui.h"
#include "window_probe.h"

#include "tests/support/image_files.h"
#include "tests/support/modal_answer.h"
#include "tests/support/tiff_writer.h"

#include "imaging/image_loader.h"
#include "layout/placement_geometry.h"
#include "printing/virtual_printer.h"

#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

using namespace PloverTest;

namespace {

QVariantMap storeContents()
{
    QSettings store(QStringLiteral("Tessaly"), QStringLiteral("Plover"));
    QVariantMap values;
    for (const QString& key : store.allKeys())
        values.insert(key, store.value(key));
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

// The page as Plover itself opens it: the printed sheet at its true size.
Plover::TargetImage openPage(const QString& path)
{
    return Plover::ImageLoader().loadTargetImage(path);
}

class TestPrintFlow : public QObject
{
    Q_OBJECT

    TargetFiles files;

private Q_SLOTS:
    void init()
    {
        clearStore();
        Plover::VirtualPrinter::clearCallLog();
    }

    void cleanup() { Plover::VirtualPrinter::useDialog(); }

    void storedSettingsAreReadWithoutWritingBack_data()
    {
        QTest::addColumn<QVariant>("paper");
        QTest::addColumn<QVariant>("orientation");
        QTest::addColumn<QVariant>("alignment");
        QTest::addColumn<QString>("shownPaper");
        QTest::addColumn<QString>("shownOrientation");
        QTest::addColumn<int>("checked");
        QTest::newRow("all valid") << QVariant(QStringLiteral("DIN A3")) << QVariant(1) << QVariant(8) << "DIN A3"
                                   << "Landscape" << 8;
        QTest::newRow("name in lower case") << QVariant(QStringLiteral("din a3")) << QVariant(0) << QVariant(0)
                                            << "DIN A4" << "Portrait" << 0;
        QTest::newRow("name with a blank") << QVariant(QStringLiteral("DIN A3 ")) << QVariant() << QVariant()
                                           << "DIN A4" << "Portrait" << 4;
        QTest::newRow("too large") << QVariant(QStringLiteral("DIN A3+")) << QVariant(2) << QVariant(9)
                                   << "DIN A3+" << "Portrait" << 4;
        QTest::newRow("negative") << QVariant() << QVariant(-1) << QVariant(-1) << "DIN A4" << "Portrait" << 4;
        QTest::newRow("not numbers read as 0") << QVariant() << QVariant(QStringLiteral("wide"))
                                               << QVariant(QStringLiteral("left")) << "DIN A4" << "Portrait" << 0;
    }

    void storedSettingsAreReadWithoutWritingBack()
    {
        QFETCH(QVariant, paper);
        QFETCH(QVariant, orientation);
        QFETCH(QVariant, alignment);
        QFETCH(QString, shownPaper);
        QFETCH(QString, shownOrientation);
        QFETCH(int, checked);
        {
            QSettings store(QStringLiteral("Tessaly"), QStringLiteral("Plover"));
            const QVariant values[] = {paper, orientation, alignment};
            const char* keys[] = {"print/paper", "print/orientation", "print/alignment"};
            for (int i = 0; i < 3; ++i) {
                if (values[i].isValid())
                    store.setValue(QString::fromLatin1(keys[i]), values[i]);
            }
        }
        const QVariantMap before = storeContents();

        Plover::MainWindow window;
        QCOMPARE(paperCombo(&window)->currentText(), shownPaper);
        QCOMPARE(orientationCombo(&window)->currentText(), shownOrientation);
        QCOMPARE(checkedAlignment(&window), checked);
        QCOMPARE(storeContents(), before);
    }

    void everyUserChangeWritesAllThree()
    {
        Plover::MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("wide.tif"), 3000, 2000, 300));
        QVERIFY(storeContents().isEmpty());

        paperCombo(&window)->setCurrentIndex(3);
        QVariantMap stored = storeContents();
        QCOMPARE(stored.value(QStringLiteral("print/paper")).toString(), QStringLiteral("DIN A2"));
        QCOMPARE(stored.value(QStringLiteral("print/orientation")).toInt(), 1);
        QCOMPARE(stored.value(QStringLiteral("print/alignment")).toInt(), 4);

        alignmentButtons(&window)[2]->click();
        QCOMPARE(storeContents().value(QStringLiteral("print/alignment")).toInt(), 2);
        QCOMPARE(checkedAlignment(&window), 2);

        // Clicking the checked button saves again and leaves it checked.
        clearStore();
        alignmentButtons(&window)[2]->click();
        QCOMPARE(storeContents().size(), 3);
        QCOMPARE(checkedAlignment(&window), 2);
    }

    void choosingTheOtherOrientationTurnsTheImage()
    {
        Plover::MainWindow window;
        orientationCombo(&window)->setCurrentIndex(1);
        QCOMPARE(storeContents().value(QStringLiteral("print/orientation")).toInt(), 1);

        window.openImagePath(files.tiff(QStringLiteral("wide.tif"), 3000, 2000, 300));
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
        QTest::newRow("25 x 15 in on A2 landscape") << 5000 << 3000 << 200.0 << 3
                                                    << "Image: 25.00 x 15.00 in\nPaper: 23.39 x 16.54 in";
        QTest::newRow("A4 pixels on A4") << 2480 << 3508 << 300.0 << 0
                                         << "Image: 8.27 x 11.69 in\nPaper: 8.27 x 11.69 in";
    }

    void croppingIsAskedBeforePrinting()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(double, dpi);
        QFETCH(int, paper);
        QFETCH(QString, sizes);
        Plover::MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("%1x%2.tif").arg(width).arg(height), width, height, dpi));
        paperCombo(&window)->setCurrentIndex(paper);

        auto question = answerNextMessageBox(QStringLiteral("Cancel"));
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(question->seen);
        QCOMPARE(question->icon, int(QMessageBox::Warning));
        QCOMPARE(question->title, QStringLiteral("Image will be cropped"));
        QCOMPARE(question->text,
                 QStringLiteral("The image is larger than the selected paper at its embedded print size."));
        QCOMPARE(question->informativeText,
                 sizes + QStringLiteral("\n\nContinue printing, or cancel and choose a larger paper size."));
        QCOMPARE(question->buttons, (QStringList{QStringLiteral("Continue"), QStringLiteral("Cancel")}));
        QCOMPARE(question->defaultButton, QStringLiteral("Continue"));
        QVERIFY(Plover::VirtualPrinter::callLog().isEmpty());

        Plover::VirtualPrinter::Settings printer;
        printer.dpi = 300;
        printer.outputPath = files.path(QStringLiteral("cropped-page.tif"));
        Plover::VirtualPrinter::configure(printer);
        auto accepted = answerNextMessageBox(QStringLiteral("Continue"));
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(accepted->seen);
        QVERIFY(QFile::exists(printer.outputPath));
    }

    // The whole way from the window to paper: the page file is the sheet at the device resolution
    // and the target's own pixels sit, unchanged, where the layout puts them.
    void printedPageHoldsTheTargetAtItsSize_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("turned");
        QTest::newRow("centre") << 4 << false;
        QTest::newRow("top left") << 0 << false;
        QTest::newRow("bottom right, turned a quarter") << 8 << true;
    }

    void printedPageHoldsTheTargetAtItsSize()
    {
        QFETCH(int, alignment);
        QFETCH(bool, turned);
        const QString target = files.tiff(QStringLiteral("target.tif"), 1500, 900, 300);
        Plover::MainWindow window;
        window.openImagePath(target);
        alignmentButtons(&window)[alignment]->click();
        if (turned)
            orientationCombo(&window)->setCurrentIndex(0);

        Plover::VirtualPrinter::Settings printer;
        printer.dpi = 300;
        printer.marginMm = 3.0;
        printer.outputPath = files.path(QStringLiteral("page-%1.tif").arg(QTest::currentDataTag()));
        Plover::VirtualPrinter::configure(printer);
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(errorBanner(&window)->isHidden());
        QCOMPARE(Plover::VirtualPrinter::openHandleCount(), 0);

        const Plover::TargetImage page = openPage(printer.outputPath);
        const QSizeF sheet = Plover::sheetSizeInches(Plover::paperSizes().front(),
                                                     turned ? Plover::PageOrientation::Portrait
                                                            : Plover::PageOrientation::Landscape);
        QCOMPARE(page.dpiX, 300.0);
        QVERIFY(std::abs(Plover::printSizeInches(page).width() - sheet.width()) < 1.0 / 300);
        QVERIFY(std::abs(Plover::printSizeInches(page).height() - sheet.height()) < 1.0 / 300);

        Plover::PrintLayout layout;
        layout.alignment = static_cast<Plover::PrintAlignment>(alignment);
        layout.rotationDegrees = turned ? 90 : 0;
        const int margin = static_cast<int>(std::lround(3.0 / 25.4 * 300));
        const Plover::DevicePageMetrics device{300, 300, page.pixelWidth, page.pixelHeight, margin, margin};
        const Plover::TargetImage source = Plover::ImageLoader().loadTargetImage(target);
        const QRect placed = Plover::devicePlacementRect(device, source, layout).translated(margin, margin);
        const QImage expected = Plover::rotatedImage(source.image, layout.rotationDegrees);
        QCOMPARE(placed.size(), expected.size());

        // Where the printable area holds the image, every pixel is the target's, byte for byte.
        const QRect printable = QRect(QPoint(0, 0), QSize(page.pixelWidth, page.pixelHeight))
                                    .adjusted(margin, margin, -margin, -margin);
        const QRect visible = placed & printable;
        QVERIFY(!visible.isEmpty());
        for (int y = visible.top(); y <= visible.bottom(); y += 7) {
            for (int x = visible.left(); x <= visible.right(); x += 7) {
                const QRgb want = expected.pixel(x - placed.left(), y - placed.top());
                QCOMPARE(qRgb(qRed(page.image.pixel(x, y)), qGreen(page.image.pixel(x, y)), qBlue(page.image.pixel(x, y))),
                         qRgb(qRed(want), qGreen(want), qBlue(want)));
            }
        }
    }

    void cancelledPrintDialogShowsNothing()
    {
        Plover::MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("small.tif"), 300, 300, 300));
        Plover::VirtualPrinter::Settings printer;
        printer.confirm = false;
        Plover::VirtualPrinter::configure(printer);
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(errorBanner(&window)->isHidden());
        QCOMPARE(Plover::VirtualPrinter::openHandleCount(), 0);
        QVERIFY(Plover::VirtualPrinter::callLog().first().startsWith(QLatin1String("PrintDlgW(")));
    }
};

} // namespace

std::unique_ptr<QObject> PloverTest::newPrintFlowTest()
{
    return std::make_unique<TestPrintFlow>();
}

#include "tst_print_flow.moc"
