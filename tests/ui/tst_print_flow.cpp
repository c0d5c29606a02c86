#include "imaging/image_loader.h"
#include "layout/placement_geometry.h"
#include "printing/virtual_printer.h"
#include "tests/support/modal_answer.h"
#include "tst_ui.h"
#include "window_probe.h"

#include <QMessageBox>
#include <QTest>

using namespace PloverTest;
namespace Printer = Plover::VirtualPrinter;

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

void printTo(const QString& path, int dpi = 300)
{
    Printer::Settings printer;
    printer.dpi = dpi;
    printer.outputPath = path;
    Printer::configure(printer);
}

class TestPrintFlow : public QObject
{
    Q_OBJECT

    TargetFiles files;

private Q_SLOTS:
    void init()
    {
        clearStore();
        Printer::clearCallLog();
    }

    void cleanup() { Printer::useDialog(); }

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
        QVERIFY(Printer::callLog().isEmpty());

        printTo(files.path(QStringLiteral("cropped.tif")));
        answerNextMessageBox(QStringLiteral("Continue"));
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(QFile::exists(files.path(QStringLiteral("cropped.tif"))));
    }

    // From the window to paper: the page file, opened in Plover, is the sheet at its true size,
    // and the target's own pixels sit unchanged where the layout puts them.
    void printedPageHoldsTheTargetAtItsSize_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("turned");
        QTest::newRow("centre") << 4 << false;
        QTest::newRow("top left") << 0 << false;
        QTest::newRow("bottom right, turned") << 8 << true;
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
        const QString pagePath = files.path(QStringLiteral("page-%1.tif").arg(alignment));
        printTo(pagePath);
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(errorBanner(&window)->isHidden());
        QCOMPARE(Printer::openHandleCount(), 0);

        const Plover::TargetImage page = Plover::ImageLoader().loadTargetImage(pagePath);
        const QSizeF sheet = Plover::sheetSizeInches(Plover::paperSizes().front(),
                                                     turned ? Plover::PageOrientation::Portrait
                                                            : Plover::PageOrientation::Landscape);
        const QSizeF pageInches = Plover::printSizeInches(page);
        QVERIFY(std::abs(pageInches.width() - sheet.width()) < 1.0 / 300);
        QVERIFY(std::abs(pageInches.height() - sheet.height()) < 1.0 / 300);

        Plover::PrintLayout layout;
        layout.alignment = static_cast<Plover::PrintAlignment>(alignment);
        layout.rotationDegrees = turned ? 90 : 0;
        const int margin = static_cast<int>(std::lround(3.0 / 25.4 * 300));
        const Plover::DevicePageMetrics device{300, 300, page.pixelWidth, page.pixelHeight, margin, margin};
        const Plover::TargetImage source = Plover::ImageLoader().loadTargetImage(target);
        const QRect placed = Plover::devicePlacementRect(device, source, layout).translated(margin, margin);
        const QImage expected = Plover::rotatedImage(source.image, layout.rotationDegrees);
        QCOMPARE(placed.size(), expected.size());
        const QRect visible = placed & page.image.rect().adjusted(margin, margin, -margin, -margin);
        QVERIFY(!visible.isEmpty());
        for (int y = visible.top(); y <= visible.bottom(); y += 7) {
            for (int x = visible.left(); x <= visible.right(); x += 7)
                QCOMPARE(page.image.pixel(x, y) | 0xff000000,
                         expected.pixel(x - placed.left(), y - placed.top()));
        }
    }

    void cancelledPrintDialogShowsNothing()
    {
        Plover::MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("small.tif"), 300, 300, 300));
        Printer::Settings printer;
        printer.confirm = false;
        Printer::configure(printer);
        action(&window, QStringLiteral("Print"))->trigger();
        QVERIFY(errorBanner(&window)->isHidden());
        QCOMPARE(Printer::callLog().size(), 1);
        QCOMPARE(Printer::openHandleCount(), 0);
    }
};

} // namespace

std::unique_ptr<QObject> PloverTest::newPrintFlowTest()
{
    return std::make_unique<TestPrintFlow>();
}

#include "tst_print_flow.moc"
