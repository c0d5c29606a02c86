#include "tests/support/modal_answer.h"
#include "tst_ui.h"
#include "window_probe.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

using namespace PloverTest;

namespace {

QStringList facts(QWidget* window)
{
    QStringList texts;
    for (QLabel* label : imageLabels(window))
        texts << label->text();
    return texts;
}

// Enters, moves and drops as a real drag does (Qt delivers a drop only after an accepted enter).
bool drop(QWidget* window, QMimeData* data)
{
    QDragEnterEvent enter({100, 100}, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move({100, 100}, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    QDropEvent event({100, 100}, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    if (enter.isAccepted() && move.isAccepted())
        QCoreApplication::sendEvent(window, &event);
    return enter.isAccepted() && move.isAccepted() && event.isAccepted();
}

class TestLoadingFlow : public QObject
{
    Q_OBJECT

    TargetFiles files;

private Q_SLOTS:
    void init() { clearStore(); }

    void newImageGetsItsFactsOrientationAndPaper_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<QString>("paper");
        QTest::addColumn<QString>("orientation");
        QTest::addColumn<QString>("printSize");
        QTest::newRow("landscape on A4") << QSize(3000, 2000) << 300.0 << "DIN A4"
                                         << "Landscape"
                                         << "Print size: 10.00 x 6.67 in / 254.0 x 169.3 mm";
        QTest::newRow("A4 pixels need A3") << QSize(2480, 3508) << 300.0 << "DIN A3"
                                           << "Portrait"
                                           << "Print size: 8.27 x 11.69 in / 210.0 x 297.0 mm";
        QTest::newRow("too large for any sheet") << QSize(5000, 3000) << 200.0 << "DIN A2"
                                                 << "Landscape"
                                                 << "Print size: 25.00 x 15.00 in / 635.0 x 381.0 mm";
    }

    void newImageGetsItsFactsOrientationAndPaper()
    {
        QFETCH(QSize, pixels);
        QFETCH(double, dpi);
        const QString name = QStringLiteral("%1x%2.tif").arg(pixels.width()).arg(pixels.height());
        Plover::MainWindow window;
        window.openImagePath(files.tiff(name, pixels.width(), pixels.height(), dpi));
        const QString size = QStringLiteral("Pixels: %1 x %2").arg(pixels.width()).arg(pixels.height());
        QFETCH(QString, printSize);
        QCOMPARE(facts(&window), (QStringList{name, size, QStringLiteral("DPI: %1 x %1").arg(dpi, 0, 'f', 2),
                                              printSize, "Color model: RGB", "ICC Profile: none"}));
        QTEST(paperCombo(&window)->currentText(), "paper");
        QTEST(orientationCombo(&window)->currentText(), "orientation");
        QVERIFY(action(&window, QStringLiteral("Print"))->isEnabled());
        QVERIFY(action(&window, QStringLiteral("Fit to Screen"))->isEnabled());
        // A load chooses paper and orientation for the image but never stores them.
        QVERIFY(QSettings(QStringLiteral("Tessaly"), QStringLiteral("Plover")).allKeys().isEmpty());
    }

    // A failed load keeps the image and says why in the banner; a good one clears the banner.
    void failedLoadKeepsTheImageAndShowsTheMessage()
    {
        Plover::MainWindow window;
        window.openImagePath(QStringLiteral("   ")); // a blank path is no load at all
        QVERIFY(errorBanner(&window)->isHidden());
        window.openImagePath(files.tiff(QStringLiteral("good.tif"), 3000, 2000, 300));
        const QStringList before = facts(&window);
        QLabel* banner = errorBanner(&window);
        const std::pair<const char*, const char*> refusals[] = {
            {"missing.tif", "The file could not be read as a TIFF image."},
            {"notes.txt", "Choose a TIFF, JPEG, or PNG image."},
            {"a<b>.png", "The file could not be read as an image."}};
        for (const auto& [name, message] : refusals) {
            window.openImagePath(files.path(QString::fromLatin1(name)));
            QVERIFY(!banner->isHidden());
            QCOMPARE(banner->text(),
                     QStringLiteral("<b>Could not load target image</b><br>") + QString::fromLatin1(message));
            QCOMPARE(facts(&window), before);
            QCOMPARE(orientationCombo(&window)->currentText(), QStringLiteral("Landscape"));
        }
        window.openImagePath(files.tiff(QStringLiteral(" spaced.tif"), 300, 300, 300)); // passed untrimmed
        QVERIFY(banner->isHidden() && banner->text().isEmpty());
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral(" spaced.tif"));
    }

    void dropOpensOnlyAFirstLocalFile()
    {
        Plover::MainWindow window;
        const QUrl local = QUrl::fromLocalFile(files.tiff(QStringLiteral("dropped.tif"), 300, 300, 300));
        QMimeData data;
        data.setUrls({QUrl(QStringLiteral("https://tessaly.example/chart.tif")), local});
        QVERIFY(!drop(&window, &data));
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("No image loaded"));
        data.setUrls({local});
        QVERIFY(drop(&window, &data));
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("dropped.tif"));
        QMimeData text; // a drag without URLs is refused at the door
        text.setText(QStringLiteral("chart.tif"));
        QVERIFY(!drop(&window, &text));
    }

