#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"
#include "tests/support/image_files.h"
#include "tools/tiff_writer.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

using namespace Plover;
using PloverTools::TiffPage;

namespace {

// Loads the file, returning the refusal message, or an empty text when it loaded.
QString refusalOf(const QString& path, TargetImage* loaded = nullptr)
{
    try {
        const TargetImage record = ImageLoader().loadTargetImage(path);
        if (loaded)
            *loaded = record;
        return {};
    } catch (const ImageLoadException& error) {
        return error.message();
    }
}

int openFileCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// A 4 x 3 page, every sample 0, with the given resolution tags.
TiffPage tiffPage(std::uint16_t photometric, std::uint16_t samples, std::uint16_t bits = 8,
                  std::optional<float> x = {}, std::optional<float> y = {},
                  std::optional<std::uint16_t> unit = {})
{
    TiffPage page;
    page.width = 4;
    page.height = 3;
    page.photometric = photometric;
    page.samplesPerPixel = samples;
    page.bitsPerSample = bits;
    page.xResolution = x;
    page.yResolution = y;
    page.resolutionUnit = unit;
    return page;
}

} // namespace

class TestImaging : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private Q_SLOTS:
    // Qt's own guard against large images is set small here, whatever its default in this Qt
    // version, so that an ordinary PNG is beyond it.
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QImageReader::setAllocationLimit(4);
    }

    // The suffix picks the reader; a missing file's message tells which reader, if any, looked for it.
    void refusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString choose = QStringLiteral("Choose a TIFF, JPEG, or PNG image.");
        QTest::newRow("upper TIF") << "chart.TIF"
                                   << "The file could not be read as a TIFF image.";
        QTest::newRow("mixed Tiff") << "chart.Tiff"
                                    << "The file could not be read as a TIFF image.";
        QTest::newRow("upper JPEG") << "photo.JPEG"
                                    << "The file could not be read as an image.";
        QTest::newRow("mixed Png") << "scan.Png"
                                   << "The file could not be read as an image.";
        QTest::newRow("tif.bak") << "chart.tif.bak" << choose;
        QTest::newRow("jpe") << "chart.jpe" << choose;
        QTest::newRow("no dot") << "chart" << choose;
        QTest::newRow("dot in folder only") << "folder.png/chart" << choose;
    }

    void refusals()
    {
        QFETCH(QString, name);
        QTEST(refusalOf(dir.filePath(name)), "message");
    }

    void loads_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("outcome"); // the colour model, or the refusal message
        QTest::addColumn<double>("dpiX");
        QTest::addColumn<double>("dpiY");
        QTest::addColumn<QString>("profile"); // the profile's description, empty for none
        QTest::addColumn<QImage>("pixels");   // null where they do not matter
        const auto tiff = [this](const char* name, const std::vector<TiffPage>& pages, const QString& outcome,
                                 double dpiX = 72, double dpiY = 72, const QString& profile = {},
                                 const QImage& pixels = {}) {
            const QString path = dir.filePath(QString::fromLatin1(name) + QStringLiteral(".tif"));
            QVERIFY(PloverTools::writeTiff(path, pages));
            QTest::newRow(name) << path << outcome << dpiX << dpiY << profile << pixels;
        };
        // PNG and JPEG are written at 300 dpi where declared, which they hold as 11811 dots per metre.
        const double stored300 = 11811 / 39.37007874015748; // about 299.9994
        const auto qt = [this, stored300](const char* name, const QImage& image, bool x, bool y,
                                          const char* model, const QColorSpace& space = {}) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            using D = std::optional<double>;
            QVERIFY(PloverTest::writeQtImage(path, image, QFileInfo(path).suffix().toLatin1(),
                                             x ? D(300) : D(), y ? D(300) : D(), space));
            QTest::newRow(name) << path << QString::fromLatin1(model) << (x ? stored300 : 72.0)
                                << (y ? stored300 : 72.0) << space.description() << QImage();
        };

        tiff("min-is-black", {tiffPage(PHOTOMETRIC_MINISBLACK, 1)}, "Grayscale");
        tiff("min-is-white, 16 bits", {tiffPage(PHOTOMETRIC_MINISWHITE, 1, 16)}, "Grayscale");
        tiff("grey + alpha", {tiffPage(PHOTOMETRIC_MINISBLACK, 2)}, "Grayscale");
        tiff("separated", {tiffPage(PHOTOMETRIC_SEPARATED, 4)}, "CMYK");
        tiff("ycbcr", {tiffPage(PHOTOMETRIC_YCBCR, 3)}, "RGB");
        tiff("palette", {tiffPage(PHOTOMETRIC_PALETTE, 1)},
             "Unsupported color model. Use an RGB, grayscale, or CMYK target image.");
        tiff("separated, 2 inks", {tiffPage(PHOTOMETRIC_SEPARATED, 2)},
             "The TIFF image data could not be decoded.");

        // TIFF resolution: inch by default, each axis on its own, 72 where unusable.
        const double cm = double(118.11f) * 2.54; // about 299.9994
        tiff("no unit tag", {tiffPage(PHOTOMETRIC_RGB, 3, 8, 300, 150)}, "RGB", 300, 150);
        tiff("centimetre", {tiffPage(PHOTOMETRIC_RGB, 3, 8, 118.11f, 118.11f, RESUNIT_CENTIMETER)}, "RGB", cm,
             cm);
        tiff("unit none", {tiffPage(PHOTOMETRIC_RGB, 3, 8, 300, 300, RESUNIT_NONE)}, "RGB");
        tiff("zero x", {tiffPage(PHOTOMETRIC_RGB, 3, 8, 0, 300, RESUNIT_INCH)}, "RGB", 72, 300);
        tiff("no y", {tiffPage(PHOTOMETRIC_RGB, 3, 8, 300, {}, RESUNIT_INCH)}, "RGB", 300, 72);

        TiffPage icc = tiffPage(PHOTOMETRIC_RGB, 3);
        icc.iccProfile = QByteArray(200, 'p');
        tiff("icc", {icc}, "RGB", 72, 72, QStringLiteral("Embedded ICC profile"));

        // Distinct corners and an alpha that varies, stored as associated alpha so that libtiff passes it
        // through unchanged.
        QImage pattern = PloverTest::patternImage(4, 3).convertToFormat(QImage::Format_ARGB32);
        pattern.setPixel(3, 2, qRgba(20, 40, 60, 90));
        const auto patternPage = [&pattern](std::uint16_t orientation) {
            TiffPage page = PloverTools::tiffPageFromImage(
                orientation == ORIENTATION_BOTLEFT ? pattern.mirrored(false, true) : pattern);
            page.moreTags = [orientation](TIFF* file) {
                const std::uint16_t associated = EXTRASAMPLE_ASSOCALPHA;
                TIFFSetField(file, TIFFTAG_EXTRASAMPLES, 1, &associated);
                TIFFSetField(file, TIFFTAG_ORIENTATION, orientation);
            };
            return page;
        };
        tiff("pixels", {patternPage(ORIENTATION_TOPLEFT)}, "RGB", 72, 72, {}, pattern);
        tiff("pixels stored bottom-up", {patternPage(ORIENTATION_BOTLEFT)}, "RGB", 72, 72, {}, pattern);

        TiffPage second = tiffPage(PHOTOMETRIC_RGB, 3, 8, 600, 600, RESUNIT_INCH);
        second.width = second.height = 9;
        tiff("first of two pages", {tiffPage(PHOTOMETRIC_MINISBLACK, 1), second}, "Grayscale");

        // 100 million pixels in one row, stored in full: libtiff accepts it, QImage cannot hold a row
        // that wide.
        TiffPage wide = tiffPage(PHOTOMETRIC_MINISBLACK, 1, 1);
        wide.width = 100'000'000;
        wide.height = 1;
        tiff("too large", {wide}, "The TIFF image is too large to load.");

        const QImage colour = PloverTest::patternImage(16, 8);
        QImage grey(16, 8, QImage::Format_RGB32);
        grey.fill(qRgb(90, 90, 90));
        qt("colour.png", colour, true, true, "RGB");
        qt("undeclared.png", colour, false, false, "RGB");
        qt("undeclared.jpg", colour, false, false, "RGB");
        qt("x only.png", colour, true, false, "RGB");
        qt("y only.jpg", colour, false, true, "RGB");
        qt("grey pixels.png", grey, true, true, "Grayscale"); // RGB pixels that happen to be grey
        qt("profile.png", colour, true, true, "RGB", QColorSpace::AdobeRgb);
        qt("profile.jpg", colour, true, true, "RGB", QColorSpace::AdobeRgb);
        // A four-ink Adobe JPEG, 24 x 16, written once with libjpeg: Qt cannot write one.
        QTest::newRow("cmyk.jpg") << QFINDTESTDATA("data/cmyk.jpg") << "CMYK" << 72.0 << 72.0 << QString()
                                  << QImage();
        // 1200 x 1200 decodes to 5.8 MB, beyond the 4 MB Qt alone is allowed here.
        QImage flat(1200, 1200, QImage::Format_RGB32);
        flat.fill(qRgb(120, 130, 140));
        qt("large.png", flat, true, true, "RGB");
        QVERIFY(QImageReader(dir.filePath(QStringLiteral("large.png"))).read().isNull());

        // Qt writes no orientation tag, so one goes in by hand: Exif orientation 6, a quarter turn. The
        // pixels must stay as stored.
        qt("turned.jpg", colour, true, true, "RGB");
        QFile file(dir.filePath(QStringLiteral("turned.jpg")));
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray jpeg = file.readAll();
        const QByteArray exif("\xff\xe1\0\x22"
                              "Exif\0\0MM\0\x2a\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0",
                              36);
        QVERIFY(file.seek(0) && file.write(jpeg.left(2) + exif + jpeg.mid(2)) > 0);
        file.close();
        QImageReader check(file.fileName());
        check.setAutoTransform(true);
        QCOMPARE(check.read().size(), QSize(8, 16)); // the file really asks for a turn
    }

    void loads()
    {
        QFETCH(QString, path);
        QFETCH(QString, profile);
        QFETCH(QImage, pixels);
        const int filesBefore = openFileCount();
        TargetImage record;
        const QString refusal = refusalOf(path, &record);
        QCOMPARE(openFileCount(), filesBefore); // the file is closed on every way out
        QCOMPARE(QImageReader::allocationLimit(), 4);
        QTEST(refusal.isEmpty() ? record.colorModel : refusal, "outcome");
        if (!refusal.isEmpty())
            return;
        QTEST(record.dpiX, "dpiX");
        QTEST(record.dpiY, "dpiY");
        QCOMPARE(record.hasIccProfile, !profile.isEmpty());
        QCOMPARE(record.iccProfileDescription, profile);
        QVERIFY(!record.image.colorSpace().isValid());
        // As stored: unturned, and a TIFF's first page, 4 x 3 in every file here.
        const bool tiff = path.endsWith(QLatin1String(".tif"));
        QImageReader reader(path);
        reader.setAutoTransform(false);
        QCOMPARE(record.image.size(), tiff ? QSize(4, 3) : reader.size());
        QCOMPARE(QSize(record.pixelWidth, record.pixelHeight), record.image.size());
        if (!pixels.isNull())
            QCOMPARE(record.image, pixels);
        QCOMPARE(record.filePath, path);
        QCOMPARE(record.fileName, QFileInfo(path).fileName());
    }
};

QTEST_MAIN(TestImaging)
#include "tst_imaging.moc"
