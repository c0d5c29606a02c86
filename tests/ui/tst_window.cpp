#include "preview/preview_widget.h"
#include "tests/support/modal_answer.h"
#include "window_test.h"

#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QThreadPool>
#include <QTranslator>

using namespace PloverTest;

namespace {

const QStringList keys{"print/paper", "print/orientation", "print/alignment"};

// The three stored values as text, empty where a key is absent.
QStringList stored()
{
    QSettings store(QStringLiteral("Tessaly"), QStringLiteral("Plover"));
    QStringList values;
    for (const QString& key : keys)
        values << store.value(key).toString();
    return values;
}

// What the window shows: paper, orientation index and the checked alignment.
QStringList chosen(QWidget* window)
{
    const QList<QToolButton*> buttons = alignmentButtons(window);
    int checked = -1;
    for (int i = 0; i < buttons.size(); ++i)
        checked = buttons[i]->isChecked() ? i : checked;
    return {paperCombo(window)->currentText(), QString::number(orientationCombo(window)->currentIndex()),
            QString::number(checked)};
}

// The image facts, and the preview's pixels as a hash.
QStringList facts(QWidget* window)
{
    QThreadPool::globalInstance()->waitForDone(); // the preview's levels of detail come from the pool
    QCoreApplication::processEvents();            // layouts and the levels settle through posted events
    QCoreApplication::processEvents();
    QStringList texts;
    for (QLabel* label : imageLabels(window))
        texts << label->text();
    const QImage preview = window->findChild<Plover::PreviewWidget*>()->grab().toImage();
    return texts << QString::number(qHashBits(preview.constBits(), std::size_t(preview.sizeInBytes())));
}

// A window that can be handed a drop without a drag behind it.
class DroppableWindow : public Plover::MainWindow
{
public:
    using Plover::MainWindow::dropEvent;
};

// The facts once every page decode and level build has finished and reported.
QStringList settledFacts(QWidget* window)
{
    for (int round = 0; round < 3; ++round) {
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
    }
    return facts(window);
}

// The toolbar's page control: the label's text, empty while it is hidden.
QString pageControl(QWidget* window)
{
    for (QAction* item : window->findChild<QToolBar*>()->actions()) {
        auto* label = qobject_cast<QLabel*>(window->findChild<QToolBar*>()->widgetForAction(item));
        if (label && label->text().startsWith(QLatin1String("Page ")))
            return item->isVisible() ? label->text() : QString();
    }
    return QStringLiteral("none");
}

// The set's facts, empty while the group is hidden.
QString setFacts(QWidget* window)
{
    QGroupBox* set = group(window, QStringLiteral("Set"));
    return set->isHidden() ? QString() : set->findChild<QLabel*>()->text();
}

// A translation of every text into itself in brackets, so a text that bypasses translation shows bare.
class BracketingTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char*, const char* sourceText, const char*, int) const override
    {
        return QLatin1Char('[') + QString::fromUtf8(sourceText) + QLatin1Char(']');
    }
};

// The texts a user reads in `widget` and its children that did not come through a translation.
QStringList untranslatedTexts(QWidget* widget)
{
    QStringList texts{widget->windowTitle()};
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        texts << child->toolTip();
        if (auto* label = qobject_cast<QLabel*>(child))
            texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(child))
            texts << button->text();
        if (auto* box = qobject_cast<QGroupBox*>(child))
            texts << box->title();
        if (auto* combo = qobject_cast<QComboBox*>(child)) {
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
        }
        if (qobject_cast<QMenu*>(child) || qobject_cast<QToolBar*>(child))
            texts << child->windowTitle();
    }
    for (QAction* action : widget->findChildren<QAction*>())
        texts << action->text();
    QStringList bare;
    for (const QString& text : texts) {
        const QString shown = text.startsWith(QLatin1String("<b>")) ? text.mid(3) : text; // the banner
        if (!shown.isEmpty() && !shown.startsWith(QLatin1Char('[')))
            bare << text;
    }
    return bare;
}

class TestWindow : public QObject
{
    Q_OBJECT

