#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"
#include "imaging/target_set.h"
#include "tests/support/image_files.h"
#include "tools/tiff_writer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <map>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using namespace Plover;
using PloverTools::TiffPage;
using D = std::optional<double>;

namespace {

// The process's open files, as Linux lists them; Windows has no such list (under Wine the folder lists
// Wine's own descriptors, which come and go), so there the check is left out.
int openFileCount()
{
#ifdef _WIN32
    return 0;
#else
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
#endif
}

// The most memory the process has held so far, in MiB, as Linux counts it; 0 where it is not counted.
long peakMemoryMiB()
{
#ifdef _WIN32
    return 0;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
#endif
}

// A 4 x 3 page, every sample 0, with the given resolution tags.
TiffPage tiffPage(std::uint16_t photometric, std::uint16_t samples, std::optional<float> x = {},
                  std::optional<float> y = {}, std::optional<std::uint16_t> unit = {})
{
    TiffPage page;
    page.width = 4;
    page.height = 3;
    page.photometric = photometric;
    page.samplesPerPixel = samples;
    page.xResolution = x;
    page.yResolution = y;
    page.resolutionUnit = unit;
    return page;
}

const QString tiffOpen = QStringLiteral("The file could not be read as a TIFF image.");
const QString tiffData = QStringLiteral("The TIFF image data could not be decoded.");
const QString notAnImage = QStringLiteral("The file could not be read as an image.");

// Hostile files whose outcome is the point; the last group must load. Lies about the size are refused
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
    {QStringLiteral("Choose a TIFF, JPEG, or PNG image."), {"unsupported-suffix.bmp", "name-ends-in-dot."}},
    {QStringLiteral("RGB"),
     {"huge-4000x4000.jpg", "huge-4000-one-strip-of-many.tif", "valid-rgb8.tif", "jpeg-named.png",
      "endless-fill.jpg", "icc-count-64.tif", "bits-16-samples-3.tif", "resolution-nan.tif",
      "resolution--300.tif", "resolution-0.tif"}}};

} // namespace

class TestImaging : public QObject
{
    Q_OBJECT

    // Greek and Japanese in the folder name: every file here has a path that no one 8-bit code page holds.
    QTemporaryDir dir{
        QDir::tempPath() +
        QStringLiteral("/\u03c3\u03c4\u03cc\u03c7\u03bf\u03c2-\u30bf\u30fc\u30b2\u30c3\u30c8-XXXXXX")};

private Q_SLOTS:
    // Qt's own guard against large images is set small here, whatever its default in this Qt
    // version, so that an ordinary PNG is beyond it.
    void initTestCase() { QImageReader::setAllocationLimit(4); }

    void loads_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("outcome"); // the colour model, or the refusal message
        QTest::addColumn<QSizeF>("dpi");
        QTest::addColumn<QString>("profile"); // the profile's description, empty for none
        QTest::addColumn<QImage>("pixels");   // null where they do not matter
        const auto row = [this](const char* name, const QString& outcome, QSizeF dpi = {72, 72},
                                const QString& profile = {}, const QImage& pixels = {}) {
            QTest::newRow(name) << dir.filePath(QString::fromLatin1(name)) << outcome << dpi << profile
                                << pixels;
        };
        const auto tiff = [&](const char* name, const std::vector<TiffPage>& pages, const QString& outcome,
                              QSizeF dpi = {72, 72}, const QString& profile = {}, const QImage& pixels = {}) {
            QVERIFY(PloverTools::writeTiff(dir.filePath(QString::fromLatin1(name)), pages));
            row(name, outcome, dpi, profile, pixels);
        };
        // PNG and JPEG hold 300 dpi as 11811 dots per metre.
        const double d300 = 11811 / 39.37007874015748;
        const QImage colour = PloverTest::patternImage(16, 8);
        const auto qt = [&](const char* name, const QImage& image, D x, D y, const char* model,
                            const QColorSpace& space = {}) {
            QVERIFY(PloverTest::writeQtImage(dir.filePath(QString::fromLatin1(name)), image,
                                             QFileInfo(name).suffix().toLatin1(), x, y, space));
            row(name, QString::fromLatin1(model), {x ? d300 : 72, y ? d300 : 72}, space.description(),
                QByteArray(name).endsWith(".png") ? image.convertToFormat(QImage::Format_RGB32) : QImage());
        };

        // The suffix alone picks the reader; a missing file's message tells which reader looked for it.
        row("chart.Tiff", QStringLiteral("The file could not be read as a TIFF image."));
        row("photo.JPEG", QStringLiteral("The file could not be read as an image."));
        for (const char* name : {"chart.tif.bak", "chart", "folder.png/chart"})
            row(name, QStringLiteral("Choose a TIFF, JPEG, or PNG image."));

