// Every file of the hostile corpus goes through loadTargetImage: it must end, soon, in a load
// message or in a record that keeps the record's rules, and the process must live on.
#include "hostile_corpus.h"
#include "tests/support/image_files.h"
#include "tests/support/tiff_writer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

using namespace PloverTest;

class HostileCorpusTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void corpusIsThere();
    void everyFileEndsInMessageOrRecord_data();
    void everyFileEndsInMessageOrRecord();
    void outcomeOfChosenFiles_data();
    void outcomeOfChosenFiles();
    void unreadableFileIsRefused();
    void largeTruthfulFilesLoad_data();
    void largeTruthfulFilesLoad();
};

void HostileCorpusTest::corpusIsThere()
{
    // A corpus the build failed to write would pass every row below vacuously.
    QVERIFY2(hostileCorpusNames().size() > 200, qPrintable(hostileCorpusDir()));
}

void HostileCorpusTest::everyFileEndsInMessageOrRecord_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : hostileCorpusNames())
        QTest::newRow(name.toUtf8().constData()) << name;
}

void HostileCorpusTest::everyFileEndsInMessageOrRecord()
{
    QFETCH(QString, name);
    // A hang guard, not a speed test: generous enough for the sanitizer build.
    constexpr qint64 boundMs = 10000;
    QElapsedTimer timer;
    timer.start();
    const LoadOutcome outcome = loadOutcome(QDir(hostileCorpusDir()).filePath(name));
    const qint64 elapsed = timer.elapsed();
    QVERIFY2(elapsed < boundMs, qPrintable(QStringLiteral("took %1 ms").arg(elapsed)));
    if (outcome.record) {
        const QString broken = brokenRecordRule(*outcome.record);
        QVERIFY2(broken.isEmpty(), qPrintable(broken));
        QCOMPARE(outcome.record->fileName, name);
    } else if (outcome.ownException) {
        QVERIFY2(loadMessages().contains(outcome.message), qPrintable(outcome.message));
    } else {
        QVERIFY2(isSentence(outcome.message), qPrintable(outcome.message));
    }
}

// Files whose outcome is the point: lies about the size are refused outright, whatever cannot be
// opened is refused with its reader's message, resolutions that libtiff passes on as NaN, negative
// or zero count as 72 dpi.
void HostileCorpusTest::outcomeOfChosenFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message"); // empty: loads
    const QString tiffOpen = QStringLiteral("The file could not be read as a TIFF image.");
    const QString tiffData = QStringLiteral("The TIFF image data could not be decoded.");
    const QString image = QStringLiteral("The file could not be read as an image.");
    const QString suffix = QStringLiteral("Choose a TIFF, JPEG, or PNG image.");
    const QList<QPair<QString, QString>> rows = {
        {QStringLiteral("empty.tif"), tiffOpen},
        {QStringLiteral("empty.PNG"), image},
        {QStringLiteral("empty.jpeg"), image},
        {QStringLiteral("folder.tif"), tiffOpen},
        {QStringLiteral("folder.png"), image},
        {QStringLiteral("socket.tif"), tiffOpen},
        {QStringLiteral("socket.png"), image},
        {QStringLiteral("png-named.tif"), tiffOpen},
        {QStringLiteral("text.jpg"), image},
        {QStringLiteral("unsupported-suffix.bmp"), suffix},
        {QStringLiteral("name-ends-in-dot."), suffix},
        {QStringLiteral("huge-65535.tif"), tiffData},
        {QStringLiteral("huge-65535-deflate.tif"), tiffData},
        {QStringLiteral("huge-65535-lzw.tif"), tiffData},
        {QStringLiteral("huge-65535-one-strip-of-many.tif"), tiffData},
        {QStringLiteral("huge-4097.tif"), tiffData},
        {QStringLiteral("fuzz-slow-unit-1c26d5140d.tif"), tiffData}, // 65536 strips in 962 bytes
        {QStringLiteral("huge-65535.png"), image},
        {QStringLiteral("huge-60000.jpg"), image},
        {QStringLiteral("huge-20000.jpg"), image},
        {QStringLiteral("huge-8000.jpg"), image},
        {QStringLiteral("chunk-length-huge.png"), image},
        {QStringLiteral("fuzz-slow-unit-16ed6baec9.jpg"), image}, // a TIFF of 67 M pixels in 768 bytes
        {QStringLiteral("huge-4000.jpg"), QString()},             // small enough to show what data there is
        {QStringLiteral("huge-4000-one-strip-of-many.tif"), QString()},
        {QStringLiteral("separated-six-inks.tif"), tiffData},
        {QStringLiteral("valid-rgb8.tif"), QString()},
        {QStringLiteral("text.png"), image},
        {QStringLiteral("jpeg-named.png"), QString()},
        {QStringLiteral("bits-16-samples-3.tif"), QString()},
        {QStringLiteral("planar-separate-rgb.tif"), QString()},
        {QStringLiteral("resolution-nan.tif"), QString()},
        {QStringLiteral("resolution-negative.tif"), QString()},
        {QStringLiteral("resolution-zero.tif"), QString()},
    };
    for (const auto& [name, message] : rows)
        QTest::newRow(name.toUtf8().constData()) << name << message;
}