    TargetFiles files;

private Q_SLOTS:
    void init() { clearStore(); }

    // Every text of the window, its image facts, its error banner and the About dialog goes through
    // translation, except the product's name, the file's name and the maker's address.
    void everyTextIsTranslated()
    {
        BracketingTranslator translator;
        QCoreApplication::installTranslator(&translator);
        Plover::MainWindow window;
        window.openImagePath(files.tiff(QStringLiteral("facts.tif"), 300, 200, 300));
        window.openImagePath(files.path(QStringLiteral("notes.txt")));
        QStringList about;
        onNextModal([&](QWidget* dialog) {
            about = untranslatedTexts(dialog);
            static_cast<QDialog*>(dialog)->accept();
        });
        window.showAboutDialog();
        QCOMPARE(untranslatedTexts(&window), (QStringList{"Plover", "facts.tif"}));
        QCOMPARE(about.size(), 2);
        QCOMPARE(about[0], QStringLiteral("Plover"));
        QVERIFY2(about[1].contains(QLatin1String("tessaly.example/plover</a>")), qPrintable(about[1]));
    }

    // Untranslated, the About dialog reads as it always has.
    void aboutDialogLines()
    {
        Plover::MainWindow window;
        QStringList lines;
        onNextModal([&](QWidget* dialog) {
            lines << dialog->windowTitle();
            for (QLabel* label : dialog->findChildren<QLabel*>())
                lines << label->text();
            static_cast<QDialog*>(dialog)->accept();
        });
        window.showAboutDialog();
        QCOMPARE(lines,
                 (QStringList{"About Plover", "", "Plover", "Developed by Tessaly", "Version 1.0",
                              "<a href=\"https://tessaly.example/plover\">tessaly.example/plover</a>"}));
    }