        tiff("grey.tif", {tiffPage(PHOTOMETRIC_MINISWHITE, 2)}, "Grayscale");
        tiff("separated.tif", {tiffPage(PHOTOMETRIC_SEPARATED, 4)}, "CMYK");
        tiff("ycbcr.tif", {tiffPage(PHOTOMETRIC_YCBCR, 3)}, "RGB");
        tiff("palette.tif", {tiffPage(PHOTOMETRIC_PALETTE, 1)},
             "Unsupported color model. Use an RGB, grayscale, or CMYK target image.");
        // TIFF resolution: inch by default, each axis on its own, 72 where unusable; the first page.
        const double cm = double(118.11f) * 2.54;
        tiff("no unit.tif", {tiffPage(PHOTOMETRIC_RGB, 3, 300, 150)}, "RGB", {300, 150});
        tiff("cm.tif", {tiffPage(PHOTOMETRIC_RGB, 3, 118.11f, 118.11f, RESUNIT_CENTIMETER)}, "RGB", {cm, cm});
        tiff("unit none.tif", {tiffPage(PHOTOMETRIC_RGB, 3, 300, 300, RESUNIT_NONE)}, "RGB");
        tiff("two pages.tif", {tiffPage(PHOTOMETRIC_RGB, 3, 300, {}, 2), tiffPage(PHOTOMETRIC_MINISBLACK, 1)},
             "RGB", {300, 72});
        TiffPage icc = tiffPage(PHOTOMETRIC_RGB, 3);
        icc.iccProfile = QByteArray(200, 'p');
        tiff("icc.tif", {icc}, "RGB", {72, 72}, QStringLiteral("Embedded ICC profile"));
        // Distinct corners and a varying alpha, stored bottom-up as associated alpha, which libtiff
        // passes through unchanged.
        QImage pattern = PloverTest::patternImage(4, 3).convertToFormat(QImage::Format_ARGB32);
        pattern.setPixel(3, 2, qRgba(20, 40, 60, 90));
        TiffPage stored = PloverTools::tiffPageFromImage(pattern.mirrored(false, true));
        stored.moreTags = [](TIFF* file) {
            const std::uint16_t associated = EXTRASAMPLE_ASSOCALPHA;
            TIFFSetField(file, TIFFTAG_EXTRASAMPLES, 1, &associated);
            TIFFSetField(file, TIFFTAG_ORIENTATION, ORIENTATION_BOTLEFT);
        };
        tiff("bottom-up.tif", {stored}, "RGB", {72, 72}, {}, pattern);
        // 100 million pixels in one row: libtiff accepts it, QImage cannot hold a row that wide.
        TiffPage wide = tiffPage(PHOTOMETRIC_MINISBLACK, 1);
        wide.width = 100'000'000;
        wide.height = 1;
        wide.bitsPerSample = 1;
        tiff("wide.tif", {wide}, "The TIFF image is too large to load.");

        QImage grey(16, 8, QImage::Format_RGB32);
        grey.fill(qRgb(90, 90, 90));
        qt("undeclared.png", colour, {}, {}, "RGB");
        qt("undeclared.jpg", colour, {}, {}, "RGB");
        qt("x only.png", colour, 300, {}, "RGB");
        qt("y only.jpg", colour, {}, 300, "RGB");
        qt("grey.png", grey, 300, 300, "Grayscale"); // RGB pixels that happen to be grey
        qt("profile.png", colour, 300, 300, "RGB", QColorSpace::AdobeRgb);
        qt("profile.jpg", colour, 300, 300, "RGB", QColorSpace::AdobeRgb);
        // A four-ink Adobe JPEG, 24 x 16, written once with libjpeg: Qt cannot write one.
        QTest::newRow("cmyk.jpg") << QFINDTESTDATA("data/cmyk.jpg") << "CMYK" << QSizeF(72, 72) << QString()
                                  << QImage();
        // 1200 x 1200 decodes to 5.8 MB, beyond the 4 MB Qt alone is allowed here.
        QImage flat(1200, 1200, QImage::Format_RGB32);
        flat.fill(qRgb(120, 130, 140));
        qt("large.png", flat, 300, 300, "RGB");
        QVERIFY(QImageReader(dir.filePath(QStringLiteral("large.png"))).read().isNull());

