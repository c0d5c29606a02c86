#include "tests/support/image_files.h"
#include "tests/support/modal_answer.h"
#include "tst_ui.h"
#include "window_probe.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
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
bool drop(QWidget* window, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    const QPoint at(100, 100);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &move);
    if (!enter.isAccepted() || !move.isAccepted())
        return false;
    QDropEvent event(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &event);
    return event.isAccepted();
}

class TestLoadingFlow : public QObject
{
    Q_OBJECT

    TargetFiles files;

private Q_SLOTS:
    void init() { clearStore(); }

    void newImageGetsItsFactsOrientationAndPaper_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<QString>("paper");
        QTest::addColumn<QString>("orientation");
        QTest::addColumn<QString>("printSize");
        QTest::newRow("landscape on A4") << 3000 << 2000 << 300.0 << "DIN A4"
                                         << "Landscape"
                                         << "Print size: 10.00 x 6.67 in / 254.0 x 169.3 mm";
        QTest::newRow("A4 pixels need A3") << 2480 << 3508 << 300.0 << "DIN A3"
                                           << "Portrait"
                                           << "Print size: 8.27 x 11.69 in / 210.0 x 297.0 mm";
        QTest::newRow("too large for any sheet") << 5000 << 3000 << 200.0 << "DIN A2"
                                                 << "Landscape"
                                                 << "Print size: 25.00 x 15.00 in / 635.0 x 381.0 mm";
        QTest::newRow("square is portrait") << 600 << 600 << 300.0 << "DIN A4"
                                            << "Portrait"
                                            << "Print size: 2.00 x 2.00 in / 50.8 x 50.8 mm";
    }

    void newImageGetsItsFactsOrientationAndPaper()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(double, dpi);
        QFETCH(QString, paper);
        QFETCH(QString, orientation);
        QFETCH(QString, printSize);
        const QString path =
            files.tiff(QStringLiteral("%1x%2.tif").arg(width).arg(height), width, height, dpi);

        Plover::MainWindow window;
        window.openImagePath(path);

        QCOMPARE(
            facts(&window),
            (QStringList{QFileInfo(path).fileName(), QStringLiteral("Pixels: %1 x %2").arg(width).arg(height),
                         QStringLiteral("DPI: %1 x %1").arg(dpi, 0, 'f', 2), printSize,
                         QStringLiteral("Color model: RGB"), QStringLiteral("ICC Profile: none")}));
        QCOMPARE(paperCombo(&window)->currentText(), paper);
        QCOMPARE(orientationCombo(&window)->currentText(), orientation);
        QVERIFY(action(&window, QStringLiteral("Print"))->isEnabled());
        QVERIFY(action(&window, QStringLiteral("Fit to Screen"))->isEnabled());
        QVERIFY(errorBanner(&window)->isHidden());
        // A load chooses paper and orientation for the image but never stores them.
        QVERIFY(QSettings(QStringLiteral("Tessaly"), QStringLiteral("Plover")).allKeys().isEmpty());
    }

    void blankPathsAreIgnoredAndOthersPassUntrimmed()
    {
        Plover::MainWindow window;
        window.openImagePath(QStringLiteral("   "));
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("No image loaded"));
        QVERIFY(errorBanner(&window)->isHidden());

        const QString spaced = files.tiff(QStringLiteral(" chart.tif"), 300, 300, 300);
        window.openImagePath(spaced);
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral(" chart.tif"));
    }

    void failedLoadKeepsTheImageAndShowsTheMessage()
    {
        Plover::MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("good.tif"), 3000, 2000, 300));
        const QStringList before = facts(&window);

        window.openImagePath(files.path(QStringLiteral("missing.tif")));
        QLabel* banner = errorBanner(&window);
        QVERIFY(!banner->isHidden());
        QCOMPARE(banner->text(), QStringLiteral("<b>Could not load target image</b><br>"
                                                "The file could not be read as a TIFF image."));
        QCOMPARE(facts(&window), before);
        QCOMPARE(orientationCombo(&window)->currentText(), QStringLiteral("Landscape"));

        window.openImagePath(files.path(QStringLiteral("notes.txt")));
        QVERIFY(banner->text().endsWith(QLatin1String("Choose a TIFF, JPEG, or PNG image.")));

        window.openImagePath(files.tiff(QStringLiteral("good.tif"), 3000, 2000, 300));
        QVERIFY(banner->isHidden());
        QVERIFY(banner->text().isEmpty());
    }

    void dropOpensOnlyAFirstLocalFile()
    {
        Plover::MainWindow window;
        const QUrl local = QUrl::fromLocalFile(files.tiff(QStringLiteral("dropped.tif"), 300, 300, 300));

        QVERIFY(!drop(&window, {QUrl(QStringLiteral("https://tessaly.example/chart.tif")), local}));
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("No image loaded"));

        QVERIFY(drop(&window, {local}));
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("dropped.tif"));

        // A drag without URLs is refused at the door.
        QMimeData text;
        text.setText(QStringLiteral("chart.tif"));
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QVERIFY(!enter.isAccepted());
    }

    void embeddedProfileIsAskedAbout()
    {
        const QString withProfile = files.path(QStringLiteral("profiled.png"));
        QVERIFY(
            writeQtImage(withProfile, patternImage(300, 200), "png", 100.0, 100.0, QColorSpace(QColorSpace::SRgb)));
        Plover::MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("plain.tif"), 300, 300, 300));
        const QStringList before = facts(&window);

        auto cancelled = answerNextMessageBox(QStringLiteral("Cancel"));
        window.openImagePath(withProfile);
        QVERIFY(cancelled->seen);
        QCOMPARE(cancelled->title, QStringLiteral("Embedded ICC profile detected"));
        QVERIFY(cancelled->text.startsWith(QLatin1String("This image contains an embedded ICC profile: ")));
        QVERIFY(cancelled->text.endsWith(QLatin1Char('.')));
        QCOMPARE(cancelled->informativeText,
                 QStringLiteral("Plover ignores embedded profiles for profiling target output. "
                                "Continue loading this image, or cancel and choose a different file."));
        QCOMPARE(cancelled->buttons, (QStringList{QStringLiteral("Continue"), QStringLiteral("Cancel")}));
        QCOMPARE(cancelled->defaultButton, QStringLiteral("Continue"));
        QCOMPARE(facts(&window), before);

        auto escaped = answerNextMessageBox(QStringLiteral("Escape"));
        window.openImagePath(withProfile);
        QVERIFY(escaped->seen);
        QCOMPARE(facts(&window), before);

        auto accepted = answerNextMessageBox(QStringLiteral("Continue"));
        window.openImagePath(withProfile);
        QVERIFY(accepted->seen);
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("profiled.png"));
        QVERIFY(imageLabels(&window).last()->text().startsWith(QLatin1String("ICC Profile: ")));
        QVERIFY(imageLabels(&window).last()->text().endsWith(QLatin1String(" (Ignored)")));
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
        QCOMPARE(QSettings(QStringLiteral("Tessaly"), QStringLiteral("Plover"))
                     .value(QStringLiteral("print/orientation"))
                     .toInt(),
                 0);
    }

    void zoomKeysWorkOnceAnImageIsShown()
    {
        Plover::MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QLabel* zoom = zoomLabel(&window);

        QTest::keyClick(&window, Qt::Key_Plus);
        QCOMPARE(zoom->text(), QStringLiteral("100%"));

        window.openImagePath(files.tiff(QStringLiteral("good.tif"), 3000, 2000, 300));
        QVERIFY(zoom->isEnabled());
        QTest::keyClick(&window, Qt::Key_Plus);
        QCOMPARE(zoom->text(), QStringLiteral("120%"));
        QTest::keyClick(&window, Qt::Key_Equal);
        QCOMPARE(zoom->text(), QStringLiteral("144%"));
        QTest::keyClick(&window, Qt::Key_Minus);
        QCOMPARE(zoom->text(), QStringLiteral("120%"));
        QTest::keyClick(&window, Qt::Key_0);
        QCOMPARE(zoom->text(), QStringLiteral("100%"));
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(&window, Qt::Key_Minus);
        QCOMPARE(zoom->text(), QStringLiteral("20%"));
        for (int i = 0; i < 30; ++i)
            QTest::keyClick(&window, Qt::Key_Plus);
        QCOMPARE(zoom->text(), QStringLiteral("3200%"));
    }
};

} // namespace

std::unique_ptr<QObject> PloverTest::newLoadingFlowTest()
{
    return std::make_unique<TestLoadingFlow>();
}

#include "tst_loading_flow.moc"
