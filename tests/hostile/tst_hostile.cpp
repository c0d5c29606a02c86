// Every file of the hostile corpus (make_hostile_corpus.cpp) goes to the loader and to a window
// showing a good target. The loader must end soon, in one of its messages or in a record that keeps
// the record's rules. The window must show the message and keep the facts, the layout and the
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
#include <unistd.h>

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

// Files whose outcome is the point. Lies about the size are refused outright, however the data is
// stored (fuzz-slow-unit-1c26d5140d.tif: 65536 strips in 962 bytes; fuzz-slow-unit-16ed6baec9.jpg:
// a TIFF of 67 M pixels in 768 bytes); what cannot be opened is refused with its reader's message;
// resolutions that libtiff passes on as NaN, negative or zero count as 72 dpi.
const std::map<QString, QStringList> chosen = {
    {tiffOpen, {"empty.tif", "folder.tif", "socket.tif", "png-named.tif", "unreadable.tif"}},
    {tiffData,
     {"huge-65535.tif", "huge-65535-deflate.tif", "huge-65535-lzw.tif", "huge-65535-one-strip-of-many.tif",
      "huge-4097.tif", "fuzz-slow-unit-1c26d5140d.tif", "separated-6-inks.tif"}},
    {notAnImage,
     {"empty.PNG", "empty.jpeg", "folder.png", "socket.png", "text.jpg", "text.png", "huge-65535.png",
      "huge-60000.jpg", "huge-20000.jpg", "huge-8000.jpg", "chunk-length-huge.png",
      "fuzz-slow-unit-16ed6baec9.jpg"}},
    {suffix, {"unsupported-suffix.bmp", "name-ends-in-dot."}},
    {{},
     {"huge-4000.jpg", "huge-4000-one-strip-of-many.tif", "valid-rgb8.tif", "jpeg-named.png",
      "endless-fill.jpg", "bits-16-samples-3.tif", "planar-separate-rgb.tif", "resolution-nan.tif",
      "resolution-negative.tif", "resolution-zero.tif"}}};

struct Outcome
{
    std::optional<Plover::TargetImage> record;
    QString message;
    bool ownMessage = false;
};

Outcome load(const QString& path)
{
    Outcome outcome;
    try {
        outcome.record = Plover::ImageLoader().loadTargetImage(path);
    } catch (const Plover::ImageLoadException& failure) {
        outcome.message = failure.message();
        outcome.ownMessage = true;
    } catch (const std::exception& failure) {
        outcome.message = QString::fromUtf8(failure.what());
    }
    return outcome;
}

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
    QString goodPath;
    std::unique_ptr<Plover::MainWindow> window;
    QStringList good;