        // Exif orientation 6, a quarter turn, goes in by hand: the pixels must stay as stored.
        qt("turned.jpg", colour, 300, 300, "RGB");
        QFile file(dir.filePath(QStringLiteral("turned.jpg")));
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray jpeg = file.readAll();
        const QByteArray exif("\xff\xe1\0\x22"
                              "Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0",
                              36);
        QVERIFY(file.seek(0) && file.write(jpeg.left(2) + exif + jpeg.mid(2)) > 0);

        // Real files just past the size loaded on trust (16 Mi pixels), whose flat colour blocks
        // compress about as well as their encoding allows, get past the guards against lying headers.
        const QImage large = PloverTest::patternImage(4200, 4100);
        for (const std::uint16_t compression :
             {COMPRESSION_NONE, COMPRESSION_LZW, COMPRESSION_ADOBE_DEFLATE}) {
            TiffPage page = PloverTools::tiffPageFromImage(large);
            page.compression = compression;
            tiff(qPrintable(QStringLiteral("large-%1.tif").arg(compression)), {page}, "RGB", {});
        }
        qt("large-pattern.png", large, 300, 300, "RGB");
        qt("large-pattern.jpg", large, 300, 300, "RGB");

        // The hostile corpus (make_hostile_corpus.cpp): whatever it must come to, each file ends soon in
        // one of the loader's messages or in a record that keeps the record's rules.
        const QDir corpus(QStringLiteral(PLOVER_HOSTILE_CORPUS));
        QVERIFY(corpus.count() > 200); // a corpus the build failed to write passes vacuously
        std::map<QString, QString> expected;
        for (const auto& [message, names] : chosen) {
            for (const QString& name : names) {
                QVERIFY2(corpus.exists(name), qPrintable(name));
                expected[name] = message;
            }
        }
        for (const QString& name : corpus.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
            const bool resolution = name.startsWith(QLatin1String("resolution-")) && expected.count(name);
            QTest::newRow(qPrintable(QStringLiteral("hostile/") + name))
                << corpus.filePath(name) << (expected.count(name) ? expected[name] : QString())
                << (resolution ? QSizeF(72, 72) : QSizeF()) << QString() << QImage();
        }
    }

    void loads()
    {
        QFETCH(QString, path);
        QFETCH(QString, outcome);
        QFETCH(QSizeF, dpi);
        QFETCH(QString, profile);
        QFETCH(QImage, pixels);
        const int filesBefore = openFileCount();
        const long peakBefore = peakMemoryMiB();
        QElapsedTimer timer;
        timer.start();
        TargetImage record;
        QString refusal;
        try {
            record = ImageLoader().loadTargetImage(path);
        } catch (const ImageLoadException& error) {
            refusal = error.message();
        } catch (const std::exception& error) { // a failed allocation speaks in its own words
            refusal = QString::fromUtf8(error.what());
        }
        // Guards against hangs and runaway allocations, not speed or memory goals: each is far past what
        // any file here needs, the sanitizer build's included.
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QStringLiteral("took %1 ms").arg(timer.elapsed())));
        QVERIFY2(peakMemoryMiB() - peakBefore < 1024,
                 qPrintable(QStringLiteral("grew to %1 MiB").arg(peakMemoryMiB())));
        QCOMPARE(openFileCount(), filesBefore); // the file is closed on every way out
        QCOMPARE(QImageReader::allocationLimit(), 4);
        if (!outcome.isNull() &&
            !(path.endsWith(QLatin1String("unreadable.tif")) && QFileInfo(path).isReadable()))
            QCOMPARE(refusal.isEmpty() ? record.colorModel : refusal, outcome);
        QVERIFY2(refusal.isEmpty() || (refusal.endsWith('.') && refusal.contains(' ')), qPrintable(refusal));
        if (!refusal.isEmpty())
            return;
        QCOMPARE(QSize(record.pixelWidth, record.pixelHeight), record.image.size());
        QVERIFY(!record.image.isNull() && !record.image.colorSpace().isValid());
        QVERIFY(ImageLoader::isSupportedColorModel(record.colorModel));
        QVERIFY(std::isfinite(record.dpiX) && std::isfinite(record.dpiY) && record.dpiX > 0 &&
                record.dpiY > 0);
        if (dpi.isValid())
            QCOMPARE(QSizeF(record.dpiX, record.dpiY), dpi);
        if (QByteArray(QTest::currentDataTag()).startsWith("hostile/"))
            return;
        QCOMPARE(record.hasIccProfile, !profile.isEmpty());
        QCOMPARE(record.iccProfileDescription, profile);
        // As stored: unturned, and a TIFF's first page, 4 x 3 in every small file here.
        QImageReader reader(path);
        reader.setAutoTransform(false);
        QCOMPARE(record.image.size(), !path.endsWith(QLatin1String(".tif"))    ? reader.size()
                                      : path.contains(QLatin1String("large-")) ? QSize(4200, 4100)
                                                                               : QSize(4, 3));
        if (!pixels.isNull())
            QCOMPARE(record.image, pixels);
        QCOMPARE(record.fileName, QFileInfo(path).fileName());
    }

    // Files become a set in the order of their numbers or names, a multi-page TIFF page by page, each
    // page read as itself; one bad page refuses the set, naming it. Each file's pages are as wide as
    // the number in the file's name plus the page's index, so that the facts tell the pages apart.
    void sets_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("pages"); // name and width of each page, or the refusal
        const auto page = [](std::uint32_t width, std::uint16_t photometric = PHOTOMETRIC_RGB) {
            TiffPage tiff = tiffPage(photometric, photometric == PHOTOMETRIC_RGB ? 3 : 1);
            tiff.width = width;
            return tiff;
        };
        for (int number : {1, 2, 10, 11})
            PloverTools::writeTiff(dir.filePath(QStringLiteral("chart_%1.tif").arg(number)), {page(number)});
        PloverTools::writeTiff(dir.filePath(QStringLiteral("Bravo.TIF")), {page(7)});
        PloverTools::writeTiff(dir.filePath(QStringLiteral("alpha.tif")), {page(8)});
        PloverTools::writeTiff(dir.filePath(QStringLiteral("book_3.tif")), {page(3), page(4), page(5)});
        PloverTools::writeTiff(dir.filePath(QStringLiteral("palette_2.tif")),
                               {page(2), page(3, PHOTOMETRIC_PALETTE)});
        QVERIFY(PloverTest::writeCutTiff(dir.filePath(QStringLiteral("chart_3.tif")),
                                         PloverTest::patternImage(200, 100)));
        QTest::newRow("by number") << QStringList{"chart_10.tif", "chart_2.tif", "chart_11.tif",
                                                  "chart_1.tif"}
                                   << QStringList{"chart_1.tif 1", "chart_2.tif 2", "chart_10.tif 10",
                                                  "chart_11.tif 11"};
        QTest::newRow("by name") << QStringList{"Bravo.TIF", "chart_1.tif", "alpha.tif"}
                                 << QStringList{"alpha.tif 8", "Bravo.TIF 7", "chart_1.tif 1"};
        QTest::newRow("multi-page TIFF")
            << QStringList{"book_3.tif"}
            << QStringList{"book_3.tif, page 1 3", "book_3.tif, page 2 4", "book_3.tif, page 3 5"};
        QTest::newRow("a file and a multi-page TIFF")
            << QStringList{"chart_10.tif", "book_3.tif"}
            << QStringList{"book_3.tif, page 1 3", "book_3.tif, page 2 4", "book_3.tif, page 3 5",
                           "chart_10.tif 10"};
        QTest::newRow("a cut TIFF alone") << QStringList{"chart_3.tif"} << QStringList{tiffData};
        QTest::newRow("a cut TIFF in a set") << QStringList{"chart_2.tif", "chart_3.tif", "chart_10.tif"}
                                             << QStringList{"chart_3.tif: " + tiffData};
        QTest::newRow("a bad page of a multi-page TIFF")
            << QStringList{"palette_2.tif", "chart_1.tif"}
            << QStringList{"palette_2.tif, page 2: Unsupported color model. Use an RGB, grayscale, or CMYK "
                           "target image."};
    }

    void sets()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, pages);
        QStringList paths;
        for (const QString& file : files)
            paths << dir.filePath(file);
        std::atomic<int> done{0};
        const std::atomic<bool> cancelled{false};
        QStringList seen;
        try {
            const std::optional<LoadedTargetSet> loaded =
                loadTargetSet(ImageLoader(), targetSetFromPaths(paths), done, cancelled);
            QVERIFY(loaded);
            for (int i = 0; i < loaded->pages.size(); ++i)
                seen << targetPageName(loaded->set.pages[i]) + ' ' +
                            QString::number(loaded->pages[i].pixelWidth);
            QCOMPARE(loaded->firstPage.image.width(), loaded->pages[0].pixelWidth);
            QCOMPARE(done.load(), int(pages.size()));
        } catch (const ImageLoadException& error) {
            seen << error.message();
        }
        QCOMPARE(seen, pages);
    }
};

QTEST_MAIN(TestImaging)
#include "tst_imaging.moc"
