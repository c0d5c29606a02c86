// Every file of the hostile corpus (make_hostile_corpus.cpp) goes to the loader, which must end soon,
// in one of its messages or in a record that keeps the record's rules. The chosen files also go to a
// window showing a good target: it must show the message and keep the facts, the layout and the
// preview it had; or show the file, and come back exactly when the good target is loaded again.
#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"
#include "preview/preview_widget.h"
#include "tests/support/image_files.h"
#include "tests/support/modal_answer.h"
#include "tests/support/test_application.h"
#include "tests/ui/window_probe.h"
#include "tools/tiff_writer.h"

#include <QElapsedTimer>
#include <QTest>
#include <cmath>
#include <map>
#include <memory>
#include <optional>

using namespace PloverTest;

namespace {

const QString tiffOpen = QStringLiteral("The file could not be read as a TIFF image.");
const QString tiffData = QStringLiteral("The TIFF image data could not be decoded.");
const QString notAnImage = QStringLiteral("The file could not be read as an image.");
const QString suffix = QStringLiteral("Choose a TIFF, JPEG, or PNG image.");
const QStringList loadMessages{
    tiffOpen,
    tiffData,
    notAnImage,
    suffix,
    QStringLiteral("The TIFF image size could not be read."),
    QStringLiteral("Unsupported color model. Use an RGB, grayscale, or CMYK target image."),
    QStringLiteral("The TIFF image is too large to load.")};

// Files whose outcome is the point, and the sample the window meets. Lies about the size are refused
// outright, however the data is stored (fuzz-slow-unit-1c26d5140d.tif: 65536 strips in 962 bytes;
// fuzz-slow-unit-16ed6baec9.jpg: a TIFF of 67 M pixels in 768 bytes); what cannot be opened is
// refused with its reader's message; resolutions that libtiff passes on as NaN, negative or zero
// count as 72 dpi.
const std::map<QString, QStringList> chosen = {
    {tiffOpen, {"empty.tif", "folder.tif", "png-named.tif", "unreadable.tif"}},
    {tiffData,
     {"huge-65535.tif", "huge-65535-deflate.tif", "huge-65535-lzw.tif", "huge-65535-one-strip-of-many.tif",
      "huge-4097.tif", "fuzz-slow-unit-1c26d5140d.tif", "separated-6-inks.tif"}},
    {notAnImage,
     {"empty.PNG", "empty.jpeg", "folder.png", "text.jpg", "huge-65535x65535.png", "huge-60000x60000.jpg",
      "huge-8000x8000.jpg", "chunk-length-huge.png", "fuzz-slow-unit-16ed6baec9.jpg"}},
    {suffix, {"unsupported-suffix.bmp", "name-ends-in-dot."}},
    {{},
     {"huge-4000x4000.jpg", "huge-4000-one-strip-of-many.tif", "valid-rgb8.tif", "jpeg-named.png",
      "endless-fill.jpg", "icc-count-64.tif", "bits-16-samples-3.tif", "resolution-nan.tif",
      "resolution--300.tif", "resolution-0.tif"}}};

// What a user sees of the window: the image facts, the three choosers and the preview.
QStringList shown(QWidget* window)
{
    QCoreApplication::processEvents(); // layouts settle through posted events
    QCoreApplication::processEvents();
    QStringList texts{paperCombo(window)->currentText(), orientationCombo(window)->currentText()};
    for (QLabel* label : imageLabels(window))
        texts << label->text();
    for (QToolButton* button : alignmentButtons(window))
        texts << QString::number(button->isChecked());
    const QImage preview =
        window->findChild<Plover::PreviewWidget*>()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    return texts << QString::number(qHashBits(preview.constBits(), std::size_t(preview.sizeInBytes())));
}

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT

    QDir corpus{QStringLiteral(PLOVER_HOSTILE_CORPUS)};
    QTemporaryDir dir;
    Plover::MainWindow window;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(PloverTools::writeRgbTiff(dir.filePath(QStringLiteral("good-target.tif")),
                                          patternImage(600, 450), 150, 150));
        window.resize(1100, 1000); // tall enough that the banner never grows the window
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void everyFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message"); // what it must come to, null where that is not the point
        QVERIFY(corpus.count() > 200);        // a corpus the build failed to write passes vacuously
        std::map<QString, QString> expected;
        for (const auto& [message, names] : chosen) {
            for (const QString& name : names) {
                QVERIFY2(corpus.exists(name), qPrintable(name));
                expected[name] = message.isNull() ? QLatin1String("") : message;
            }
        }
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        for (const QString& name : corpus.entryList(all, QDir::Name))
            QTest::newRow(name.toUtf8().constData())
                << name << (expected.count(name) ? expected[name] : QString());
    }

    void everyFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QElapsedTimer timer;
        timer.start();
        std::optional<Plover::TargetImage> record;
        QString said;
        bool ownMessage = false;
        try {
            record = Plover::ImageLoader().loadTargetImage(corpus.filePath(name));
        } catch (const Plover::ImageLoadException& failure) {
            said = failure.message();
            ownMessage = true;
        } catch (const std::exception& failure) {
            said = QString::fromUtf8(failure.what());
        }
        // A hang guard, not a speed test: generous enough for the sanitizer build.
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
        // Mode bits stop neither root nor Windows from reading "unreadable.tif".
        const bool readable =
            name == QLatin1String("unreadable.tif") && QFileInfo(corpus.filePath(name)).isReadable();
        if (!message.isNull() && !readable)
            QCOMPARE(said, message);
        if (record) {
            QCOMPARE(QSize(record->pixelWidth, record->pixelHeight), record->image.size());
            QVERIFY(!record->image.isNull() && !record->image.colorSpace().isValid());
            QVERIFY(std::isfinite(record->dpiX) && std::isfinite(record->dpiY) && record->dpiX > 0 &&
                    record->dpiY > 0);
            QVERIFY(Plover::ImageLoader::isSupportedColorModel(record->colorModel));
            if (name.startsWith(QLatin1String("resolution-")) && !message.isNull())
                QCOMPARE(QSizeF(record->dpiX, record->dpiY), QSizeF(72, 72));
        } else {
            // Only a failed allocation may speak in its own words, and those must read as a sentence.
            QVERIFY2(ownMessage ? loadMessages.contains(said) : said.endsWith('.') && said.contains(' '),
                     qPrintable(said));
        }
        if (message.isNull())
            return;

        // The window meets each chosen file with the good target shown and the banner hidden.
        const QString good = dir.filePath(QStringLiteral("good-target.tif"));
        window.openImagePath(good);
        const QStringList before = shown(&window);
        QLabel* banner = errorBanner(&window);
        QVERIFY(before[2] == QLatin1String("good-target.tif") && !banner->isVisible());
        const auto question =
            record && record->hasIccProfile ? answerNextMessageBox(QStringLiteral("Continue")) : nullptr;
        window.openImagePath(corpus.filePath(name));
        if (record) {
            QVERIFY(!question || question->seen);
            QVERIFY(!banner->isVisible());
            QCOMPARE(imageLabels(&window).first()->text(), name);
            window.openImagePath(good);
        } else {
            QVERIFY(banner->isVisible());
            QCOMPARE(banner->text(),
                     QStringLiteral("<b>Could not load target image</b><br>") + said.toHtmlEscaped());
        }
        QCOMPARE(shown(&window), before);
    }

    // The guards against lying headers must let real files through, even those just past the size
    // loaded on trust (16 Mi pixels) whose flat colour blocks compress about as well as their
    // encoding allows.
    void largeTruthfulFilesLoad()
    {
        const QImage image = patternImage(4200, 4100);
        for (const int compression : {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE}) {
            PloverTools::TiffPage page = PloverTools::tiffPageFromImage(image);
            page.compression = std::uint16_t(compression);
            QVERIFY(PloverTools::writeTiff(dir.filePath(QStringLiteral("large-%1.tif").arg(compression)),
                                           {page}));
        }
        QVERIFY(writeQtImage(dir.filePath(QStringLiteral("large.png")), image, "png", 300.0, 300.0));
        QVERIFY(writeQtImage(dir.filePath(QStringLiteral("large.jpg")), image, "jpg", 300.0, 300.0));
        for (const QString& name : QDir(dir.path()).entryList({QStringLiteral("large*")}))
            QVERIFY2(Plover::ImageLoader().loadTargetImage(dir.filePath(name)).image.size() == image.size(),
                     qPrintable(name));
    }
};

int main(int argc, char* argv[])
{
    PloverTest::TestApplication application(argc, argv);
    TestHostile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostile.moc"
