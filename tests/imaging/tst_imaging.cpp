#include "imaging/image_header_probe.h"
#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"
#include "tests/support/image_files.h"
#include "tests/support/tiff_writer.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>

using namespace Plover;
using PloverTest::TiffPage;

namespace {

const QString chooseFormat = QStringLiteral("Choose a TIFF, JPEG, or PNG image.");
const QString notAnImage = QStringLiteral("The file could not be read as an image.");
const QString notATiff = QStringLiteral("The file could not be read as a TIFF image.");
const QString unsupportedModel =
    QStringLiteral("Unsupported color model. Use an RGB, grayscale, or CMYK target image.");
const QString notDecoded = QStringLiteral("The TIFF image data could not be decoded.");
const QString tooLarge = QStringLiteral("The TIFF image is too large to load.");

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

TiffPage tiffPage(std::uint16_t photometric, std::uint16_t samples, std::uint16_t bits = 8)
{
    TiffPage page;
    page.width = 4;
    page.height = 3;
    page.photometric = photometric;
    page.samplesPerPixel = samples;
    page.bitsPerSample = bits;
    page.sample = [](std::uint32_t x, std::uint32_t y, std::uint16_t s) {
        return double(10 * x + 20 * y + 30 * s);
    };
    return page;
}

} // namespace

Q_DECLARE_METATYPE(TiffPage)