void HostileCorpusTest::outcomeOfChosenFiles()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    const LoadOutcome outcome = loadOutcome(QDir(hostileCorpusDir()).filePath(name));
    QCOMPARE(outcome.message, message);
    if (outcome.record && name.startsWith(QLatin1String("resolution-"))) {
        QCOMPARE(outcome.record->dpiX, 72.0);
        QCOMPARE(outcome.record->dpiY, 72.0);
    }
}

void HostileCorpusTest::unreadableFileIsRefused()
{
    if (geteuid() == 0)
        QSKIP("Running as root, for whom file permissions do not stop reading.");
    const LoadOutcome outcome =
        loadOutcome(QDir(hostileCorpusDir()).filePath(QStringLiteral("unreadable.tif")));
    QCOMPARE(outcome.message, QStringLiteral("The file could not be read as a TIFF image."));
}

// The guards against lying headers must let real files through, even those just past the size
// loaded on trust whose flat colour blocks compress close to the best their encoding allows.
void HostileCorpusTest::largeTruthfulFilesLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("compression"); // TIFF only
    QTest::newRow("uncompressed TIFF") << QStringLiteral("large.tif") << int(COMPRESSION_NONE);
    QTest::newRow("LZW TIFF") << QStringLiteral("large.tif") << int(COMPRESSION_LZW);
    QTest::newRow("deflate TIFF") << QStringLiteral("large.tif") << int(COMPRESSION_ADOBE_DEFLATE);
    QTest::newRow("PNG") << QStringLiteral("large.png") << 0;
    QTest::newRow("JPEG") << QStringLiteral("large.jpg") << 0;
}

void HostileCorpusTest::largeTruthfulFilesLoad()
{
    QFETCH(QString, name);
    QFETCH(int, compression);
    // 17.2 million pixels: above the 16 Mi pixels (64 MB) that any file may declare unchecked.
    const QImage image = patternImage(4200, 4100);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (name.endsWith(QLatin1String(".tif"))) {
        TiffPage page = tiffPageFromImage(image);
        page.compression = std::uint16_t(compression);
        QVERIFY(writeTiff(path, page));
    } else {
        QVERIFY(writeQtImage(path, image, name.endsWith(QLatin1String(".png")) ? "png" : "jpg", 300.0));
    }
    const LoadOutcome outcome = loadOutcome(path);
    QVERIFY2(outcome.record, qPrintable(outcome.message));
    QCOMPARE(outcome.record->pixelWidth, 4200);
    QCOMPARE(outcome.record->pixelHeight, 4100);
}

QTEST_GUILESS_MAIN(HostileCorpusTest)
#include "tst_hostile_corpus.moc"