private Q_SLOTS:
    void initTestCase()
    {
        // A corpus the build failed to write would pass every row vacuously.
        QVERIFY(corpus.count() > 200);
        for (const auto& [message, names] : chosen) {
            for (const QString& name : names)
                QVERIFY2(corpus.exists(name), qPrintable(name));
        }
        goodPath = dir.filePath(QStringLiteral("good-target.tif"));
        QVERIFY(PloverTools::writeRgbTiff(goodPath, patternImage(600, 450), 150, 150));
        window = std::make_unique<Plover::MainWindow>();
        window->resize(1100, 1000); // tall enough that the banner never grows the window
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->openImagePath(goodPath);
        good = shown(window.get());
        QCOMPARE(good[2], QStringLiteral("good-target.tif"));
    }

    void cleanupTestCase() { window.reset(); }

    void everyFile_data()
    {
        QTest::addColumn<QString>("name");
        const auto all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        for (const QString& name : corpus.entryList(all, QDir::Name))
            QTest::newRow(name.toUtf8().constData()) << name;
    }

    void everyFile()
    {
        QFETCH(QString, name);
        QElapsedTimer timer;
        timer.start();
        const Outcome outcome = load(corpus.filePath(name));
        // A hang guard, not a speed test: generous enough for the sanitizer build.
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
        for (const auto& [message, names] : chosen) {
            if (names.contains(name) && !(name == QLatin1String("unreadable.tif") && geteuid() == 0))
                QCOMPARE(outcome.message, message);
        }
        if (outcome.record) {
            const Plover::TargetImage& record = *outcome.record;
            QCOMPARE(QSize(record.pixelWidth, record.pixelHeight), record.image.size());
            QVERIFY(!record.image.isNull() && !record.image.colorSpace().isValid());
            QVERIFY(std::isfinite(record.dpiX) && std::isfinite(record.dpiY) && record.dpiX > 0 &&
                    record.dpiY > 0);
            QVERIFY(Plover::ImageLoader::isSupportedColorModel(record.colorModel));
            if (chosen.at({}).contains(name) && name.startsWith(QLatin1String("resolution-")))
                QCOMPARE(QSizeF(record.dpiX, record.dpiY), QSizeF(72, 72));
        } else {
            // Only a failed allocation may speak in its own words, and those must read as a sentence.
            QVERIFY2(outcome.ownMessage ? loadMessages.contains(outcome.message)
                                        : outcome.message.endsWith(QLatin1Char('.')) &&
                                              outcome.message.contains(QLatin1Char(' ')),
                     qPrintable(outcome.message));
        }

        // Each file meets the good target with the banner hidden, so a stale banner cannot stand in.
        QLabel* banner = errorBanner(window.get());
        window->openImagePath(goodPath);
        QVERIFY(!banner->isVisible());
        const auto question = outcome.record && outcome.record->hasIccProfile
                                  ? answerNextMessageBox(QStringLiteral("Continue"))
                                  : nullptr;
        window->openImagePath(corpus.filePath(name));
        if (outcome.record) {
            QVERIFY(!question || question->seen);
            QVERIFY(!banner->isVisible());
            QCOMPARE(imageLabels(window.get()).first()->text(), name);
            window->openImagePath(goodPath);
        } else {
            QVERIFY(banner->isVisible());
            QCOMPARE(banner->text(), QStringLiteral("<b>Could not load target image</b><br>") +
                                         outcome.message.toHtmlEscaped());
        }
        QCOMPARE(shown(window.get()), good);
    }

    // The guards against lying headers must let real files through, even those just past the size
    // loaded on trust (16 Mi pixels) whose flat colour blocks compress about as well as their
    // encoding allows.
    void largeTruthfulFilesLoad_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("compression"); // TIFF only
        QTest::newRow("uncompressed TIFF") << "large.tif" << int(COMPRESSION_NONE);
        QTest::newRow("LZW TIFF") << "large.tif" << int(COMPRESSION_LZW);
        QTest::newRow("deflate TIFF") << "large.tif" << int(COMPRESSION_ADOBE_DEFLATE);
        QTest::newRow("PNG") << "large.png" << 0;
        QTest::newRow("JPEG") << "large.jpg" << 0;
    }

    void largeTruthfulFilesLoad()
    {
        QFETCH(QString, name);
        QFETCH(int, compression);
        const QImage image = patternImage(4200, 4100);
        const QString path = dir.filePath(name);
        if (name.endsWith(QLatin1String(".tif"))) {
            PloverTools::TiffPage page = PloverTools::tiffPageFromImage(image);
            page.compression = std::uint16_t(compression);
            QVERIFY(PloverTools::writeTiff(path, {page}));
        } else {
            QVERIFY(writeQtImage(path, image, QFileInfo(path).suffix().toLatin1(), 300.0, 300.0));
        }
        const Outcome outcome = load(path);
        QVERIFY2(outcome.record, qPrintable(outcome.message));
        QCOMPARE(outcome.record->image.size(), QSize(4200, 4100));
    }
};

int main(int argc, char* argv[])
{
    PloverTest::TestApplication application(argc, argv);
    TestHostile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostile.moc"