class TestImaging : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void refusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // null: no such file
        QTest::addColumn<QString>("message");
        // The message of a missing file tells which reader, if any, looked for it.
        const QByteArray none;
        QTest::newRow("upper TIF") << "chart.TIF" << none << notATiff;
        QTest::newRow("mixed Tiff") << "chart.Tiff" << none << notATiff;
        QTest::newRow("tiff") << "chart.tiff" << none << notATiff;
        QTest::newRow("JPG") << "photo.JPG" << none << notAnImage;
        QTest::newRow("jpeg") << "photo.jpeg" << none << notAnImage;
        QTest::newRow("Png") << "scan.Png" << none << notAnImage;
        QTest::newRow("tif.bak") << "chart.tif.bak" << none << chooseFormat;
        QTest::newRow("jpe") << "chart.jpe" << none << chooseFormat;
        QTest::newRow("trailing dot") << "chart." << none << chooseFormat;
        QTest::newRow("no dot") << "chart" << none << chooseFormat;
        QTest::newRow("dot in folder only") << "folder.png/chart" << none << chooseFormat;
        QTest::newRow("text as png") << "text.png" << QByteArray("not an image") << notAnImage;
        QTest::newRow("empty jpg") << "empty.jpg" << QByteArray("") << notAnImage;
        QTest::newRow("png signature only") << "cut.png" << QByteArray("\x89PNG\r\n\x1a\n") << notAnImage;
        QTest::newRow("text as tif") << "text.tif" << QByteArray("not an image") << notATiff;
    }
    void refusals()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        const QString path = dir.filePath(name);
        if (!content.isNull()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QCOMPARE(refusalOf(path), message);
    }

    void tiffColorModel_data()
    {
        QTest::addColumn<TiffPage>("page");
        QTest::addColumn<QString>("colorModel"); // empty when refused
        QTest::addColumn<QString>("message");
        QTest::newRow("min-is-black") << tiffPage(PHOTOMETRIC_MINISBLACK, 1) << "Grayscale" << QString();
        QTest::newRow("min-is-white 16")
            << tiffPage(PHOTOMETRIC_MINISWHITE, 1, 16) << "Grayscale" << QString();
        QTest::newRow("grey + alpha") << tiffPage(PHOTOMETRIC_MINISBLACK, 2) << "Grayscale" << QString();
        QTest::newRow("rgb") << tiffPage(PHOTOMETRIC_RGB, 3) << "RGB" << QString();
        QTest::newRow("rgb 16") << tiffPage(PHOTOMETRIC_RGB, 3, 16) << "RGB" << QString();
        QTest::newRow("rgba") << tiffPage(PHOTOMETRIC_RGB, 4) << "RGB" << QString();
        QTest::newRow("separated") << tiffPage(PHOTOMETRIC_SEPARATED, 4) << "CMYK" << QString();
        QTest::newRow("ycbcr") << tiffPage(PHOTOMETRIC_YCBCR, 3) << "RGB" << QString();
        QTest::newRow("cielab") << tiffPage(PHOTOMETRIC_CIELAB, 3) << "RGB" << QString();
        QTest::newRow("palette") << tiffPage(PHOTOMETRIC_PALETTE, 1) << QString() << unsupportedModel;
        TiffPage floats = tiffPage(PHOTOMETRIC_RGB, 3, 32);
        floats.sampleFormat = SAMPLEFORMAT_IEEEFP;
        QTest::newRow("rgb float") << floats << QString() << notDecoded;
        QTest::newRow("separated, 2 inks") << tiffPage(PHOTOMETRIC_SEPARATED, 2) << QString() << notDecoded;
    }
    void tiffColorModel()
    {
        QFETCH(TiffPage, page);
        QFETCH(QString, colorModel);
        QFETCH(QString, message);
        const QString path = dir.filePath(QStringLiteral("model.tif"));
        QVERIFY(PloverTest::writeTiff(path, page));

        const int filesBefore = openFileCount();
        TargetImage record;
        QCOMPARE(refusalOf(path, &record), message);
        QCOMPARE(openFileCount(), filesBefore); // the handle is closed on every way out
        if (!colorModel.isEmpty()) {
            QCOMPARE(record.colorModel, colorModel);
            QCOMPARE(record.image.format(), QImage::Format_ARGB32);
            QCOMPARE(record.image.size(), QSize(4, 3));
            QCOMPARE(QSize(record.pixelWidth, record.pixelHeight), QSize(4, 3));
            QVERIFY(!record.image.colorSpace().isValid());
        }
    }

    void tiffPixelsLandInPlace_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("planar");
        QTest::addColumn<int>("compression");
        QTest::addColumn<int>("orientation");
        QTest::newRow("8-bit") << 8 << PLANARCONFIG_CONTIG << COMPRESSION_NONE << ORIENTATION_TOPLEFT;
        QTest::newRow("16-bit") << 16 << PLANARCONFIG_CONTIG << COMPRESSION_NONE << ORIENTATION_TOPLEFT;
        QTest::newRow("planar") << 8 << PLANARCONFIG_SEPARATE << COMPRESSION_NONE << ORIENTATION_TOPLEFT;
        QTest::newRow("lzw") << 8 << PLANARCONFIG_CONTIG << COMPRESSION_LZW << ORIENTATION_TOPLEFT;
        QTest::newRow("stored bottom-up")
            << 8 << PLANARCONFIG_CONTIG << COMPRESSION_NONE << ORIENTATION_BOTLEFT;
    }
    void tiffPixelsLandInPlace()
    {
        QFETCH(int, bits);
        QFETCH(int, planar);
        QFETCH(int, compression);
        QFETCH(int, orientation);
        // Colour blocks, distinct corners and an alpha that varies, stored as associated alpha so
        // that libtiff passes it through unchanged.
        QImage expected = PloverTest::patternImage(37, 23).convertToFormat(QImage::Format_ARGB32);
        expected.setPixel(36, 22, qRgba(20, 40, 60, 90));
        const bool flipped = orientation == ORIENTATION_BOTLEFT;
        const QImage stored = flipped ? expected.mirrored(false, true) : expected;

        TiffPage page = PloverTest::tiffPageFromImage(stored);
        const auto eightBit = page.sample;
        page.bitsPerSample = std::uint16_t(bits);
        page.planarConfig = std::uint16_t(planar);
        page.compression = std::uint16_t(compression);
        page.sample = [eightBit, bits](std::uint32_t x, std::uint32_t y, std::uint16_t s) {
            return eightBit(x, y, s) * (bits == 16 ? 257 : 1);
        };
        page.moreTags = [orientation](TIFF* tiff) {
            const std::uint16_t associated = EXTRASAMPLE_ASSOCALPHA;
            TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &associated);
            TIFFSetField(tiff, TIFFTAG_ORIENTATION, orientation);
        };
        const QString path = dir.filePath(QStringLiteral("pixels.tif"));
        QVERIFY(PloverTest::writeTiff(path, page));

        TargetImage record;
        QCOMPARE(refusalOf(path, &record), QString());
        QCOMPARE(record.image.format(), QImage::Format_ARGB32);
        QCOMPARE(record.image.pixel(0, 0), qRgb(255, 0, 0));
        QCOMPARE(record.image.pixel(36, 22), qRgba(20, 40, 60, 90));
        for (int y = 0; y < expected.height(); ++y)
            for (int x = 0; x < expected.width(); ++x)
                QCOMPARE(record.image.pixel(x, y), expected.pixel(x, y));
    }

    void tiffResolutionAndProfile_data()
    {
        QTest::addColumn<TiffPage>("page");
        QTest::addColumn<double>("dpiX");
        QTest::addColumn<double>("dpiY");
        QTest::addColumn<bool>("hasProfile");
        using F = std::optional<float>;
        using U = std::optional<std::uint16_t>;
        const auto page = [](F x, F y, U unit, std::optional<QByteArray> profile = {}) {
            TiffPage page = tiffPage(PHOTOMETRIC_RGB, 3);
            page.xResolution = x;
            page.yResolution = y;
            page.resolutionUnit = unit;
            page.iccProfile = profile;
            return page;
        };
        const double cm = double(118.11f) * 2.54;
        QTest::newRow("inch") << page(300, 300, RESUNIT_INCH) << 300.0 << 300.0 << false;
        QTest::newRow("no unit tag") << page(300, 150, U()) << 300.0 << 150.0 << false;
        QTest::newRow("centimetre") << page(118.11f, 118.11f, RESUNIT_CENTIMETER) << cm << cm << false;
        QTest::newRow("unit none") << page(300, 300, RESUNIT_NONE) << 72.0 << 72.0 << false;
        QTest::newRow("zero x") << page(0, 300, RESUNIT_INCH) << 72.0 << 300.0 << false;
        QTest::newRow("no y") << page(300, F(), RESUNIT_INCH) << 300.0 << 72.0 << false;
        QTest::newRow("no x") << page(F(), 240, RESUNIT_INCH) << 72.0 << 240.0 << false;
        QTest::newRow("none at all") << page(F(), F(), U()) << 72.0 << 72.0 << false;
        QTest::newRow("icc") << page(F(), F(), U(), QByteArray(200, 'p')) << 72.0 << 72.0 << true;
        QTest::newRow("icc zero length") << page(F(), F(), U(), QByteArray()) << 72.0 << 72.0 << false;
    }
    void tiffResolutionAndProfile()
    {
        QFETCH(TiffPage, page);
        QFETCH(double, dpiX);
        QFETCH(double, dpiY);
        QFETCH(bool, hasProfile);
        const QString path = dir.filePath(QStringLiteral("facts.tif"));
        QVERIFY(PloverTest::writeTiff(path, page));
        TargetImage record;
        QCOMPARE(refusalOf(path, &record), QString());
        QCOMPARE(record.dpiX, dpiX);
        QCOMPARE(record.dpiY, dpiY);
        QCOMPARE(record.hasIccProfile, hasProfile);
        QCOMPARE(record.iccProfileDescription,
                 hasProfile ? QStringLiteral("Embedded ICC profile") : QString());
    }

    void tiffFirstPageOnly()
    {
        TiffPage first = tiffPage(PHOTOMETRIC_MINISBLACK, 1);
        first.xResolution = first.yResolution = 200.0f;
        TiffPage second = tiffPage(PHOTOMETRIC_RGB, 3);
        second.width = second.height = 9;
        second.xResolution = second.yResolution = 600.0f;
        const QString path = dir.filePath(QStringLiteral("pages.tif"));
        QVERIFY(PloverTest::writeTiff(path, {first, second}));
        TargetImage record;
        QCOMPARE(refusalOf(path, &record), QString());
        QCOMPARE(record.image.size(), QSize(4, 3));
        QCOMPARE(record.colorModel, QStringLiteral("Grayscale"));
        QCOMPARE(record.dpiX, 200.0);
        QCOMPARE(record.filePath, path);
        QCOMPARE(record.fileName, QStringLiteral("pages.tif"));
    }

    void tiffTooLargeForQImage()
    {
        // 100 million pixels in one row: libtiff accepts it, QImage cannot hold a row that wide.
        TiffPage page = tiffPage(PHOTOMETRIC_MINISBLACK, 1, 1);
        page.width = 100'000'000;
        page.height = 1;
        page.compression = COMPRESSION_PACKBITS;
        page.sample = nullptr;
        const QString path = dir.filePath(QStringLiteral("wide.tif"));
        QVERIFY(PloverTest::writeTiff(path, page));
        QCOMPARE(refusalOf(path), tooLarge);
    }

    void qtResolution_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<std::optional<double>>("x");
        QTest::addColumn<std::optional<double>>("y");
        QTest::addColumn<double>("dpiX");
        QTest::addColumn<double>("dpiY");
        using D = std::optional<double>;
        const double stored300 = 11811 / 39.37007874015748;
        for (const char* f : {"png", "jpg"}) {
            const QByteArray format(f);
            QTest::addRow("%s 300", f) << format << D(300) << D(300) << stored300 << stored300;
            QTest::addRow("%s undeclared", f) << format << D() << D() << 72.0 << 72.0;
            QTest::addRow("%s x only", f) << format << D(300) << D() << stored300 << 72.0;
            QTest::addRow("%s y only", f) << format << D() << D(300) << 72.0 << stored300;
        }
    }
    void qtResolution()
    {
        QFETCH(QByteArray, format);
        QFETCH(std::optional<double>, x);
        QFETCH(std::optional<double>, y);
        QFETCH(double, dpiX);
        QFETCH(double, dpiY);
        const QString path = dir.filePath(QStringLiteral("dpi.") + QString::fromLatin1(format));
        QVERIFY(PloverTest::writeQtImage(path, PloverTest::patternImage(16, 8), format, x, y));
        TargetImage record;
        QCOMPARE(refusalOf(path, &record), QString());
        QCOMPARE(record.dpiX, dpiX);
        QCOMPARE(record.dpiY, dpiY);
    }

    void qtColorModelAndProfile_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("colorModel");
        QTest::addColumn<bool>("hasProfile");
        const QImage colour = PloverTest::patternImage(16, 8);
        QImage grey(16, 8, QImage::Format_RGB32);
        grey.fill(qRgb(90, 90, 90));
        const QColorSpace adobe(QColorSpace::AdobeRgb);
        const auto add = [this](const char* name, const QImage& image, const QColorSpace& space,
                                const char* model) {
            const QString path = dir.filePath(QString::fromLatin1(name));
            QVERIFY(PloverTest::writeQtImage(path, image, QFileInfo(path).suffix().toLatin1(), 300.0, space));
            QTest::newRow(name) << path << QString::fromLatin1(model) << space.isValid();
        };
        add("colour.png", colour, {}, "RGB");
        add("grey-pixels.png", grey, {}, "Grayscale"); // RGB pixels that happen to be grey
        add("grey8.png", colour.convertToFormat(QImage::Format_Grayscale8), {}, "Grayscale");
        add("profile.png", colour, adobe, "RGB");
        add("profile.jpg", colour, adobe, "RGB");
        // A four-ink Adobe JPEG, 24 x 16, written once with libjpeg: Qt cannot write one.
        QTest::newRow("cmyk.jpg") << QFINDTESTDATA("data/cmyk.jpg") << "CMYK" << false;
    }
    void qtColorModelAndProfile()
    {
        QFETCH(QString, path);
        QFETCH(QString, colorModel);
        QFETCH(bool, hasProfile);
        TargetImage record;
        QCOMPARE(refusalOf(path, &record), QString());
        QCOMPARE(record.colorModel, colorModel);
        QCOMPARE(record.hasIccProfile, hasProfile);
        QCOMPARE(record.iccProfileDescription,
                 hasProfile ? QColorSpace(QColorSpace::AdobeRgb).description() : QString());
        QVERIFY(!record.image.colorSpace().isValid());
        QCOMPARE(record.image.size(), QSize(record.pixelWidth, record.pixelHeight));
    }

    void qtKeepsStoredOrientation()
    {
        // Qt writes no orientation tag, so one goes in by hand: Exif orientation 6 (turn 90 degrees).
        const QString path = dir.filePath(QStringLiteral("turned.jpg"));
        QVERIFY(PloverTest::writeQtImage(path, PloverTest::patternImage(40, 20), "jpg", 300.0));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QByteArray jpeg = file.readAll();
        file.close();
        jpeg.insert(2, QByteArray("\xff\xe1\0\x22"
                                  "Exif\0\0"
                                  "MM\0\x2a\0\0\0\x08"
                                  "\0\x01"
                                  "\x01\x12\0\x03\0\0\0\x01\0\x06\0\0"
                                  "\0\0\0\0",
                                  36));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(jpeg);
        file.close();
        QImageReader turned(path);
        turned.setAutoTransform(true);
        QCOMPARE(turned.read().size(), QSize(20, 40)); // the file really asks for a turn
        TargetImage record;
        QCOMPARE(refusalOf(path, &record), QString());
        QCOMPARE(record.image.size(), QSize(40, 20));
    }

    void qtLoadsBeyondQtsAllocationLimit()
    {
        // 6000 x 6000 decodes to 144 MB, beyond Qt's default 128 MB limit; one colour keeps it quick.
        QImage flat(6000, 6000, QImage::Format_RGB32);
        flat.fill(qRgb(120, 130, 140));
        const QString path = dir.filePath(QStringLiteral("large.png"));
        QVERIFY(PloverTest::writeQtImage(path, flat, "png", 300.0));
        flat = QImage();
        const int limit = QImageReader::allocationLimit();
        QVERIFY(QImageReader(path).read().isNull());
        TargetImage record;
        QCOMPARE(refusalOf(path, &record), QString());
        QCOMPARE(record.image.size(), QSize(6000, 6000));
        QCOMPARE(QImageReader::allocationLimit(), limit);
    }

    void headerProbeOnDamagedData_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("declaresX");
        QTest::addColumn<bool>("declaresY");
        QTest::addColumn<bool>("fourComponents");
        const QByteArray png("\x89PNG\r\n\x1a\n", 8);
        const QByteArray phys("\0\0\0\x09pHYs\0\0\x2e\x23\0\0\x2e\x23\x01\x78\xa5\x3f\x76", 21);
        QByteArray badCrc = phys;
        badCrc[20] = '\0';
        const QByteArray jfif("\xff\xe0\0\x10JFIF\0\x01\x01\x01\x01\x2c\x01\x2c\0\0", 18);
        const QByteArray sof4("\xff\xc0\0\x14\x08\0\x10\0\x10\x04", 10);
        QTest::newRow("png pHYs") << png + phys << true << true << false;
        QTest::newRow("png bad crc") << png + badCrc << false << false << false;
        QTest::newRow("png pHYs after bad one") << png + badCrc + phys << true << true << false;
        QTest::newRow("png huge chunk")
            << png + QByteArray("\x7f\xff\xff\xf0tEXt", 8) + phys << false << false << false;
        QTest::newRow("png cut short") << png + phys.left(15) << false << false << false;
        QTest::newRow("jpeg jfif + four components") << "\xff\xd8" + jfif + sof4 << true << true << true;
        QTest::newRow("jpeg fill bytes") << "\xff\xd8\xff\xff\xff" + jfif.mid(1) << true << true << false;
        QTest::newRow("jpeg zero length")
            << QByteArray("\xff\xd8\xff\xe1\0\0", 6) + jfif << false << false << false;
        QTest::newRow("jpeg length past end") << "\xff\xd8\xff\xe1\xff\xff" + jfif << false << false << false;
        QTest::newRow("jpeg short app0")
            << QByteArray("\xff\xd8\xff\xe0\0\x08JFIF\0\x01", 12) << false << false << false;
        QTest::newRow("jpeg endless fill")
            << "\xff\xd8" + QByteArray(1 << 20, '\xff') + jfif << false << false << false;
        QTest::newRow("jpeg after scan")
            << QByteArray("\xff\xd8\xff\xda\0\x02", 6) + jfif << false << false << false;
    }
    void headerProbeOnDamagedData()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, declaresX);
        QFETCH(bool, declaresY);
        QFETCH(bool, fourComponents);
        QBuffer buffer(&data);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        const ImageHeaderFacts facts = probeImageHeader(buffer);
        QVERIFY(facts.recognized);
        QCOMPARE(facts.declaresDpiX, declaresX);
        QCOMPARE(facts.declaresDpiY, declaresY);
        QCOMPARE(facts.fourComponentFrame, fourComponents);
    }

    void isSupportedColorModelIsExact()
    {
        for (const char* name : {"RGB", "Grayscale", "CMYK"})
            QVERIFY2(ImageLoader::isSupportedColorModel(QString::fromLatin1(name)), name);
        for (const char* name : {"rgb", "grayscale", "cmyk", "Unknown", "", "RGB "})
            QVERIFY2(!ImageLoader::isSupportedColorModel(QString::fromLatin1(name)), name);
    }

    void exceptionCarriesTextAndUtf8()
    {
        const QString text = QStringLiteral("Bild \u00fcber 2\u00a0GB \u2013 zu gro\u00df");
        try {
            throw ImageLoadException(text);
        } catch (const std::exception& error) {
            QCOMPARE(QString::fromUtf8(error.what()), text);
            QCOMPARE(QByteArray(error.what()), text.toUtf8());
            QCOMPARE(dynamic_cast<const ImageLoadException&>(error).message(), text);
        }
    }

private:
    QTemporaryDir dir;
};

QTEST_MAIN(TestImaging)
#include "tst_imaging.moc"