    void embeddedProfileIsAskedAbout()
    {
        const QString profiled = files.path(QStringLiteral("profiled.png"));
        QVERIFY(writeQtImage(profiled, patternImage(300, 200), "png", 100.0, 100.0,
                             QColorSpace(QColorSpace::SRgb)));
        Plover::MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("plain.tif"), 300, 300, 300));
        const QStringList before = facts(&window);
        for (const char* answer : {"Cancel", "Escape", "Continue"}) {
            const auto question = answerNextMessageBox(QString::fromLatin1(answer));
            window.openImagePath(profiled);
            QVERIFY(question->seen);
            QCOMPARE(question->title, QStringLiteral("Embedded ICC profile detected"));
            QCOMPARE(question->text, QStringLiteral("This image contains an embedded ICC profile: sRGB."));
            QCOMPARE(question->informativeText,
                     QStringLiteral("Plover ignores embedded profiles for profiling target output. "
                                    "Continue loading this image, or cancel and choose a different file."));
            QCOMPARE(question->buttons, (QStringList{"Continue", "Cancel"}));
            QCOMPARE(question->defaultButton, QStringLiteral("Continue"));
            if (QByteArray(answer) != "Continue")
                QCOMPARE(facts(&window), before);
        }
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("profiled.png"));
        QCOMPARE(imageLabels(&window).last()->text(), QStringLiteral("ICC Profile: sRGB (Ignored)"));
    }

    void reloadRederivesOrientationButKeepsTheStore()
    {
        const QString path = files.tiff(QStringLiteral("good.tif"), 3000, 2000, 300);
        Plover::MainWindow window;
        window.openImagePath(path);
        orientationCombo(&window)->setCurrentIndex(0);
        QCOMPARE(imageLabels(&window)[3]->text(),
                 QStringLiteral("Print size: 6.67 x 10.00 in / 169.3 x 254.0 mm"));
        window.openImagePath(path);
        QCOMPARE(orientationCombo(&window)->currentText(), QStringLiteral("Landscape"));
        QCOMPARE(imageLabels(&window)[3]->text(),
                 QStringLiteral("Print size: 10.00 x 6.67 in / 254.0 x 169.3 mm"));
        QCOMPARE(
            QSettings(QStringLiteral("Tessaly"), QStringLiteral("Plover")).value("print/orientation").toInt(),
            0);
    }

    // The zoom keys reach the preview once an image is shown; the label shows whole percents.
    void zoomKeys()
    {
        Plover::MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QLabel* zoom = zoomLabel(&window);
        QTest::keyClick(&window, Qt::Key_Plus);
        QCOMPARE(zoom->text(), QStringLiteral("100%"));
        window.openImagePath(files.tiff(QStringLiteral("good.tif"), 3000, 2000, 300));
        QVERIFY(zoom->isEnabled());
        QStringList seen;
        for (const Qt::Key key : {Qt::Key_Plus, Qt::Key_Equal, Qt::Key_Minus, Qt::Key_0}) {
            QTest::keyClick(&window, key);
            seen << zoom->text();
        }
        QCOMPARE(seen, (QStringList{"120%", "144%", "120%", "100%"}));
    }
};

} // namespace

std::unique_ptr<QObject> PloverTest::newLoadingFlowTest()
{
    return std::make_unique<TestLoadingFlow>();
}

#include "tst_loading_flow.moc"