    // Button i, which sets alignment i, sits in cell (i % 3, i / 3) of its grid.
    void alignmentButtonsInTheirCells()
    {
        Plover::MainWindow window;
        auto* grid = qobject_cast<QGridLayout*>(group(&window, QStringLiteral("Alignment"))->layout());
        for (int v = 0; v < 9; ++v) {
            int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(alignmentButtons(&window)[v]), &row, &column, &rowSpan,
                                  &columnSpan);
            QCOMPARE(QPoint(column, row), QPoint(v % 3, v / 3));
        }
    }

    // Stored values are shown as they are, or as defaults where unusable, without writing anything
    // back; a user's change then stores all three as shown.
    void storedSettings_data()
    {
        QTest::addColumn<QStringList>("store");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("valid") << QStringList{"DIN A3", "1", "8"} << QStringList{"DIN A3", "1", "8"};
        QTest::newRow("lower case name")
            << QStringList{"din a3", "0", "0"} << QStringList{"DIN A4", "0", "0"};
        QTest::newRow("trailing blank") << QStringList{"DIN A3 ", "", ""} << QStringList{"DIN A4", "0", "4"};
        QTest::newRow("too large") << QStringList{"DIN A3+", "2", "9"} << QStringList{"DIN A3+", "0", "4"};
        QTest::newRow("negative") << QStringList{"", "-1", "-1"} << QStringList{"DIN A4", "0", "4"};
        QTest::newRow("not numbers read as 0")
            << QStringList{"", "wide", "left"} << QStringList{"DIN A4", "0", "0"};
    }

    void storedSettings()
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
        QCOMPARE(chosen(&window), shown);
        QCOMPARE(stored(), before);
        paperCombo(&window)->setCurrentIndex(3);
        QCOMPARE(stored(), (QStringList{"DIN A2", shown[1], shown[2]}));
    }

    // Orientation and alignment changes store too, also a click on the checked button.
    void userChangesAreStored()
    {
        Plover::MainWindow window;
        orientationCombo(&window)->setCurrentIndex(1);
        QCOMPARE(stored(), (QStringList{"DIN A4", "1", "4"}));
        alignmentButtons(&window)[2]->click();
        clearStore();
        alignmentButtons(&window)[2]->click();
        QCOMPARE(stored(), (QStringList{"DIN A4", "1", "2"}));
        QCOMPARE(chosen(&window)[2], QStringLiteral("2"));
    }

    // The SVG icons need the icon engine plugin at run time; without it they paint nothing.
    void toolbarIconsPaint()
    {
        Plover::MainWindow window;
        QToolBar* bar = window.findChild<QToolBar*>();
        for (QAction* item : bar->actions()) {
            const QImage image = item->icon().pixmap(bar->iconSize()).toImage();
            bool painted = item->icon().isNull() && item->text().isEmpty(); // a spacer or the zoom label
            for (int i = 0; i < image.width() * image.height() && !painted; ++i)
                painted = qAlpha(image.pixel(i % image.width(), i / image.width())) > 0;
            QVERIFY2(painted, qPrintable(item->text()));
        }
    }

    // A new image gets its facts, its orientation and the smallest paper that holds it, and nothing
    // is stored; turned to the other orientation its print size turns, and loading it again takes
    // back its own orientation.
    void newImageGetsItsFactsOrientationAndPaper()
    {
        const std::tuple<QSize, double, const char*, const char*> rows[] = {
            {{3000, 2000}, 300, "DIN A41", "10.00 x 6.67 in / 254.0 x 169.3 mm"},
            {{2480, 3508}, 300, "DIN A30", "8.27 x 11.69 in / 210.0 x 297.0 mm"},
            {{5000, 3000}, 200, "DIN A21", "25.00 x 15.00 in / 635.0 x 381.0 mm"}};
        for (const auto& [pixels, dpi, paper, printSize] : rows) {
            clearStore();
            const QString name = QStringLiteral("%1x%2.tif").arg(pixels.width()).arg(pixels.height());
            Plover::MainWindow window;
            window.openImagePath(files.tiff(name, pixels.width(), pixels.height(), dpi));
            QCOMPARE(
                facts(&window).mid(0, 6),
                (QStringList{name, QStringLiteral("Pixels: %1 x %2").arg(pixels.width()).arg(pixels.height()),
                             QStringLiteral("DPI: %1 x %1").arg(dpi, 0, 'f', 2),
                             QStringLiteral("Print size: ") + printSize, "Color model: RGB",
                             "ICC Profile: none"}));
            QCOMPARE(chosen(&window).mid(0, 2).join(QString()), QString::fromLatin1(paper));
            QVERIFY(action(&window, QStringLiteral("Print"))->isEnabled());
            QCOMPARE(stored(), (QStringList{"", "", ""}));
            if (pixels.width() != 3000)
                continue;
            orientationCombo(&window)->setCurrentIndex(0);
            QCOMPARE(imageLabels(&window)[3]->text(),
                     QStringLiteral("Print size: 6.67 x 10.00 in / 169.3 x 254.0 mm"));
            window.openImagePath(files.path(name));
            QCOMPARE(imageLabels(&window)[3]->text(), QStringLiteral("Print size: ") + printSize);
            QCOMPARE(stored()[1], QStringLiteral("0"));
        }
    }

    // A failed load keeps the image, its layout and its preview, and says why in the banner; a good
    // one clears it.
    void failedLoadKeepsTheImageAndShowsTheMessage()
    {
        Plover::MainWindow window;
        window.resize(1100, 1000); // tall enough that the banner never grows the window
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openImagePath(QStringLiteral("   ")); // a blank path is no load at all
        QLabel* banner = errorBanner(&window);
        QVERIFY(banner->isHidden());
        window.openImagePath(files.tiff(QStringLiteral("good.tif"), 3000, 2000, 300));
        const QStringList before = facts(&window);
        for (const auto& [name, message] :
             {std::pair{"missing.tif", "The file could not be read as a TIFF image."},
              std::pair{"notes.txt", "Choose a TIFF, JPEG, or PNG image."},
              std::pair{"a<b>.png", "The file could not be read as an image."}}) {
            window.openImagePath(files.path(QString::fromLatin1(name)));
            QCOMPARE(banner->text(), QStringLiteral("<b>Could not load target image</b><br>") + message);
            QVERIFY(!banner->isHidden());
            QCOMPARE(facts(&window), before);
            QCOMPARE(orientationCombo(&window)->currentText(), QStringLiteral("Landscape"));
        }
#ifndef _WIN32 // Windows' own print dialog is answered by test_gdi_print
        // Print still prints the image shown: the refusals dropped nothing.
        const QString page = files.path(QStringLiteral("page.tif"));
        answerNextPrintDialog(
            {QStringLiteral("Plover Virtual Printer (TIFF file)"), QSize(300, 300), 0, page}, {}, &window);
        action(&window, QStringLiteral("Print"))->trigger();
        QCOMPARE(QImage(page).size(), QSize(3508, 2480)); // A4 landscape at 300 dpi
#endif
        window.openImagePath(files.tiff(QStringLiteral(" spaced.tif"), 300, 300, 300)); // passed untrimmed
        QVERIFY(banner->isHidden() && banner->text().isEmpty());
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral(" spaced.tif"));
    }

    void croppingIsAskedBeforePrinting_data()
    {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("paper");
        QTest::addColumn<QString>("sizes");
        QTest::addColumn<QString>("answer");
        QTest::newRow("25 x 15 in on A2")
            << QSize(5000, 3000) << 200.0 << 3 << "Image: 25.00 x 15.00 in\nPaper: 23.39 x 16.54 in"
            << "Cancel";
#ifdef _WIN32 // Continue would open Windows' own print dialog, which test_gdi_print answers
        const char* const onward = "Cancel";
#else
        const char* const onward = "Continue";
#endif
        QTest::newRow("A4 pixels on A4")
            << QSize(2480, 3508) << 300.0 << 0 << "Image: 8.27 x 11.69 in\nPaper: 8.27 x 11.69 in" << onward;
    }

    // Cancel ends there; Continue goes on to the print dialog.
    void croppingIsAskedBeforePrinting()
    {
        QFETCH(QSize, pixels);
        QFETCH(double, dpi);
        QFETCH(int, paper);
        QFETCH(QString, answer);
        Plover::MainWindow window;
        window.openImagePath(
            files.tiff(QStringLiteral("%1.tif").arg(pixels.width()), pixels.width(), pixels.height(), dpi));
        paperCombo(&window)->setCurrentIndex(paper);
        // Both wait only as long as the window lives: a skipped question fails here rather than hangs.
        bool printDialogShown = false;
        answerNextPrintDialog(
            {QString(), {}, 0, QString(), true}, [&] { printDialogShown = true; }, &window);
        const auto question = answerNextMessageBox(answer, &window);
        action(&window, QStringLiteral("Print"))->trigger();
        QFETCH(QString, sizes);
        QCOMPARE(question->icon, int(QMessageBox::Warning));
        QCOMPARE((QStringList{question->title, question->text, question->informativeText}),
                 (QStringList{"Image will be cropped",
                              "The image is larger than the selected paper at its embedded print size.",
                              sizes + "\n\nContinue printing, or cancel and choose a larger paper size."}));
        QCOMPARE(question->buttons, (QStringList{"Continue", "Cancel"}));
        QCOMPARE(question->defaultButton, QStringLiteral("Continue"));
        QCOMPARE(printDialogShown, answer == QLatin1String("Continue"));
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
            QCOMPARE((QStringList{question->title, question->text, question->informativeText,
                                  question->defaultButton}),
                     (QStringList{"Embedded ICC profile detected",
                                  "This image contains an embedded ICC profile: sRGB.",
                                  "Plover ignores embedded profiles for profiling target output. "
                                  "Continue loading this image, or cancel and choose a different file.",
                                  "Continue"}));
            QCOMPARE(question->buttons, (QStringList{"Continue", "Cancel"}));
            QCOMPARE(facts(&window) == before, QByteArray(answer) != "Continue");
        }
        QCOMPARE(imageLabels(&window).last()->text(), QStringLiteral("ICC Profile: sRGB (Ignored)"));
    }

    // A set opens on its first page, in number order or page by page; Page Down and Page Up flip
    // through it, each page showing its own facts and pixels, and back again as they were.
    void setsOpenAndFlip_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QString>("differences");
        files.tiff(QStringLiteral("chart_10.tif"), 300, 200, 100);
        files.tiff(QStringLiteral("chart_2.tif"), 400, 300, 100);
        files.tiff(QStringLiteral("chart_1.tif"), 600, 300, 150);
        std::vector<PloverTools::TiffPage> pages;
        for (int width : {240, 300, 360}) {
            pages.push_back(PloverTools::tiffPageFromImage(patternImage(width, 240)));
            pages.back().xResolution = pages.back().yResolution = 100.0f;
        }
        QVERIFY(PloverTools::writeTiff(files.path(QStringLiteral("book.tif")), pages));
        QTest::newRow("numbered files") << QStringList{"chart_10.tif", "chart_1.tif", "chart_2.tif"}
                                        << QStringList{"chart_1.tif", "chart_2.tif", "chart_10.tif"}
                                        << "The pages differ in pixel size and resolution.";
        QTest::newRow("multi-page TIFF")
            << QStringList{"book.tif"}
            << QStringList{"book.tif, page 1", "book.tif, page 2", "book.tif, page 3"}
            << "The pages differ in pixel size.";
    }

    void setsOpenAndFlip()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, titles);
        QFETCH(QString, differences);
        QStringList paths;
        for (const QString& file : files)
            paths << this->files.path(file);
        DroppableWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openImagePath(this->files.tiff(QStringLiteral("single.tif"), 300, 300, 300));
        QCOMPARE(pageControl(&window), QString()); // a single image has no page control
        QCOMPARE(setFacts(&window), QString());
        // Dropped together, the files open as one set.
        QMimeData dropped;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromLocalFile(path);
        dropped.setUrls(urls);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
        window.dropEvent(&drop);
        QCOMPARE(setFacts(&window), QStringLiteral("3 pages\n") + differences);
        QStringList shown;
        for (int page = 0; page < 3; ++page) {
            if (page > 0)
                QTest::keyClick(&window, Qt::Key_PageDown);
            shown << settledFacts(&window);
            QCOMPARE(shown.mid(7 * page, 1), titles.mid(page, 1));
            QCOMPARE(pageControl(&window), QStringLiteral("Page %1 of 3").arg(page + 1));
        }
        QTest::keyClick(&window, Qt::Key_PageDown); // past the last page: nothing
        QCOMPARE(settledFacts(&window), shown.mid(14, 7));
        QCOMPARE(QSet<QString>({shown[6], shown[13], shown[20]}).size(), 3); // each page its own pixels
        QTest::keyClick(&window, Qt::Key_PageUp);
        QTest::keyClick(&window, Qt::Key_PageUp);
        QCOMPARE(settledFacts(&window), shown.mid(0, 7));
        QCOMPARE(pageControl(&window), QStringLiteral("Page 1 of 3"));
    }

    // A set with a damaged page is refused, naming it; what was shown stays, page, layout and
    // preview. A damaged single image is refused in the same words, without a name.
    void brokenSetKeepsWhatWasThere()
    {
        QVERIFY(writeCutTiff(files.path(QStringLiteral("cut_2.tif")), patternImage(400, 300)));
        QVERIFY(writeCutTiff(files.path(QStringLiteral("cut.tif")), patternImage(400, 300)));
        Plover::MainWindow window;
        window.resize(1100, 1000);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.openImagePaths({files.tiff(QStringLiteral("good_1.tif"), 300, 200, 100),
                               files.tiff(QStringLiteral("good_2.tif"), 200, 300, 100)});
        window.showPage(1);
        const QStringList before = settledFacts(&window);
        const QString data = QStringLiteral("The TIFF image data could not be decoded.");
        for (const auto& [set, message] :
             {std::pair{QStringList{files.path("good_1.tif"), files.path("cut_2.tif")}, "cut_2.tif: " + data},
              std::pair{QStringList{files.path("cut.tif")}, data}}) {
            window.openImagePaths(set);
            QCOMPARE(errorBanner(&window)->text(),
                     QStringLiteral("<b>Could not load target image</b><br>") + message);
            QCOMPARE(settledFacts(&window), before);
            QCOMPARE(pageControl(&window), QStringLiteral("Page 2 of 2"));
            QCOMPARE(chosen(&window)[0], QStringLiteral("DIN A4"));
        }
    }

    // One layout for the set: the smallest paper that holds every page; the crop question is asked
    // once, naming the pages the chosen paper cuts; the profile question once, naming the pages.
    void oneLayoutAndOneQuestionForTheSet()
    {
        Plover::MainWindow window;
        window.openImagePaths({files.tiff(QStringLiteral("sheet_1.tif"), 800, 1000, 100),
                               files.tiff(QStringLiteral("sheet_2.tif"), 800, 1170, 100),
                               files.tiff(QStringLiteral("sheet_3.tif"), 1100, 1600, 100)});
        QCOMPARE(chosen(&window).mid(0, 2), (QStringList{"DIN A3", "0"}));
        paperCombo(&window)->setCurrentIndex(0);
        // A print dialog, which must not come, is cancelled rather than left waiting.
        answerNextPrintDialog({QString(), {}, 0, QString(), true}, {}, &window);
        const auto crop = answerNextMessageBox(QStringLiteral("Cancel"), &window);
        action(&window, QStringLiteral("Print"))->trigger();
        QCOMPARE((QStringList{crop->title, crop->text, crop->informativeText}),
                 (QStringList{"Image will be cropped",
                              "Some pages are larger than the selected paper at their embedded print size.",
                              "sheet_2.tif: 8.00 x 11.70 in\nsheet_3.tif: 11.00 x 16.00 in\n"
                              "Paper: 8.27 x 11.69 in\n\n"
                              "Continue printing, or cancel and choose a larger paper size."}));

        for (const char* name : {"profiled_1.png", "profiled_3.png"})
            QVERIFY(writeQtImage(files.path(QString::fromLatin1(name)), patternImage(300, 200), "png", 100.0,
                                 100.0, QColorSpace(QColorSpace::SRgb)));
        const QStringList before = settledFacts(&window);
        const auto profile = answerNextMessageBox(QStringLiteral("Cancel"), &window);
        window.openImagePaths({files.path(QStringLiteral("profiled_3.png")),
                               files.tiff(QStringLiteral("profiled_2.tif"), 300, 200, 100),
                               files.path(QStringLiteral("profiled_1.png"))});
        QCOMPARE(profile->text,
                 QStringLiteral("These pages contain an embedded ICC profile: profiled_1.png (sRGB), "
                                "profiled_3.png (sRGB)."));
        QCOMPARE(settledFacts(&window), before);
    }

    // On a 1366 x 768 laptop about 720 pixels of height are left: the window fits, with the banner and
    // a set's facts showing, and the inspector scrolls there; on a tall screen it does not scroll.
    void fitsALaptopScreen()
    {
        Plover::MainWindow window;
        window.openImagePaths({files.tiff(QStringLiteral("tall_1.tif"), 300, 200, 100),
                               files.tiff(QStringLiteral("tall_2.tif"), 300, 200, 100)});
        window.openImagePath(files.path(QStringLiteral("missing.tif")));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!errorBanner(&window)->isHidden() && !group(&window, QStringLiteral("Set"))->isHidden());
        QVERIFY2(window.minimumSizeHint().height() <= 720,
                 qPrintable(QString::number(window.minimumSizeHint().height())));
        auto* inspector = qobject_cast<QScrollArea*>(
            group(&window, QStringLiteral("Paper"))->parentWidget()->parentWidget()->parentWidget());
        QVERIFY(inspector);
        for (const auto& [height, scrolls] : {std::pair{720, true}, std::pair{1200, false}}) {
            window.resize(1366, height);
            QTest::qWait(50);
            QCOMPARE(inspector->verticalScrollBar()->isVisible(), scrolls);
            QCOMPARE(inspector->width(), 320);
        }
        QCOMPARE(inspector->widget()->width(), 320);
    }
};

} // namespace

int main(int argc, char* argv[])
{
    return PloverTest::runWindowTest<TestWindow>(argc, argv);
}

#include "tst_window.moc"
