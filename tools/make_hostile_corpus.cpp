// Writes the hostile corpus: files a user might open that are empty, truncated, misnamed, lying
// about their size or carrying odd tags, plus small valid files that serve as fuzzing seeds.
// Usage: plover_make_hostile_corpus <directory> [<findings>], where the files of <findings>
// (inputs that fuzzing once found going wrong) are copied in as they are.
#include "tools/hostile_bytes.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtEndian>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

using namespace Plover::HostileBytes;

namespace {

QDir out;
int failures = 0;

void save(const QString& name, const QByteArray& bytes)
{
    QFile file(out.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        ++failures;
    }
}

void truncations(const QString& stem, const QString& suffix, const QByteArray& whole)
{
    std::vector<int> lengths = {1, 2, 3, 4, 7, 8, 12, 16, 24, 33, 64, 100};
    for (int percent = 10; percent < 100; percent += 10)
        lengths.push_back(int(whole.size() * percent / 100));
    lengths.push_back(int(whole.size()) - 1);
    for (int length : lengths) {
        if (length > 0 && length < whole.size())
            save(QStringLiteral("truncated-%1-%2.%3")
                     .arg(stem)
                     .arg(length, 6, 10, QLatin1Char('0'))
                     .arg(suffix),
                 whole.left(length));
    }
}

void writeTiffCases()
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    save(QStringLiteral("valid-rgb8.tif"), validTiff());
    truncations(QStringLiteral("tiff"), QStringLiteral("tif"), validTiff());

    TiffPlan s;
    s.width = 0;
    save(QStringLiteral("zero-width.tif"), validTiff(s));
    s = {};
    s.height = 0;
    save(QStringLiteral("zero-height.tif"), validTiff(s));

    // Lying headers: a huge declared size over a few bytes of data.
    for (std::uint32_t side : {4000u, 4097u, 65535u, 100000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        s = {};
        s.width = side;
        s.height = side;
        save(QStringLiteral("huge-%1.tif").arg(side), tiffBytes(s, rampData(48)));
    }
    s = {};
    s.width = 65535;
    s.height = 65535;
    s.compression = 5; // LZW
    save(QStringLiteral("huge-65535-lzw.tif"), tiffBytes(s, QByteArray("\x80\x00\x20\x20", 4)));
    s.compression = 8; // deflate
    save(QStringLiteral("huge-65535-deflate.tif"),
         tiffBytes(s, QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)));
    s = {};
    s.width = 65535;
    s.height = 65535;
    s.extra = {longE(278, {1})}; // one row per strip, but only one strip offset
    save(QStringLiteral("huge-65535-one-strip-of-many.tif"), tiffBytes(s, rampData(48)));
    s.width = 4000;
    s.height = 4000;
    save(QStringLiteral("huge-4000-one-strip-of-many.tif"), tiffBytes(s, rampData(48)));
    s.width = 1;
    s.height = 16000000;
    save(QStringLiteral("huge-1x16000000-one-strip-of-many.tif"), tiffBytes(s, rampData(48)));
    s = {};
    s.width = 65535;
    s.height = 65535;
    s.extra = {longE(322, {16}), longE(323, {16}), dataOffsets({0}, 324), longE(325, {48})};
    save(QStringLiteral("huge-65535-tiled.tif"), tiffBytes(s, rampData(48)));

    // Strips that point outside the file.
    s = {};
    s.extra = {longE(273, {0xFFFFFF00u})};
    save(QStringLiteral("strip-offset-past-end.tif"), validTiff(s));
    s.extra = {longE(279, {0xFFFFFFF0u})};
    save(QStringLiteral("strip-bytecount-huge.tif"), validTiff(s));
    s.extra = {longE(279, {100000})};
    save(QStringLiteral("strip-bytecount-past-end.tif"), validTiff(s));
    s.extra = {longE(279, {0})};
    save(QStringLiteral("strip-bytecount-zero.tif"), validTiff(s));

    // Resolutions libtiff may or may not accept; anything unusable counts as 72 dpi.
    const std::vector<std::pair<QString, std::vector<Entry>>> resolutions = {
        {QStringLiteral("nan"), {floatE(282, nan), floatE(283, nan)}},
        {QStringLiteral("inf"), {floatE(282, inf), floatE(283, -inf)}},
        {QStringLiteral("negative"),
         {{282, SRational, 1, le<std::int32_t>({-300, 1})}, floatE(283, -300.0f)}},
        {QStringLiteral("zero"), {rationalE(282, 0, 1), rationalE(283, 0, 0)}},
        {QStringLiteral("huge"), {floatE(282, 3.4e38f), rationalE(283, 0xFFFFFFFFu, 1)}},
        {QStringLiteral("tiny"), {rationalE(282, 1, 0xFFFFFFFFu), floatE(283, 1e-45f)}},
        {QStringLiteral("unit-0"), {shortE(296, {0})}},
        {QStringLiteral("unit-4"), {shortE(296, {4})}},
        {QStringLiteral("unit-65535"), {shortE(296, {65535})}},
        {QStringLiteral("unit-cm-huge"), {shortE(296, {3}), floatE(282, 3.4e38f)}},
        {QStringLiteral("double-type"), {{282, Double, 1, le<std::uint64_t>({0x7FF8000000000000ull})}}},
        {QStringLiteral("wrong-count"), {{282, Rational, 0x40000000u, QByteArray(8, '\1')}}},
    };
    for (const auto& [name, entries] : resolutions) {
        s = {};
        s.extra = entries;
        save(QStringLiteral("resolution-%1.tif").arg(name), validTiff(s));
    }

    // Embedded profile tags of absurd or empty length.
    for (std::uint32_t count : {0xFFFFFFF0u, 0x7FFFFFFFu, 1000000u, 0u}) {
        s = {};
        Entry icc{34675, Undefined, count, QByteArray(16, 'x')};
        s.extra = {icc};
        save(QStringLiteral("icc-count-%1.tif").arg(count), validTiff(s));
    }
    s = {};
    s.extra = {Entry{34675, Undefined, 64, QByteArray(64, 'p')}};
    save(QStringLiteral("icc-small.tif"), validTiff(s));

    // Sample layouts: bit depths, floating point, signed, planar, many inks, palettes.
    for (std::uint16_t bits : {1, 2, 4, 12, 16, 32}) {
        for (std::uint16_t samples : {1, 3}) {
            s = {};
            s.bits = bits;
            s.samples = samples;
            s.photometric = samples == 1 ? 1 : 2;
            save(QStringLiteral("bits-%1-samples-%2.tif").arg(bits).arg(samples), validTiff(s));
        }
    }
    for (std::uint16_t bits : {16, 24, 32, 64}) {
        s = {};
        s.bits = bits;
        s.sampleFormat = 3;
        save(QStringLiteral("float-%1.tif").arg(bits), validTiff(s));
    }
    s = {};
    s.sampleFormat = 2;
    save(QStringLiteral("signed-8.tif"), validTiff(s));
    s.sampleFormat = 6; // complex: not a format libtiff renders
    save(QStringLiteral("complex-8.tif"), validTiff(s));
    s = {};
    s.bits = 8;
    s.planar = 2;
    const std::uint32_t plane = s.width * s.height;
    s.extra = {dataOffsets({0, plane, 2 * plane}), longE(279, {plane, plane, plane})};
    save(QStringLiteral("planar-separate-rgb.tif"), validTiff(s));
    s.extra = {dataOffsets({0}), longE(279, {plane})};
    save(QStringLiteral("planar-separate-one-strip.tif"), validTiff(s));
    s = {};
    s.samples = 6;
    s.photometric = 5;
    s.extra = {shortE(332, {2}), shortE(334, {6})};
    save(QStringLiteral("separated-six-inks.tif"), validTiff(s));
    s = {};
    s.samples = 4;
    s.photometric = 5;
    save(QStringLiteral("separated-cmyk.tif"), validTiff(s));
    s.samples = 2;
    save(QStringLiteral("separated-two-samples.tif"), validTiff(s));
    s = {};
    s.samples = 1;
    s.photometric = 3;
    save(QStringLiteral("palette-without-colormap.tif"), validTiff(s));
    for (std::uint16_t photometric : {4, 6, 8, 9, 10, 32844, 32845, 65535}) {
        s = {};
        s.photometric = photometric;
        save(QStringLiteral("photometric-%1.tif").arg(photometric), validTiff(s));
    }
    s = {};
    s.samples = 0;
    save(QStringLiteral("samples-0.tif"), validTiff(s));
    s.samples = 65535;
    save(QStringLiteral("samples-65535.tif"), tiffBytes(s, rampData(64)));
    s = {};
    s.bits = 0;
    save(QStringLiteral("bits-0.tif"), validTiff(s));
    s.bits = 65535;
    save(QStringLiteral("bits-65535.tif"), tiffBytes(s, rampData(64)));
    for (std::uint16_t compression : {2, 3, 4, 7, 32773, 34712, 50000, 65535}) {
        s = {};
        s.compression = compression;
        save(QStringLiteral("compression-%1.tif").arg(compression), validTiff(s));
    }

    // Old-style JPEG in TIFF: the strip is a whole JFIF stream, announced by the interchange tags.
    const QByteArray jfif = encoded(pattern(16, 16), "jpeg", 90);
    s = {};
    s.width = 16;
    s.height = 16;
    s.compression = 6;
    s.photometric = 6;
    s.extra = {longE(279, {std::uint32_t(jfif.size())}), dataOffsets({0}, 513),
               longE(514, {std::uint32_t(jfif.size())})};
    save(QStringLiteral("old-style-jpeg.tif"), tiffBytes(s, jfif));

    // Directory structures: an IFD that points at itself, a broken IFD count, big-endian, BigTIFF.
    QByteArray looped = validTiff();
    const int nextAt = 8 + 2 + 12 * qFromLittleEndian<std::uint16_t>(looped.constData() + 8);
    qToLittleEndian<std::uint32_t>(8, looped.data() + nextAt);
    save(QStringLiteral("ifd-loop.tif"), looped);
    QByteArray manyEntries = validTiff();
    qToLittleEndian<std::uint16_t>(0xFFFF, manyEntries.data() + 8);
    save(QStringLiteral("ifd-count-65535.tif"), manyEntries);
    QByteArray ifdPastEnd = validTiff();
    qToLittleEndian<std::uint32_t>(0xFFFFFFF0u, ifdPastEnd.data() + 4);
    save(QStringLiteral("ifd-offset-past-end.tif"), ifdPastEnd);
    save(QStringLiteral("header-only.tif"), QByteArray("II*\0\x08\0\0\0", 8));
    save(QStringLiteral("big-endian-garbage.tif"), QByteArray("MM\0*\0\0\0\x08", 8) + rampData(200));
    save(QStringLiteral("bigtiff-garbage.tif"),
         QByteArray("II+\0\x08\0\0\0\x10\0\0\0\0\0\0\0", 16) + rampData(200));
}

void writeQtCases(const char* format, const QString& suffix)
{
    const bool png = suffix == QLatin1String("png");
    const QByteArray valid = encoded(pattern(24, 16), format, 90);
    save(QStringLiteral("valid.%1").arg(suffix), valid);
    truncations(QString::fromLatin1(format), suffix, valid);
    if (png) {
        save(QStringLiteral("zero-width.png"), pngWithSize(valid, 0, 16));
        save(QStringLiteral("zero-height.png"), pngWithSize(valid, 24, 0));
        for (std::uint32_t side : {65535u, 1000000u, 0x7FFFFFFFu, 0xFFFFFFFFu})
            save(QStringLiteral("huge-%1.png").arg(side), pngWithSize(valid, side, side));
        save(QStringLiteral("huge-65535-1x.png"), pngWithSize(valid, 65535, 1));
        save(QStringLiteral("chunk-length-huge.png"), pngInsert(valid, pngChunk("tEXt", "a", 0x7FFFFFF0u)));
        save(QStringLiteral("phys-bad-crc.png"),
             pngInsert(valid, pngChunk("pHYs", QByteArray(9, '\xFF'), 9).left(17) + QByteArray(4, '\0')));
        save(QStringLiteral("phys-zero.png"), pngInsert(valid, pngChunk("pHYs", QByteArray(9, '\0'), 9)));
        save(QStringLiteral("iccp-garbage.png"),
             pngInsert(valid, pngChunk("iCCP", QByteArray("p\0\0garbage", 10), 10)));
    } else {
        save(QStringLiteral("zero-width.jpg"), jpegWithSize(valid, 0, 16));
        save(QStringLiteral("zero-height.jpg"), jpegWithSize(valid, 24, 0));
        for (std::uint16_t side : {4000, 8000, 20000, 60000, 65500, 65535})
            save(QStringLiteral("huge-%1.jpg").arg(side), jpegWithSize(valid, side, side));
        save(QStringLiteral("huge-65535-progressive.jpg"),
             jpegWithSize(encoded(pattern(24, 16), format, 90, true), 65535, 65535));
        save(QStringLiteral("huge-65535x1.jpg"), jpegWithSize(valid, 65535, 1));
        save(QStringLiteral("segment-length-short.jpg"), jpegInsert(valid, 0xE1, QByteArray(), 1));
        save(QStringLiteral("segment-length-past-end.jpg"), jpegInsert(valid, 0xE1, "Exif", 0xFFFF));
        save(QStringLiteral("icc-absurd.jpg"),
             jpegInsert(valid, 0xE2, QByteArray("ICC_PROFILE\0\x01\x01", 14) + QByteArray(64, '\xFF'),
                        2 + 14 + 64));
        save(QStringLiteral("jfif-density-zero.jpg"),
             jpegInsert(valid, 0xE0, QByteArray("JFIF\0\x01\x02\x01\0\0\0\0\0\0", 14), 16));
        save(QStringLiteral("only-markers.jpg"), QByteArray("\xFF\xD8\xFF\xD9", 4));
    }
}

// Well-formed files in the encodings libtiff writes itself, each also with its second half of
// data damaged: broken compressed data takes decoder paths that uncompressed data never reaches.
bool writeWithLibtiff(const QString& name, std::uint16_t compression, std::uint16_t bits,
                      std::uint16_t samples, bool tiled, std::uint16_t predictor = 1, int pages = 1)
{
    const std::uint32_t width = 40;
    const std::uint32_t height = 24;
    TIFF* tif = TIFFOpen(QFile::encodeName(out.filePath(name)).constData(), "w");
    if (!tif)
        return false;
    bool ok = true;
    for (int page = 0; page < pages && ok; ++page) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bits);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                     compression == COMPRESSION_JPEG ? PHOTOMETRIC_YCBCR
                     : samples >= 3                  ? PHOTOMETRIC_RGB
                     : bits == 1                     ? PHOTOMETRIC_MINISWHITE
                                                     : PHOTOMETRIC_MINISBLACK);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
        if (compression == COMPRESSION_JPEG)
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        if (predictor != 1)
            TIFFSetField(tif, TIFFTAG_PREDICTOR, predictor);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 300.0f);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, 300.0f);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        if (tiled) {
            TIFFSetField(tif, TIFFTAG_TILEWIDTH, 16u);
            TIFFSetField(tif, TIFFTAG_TILELENGTH, 16u);
        } else {
            TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16u); // a multiple of 16, as JPEG needs
        }
        const tmsize_t chunkSize = tiled ? TIFFTileSize(tif) : TIFFStripSize(tif);
        const std::uint32_t chunks = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
        const QByteArray data = rampData(int(chunkSize));
        for (std::uint32_t c = 0; c < chunks && ok; ++c) {
            auto* bytes = const_cast<char*>(data.constData());
            ok = (tiled ? TIFFWriteEncodedTile(tif, c, bytes, chunkSize)
                        : TIFFWriteEncodedStrip(tif, c, bytes, chunkSize)) >= 0;
        }
        ok = ok && TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
    return ok;
}

void writeLibtiffCases()
{
    struct Case
    {
        const char* name;
        std::uint16_t compression, bits, samples;
        bool tiled;
        std::uint16_t predictor;
        int pages;
    };
    const Case cases[] = {
        {"lzw-rgb8", COMPRESSION_LZW, 8, 3, false, 2, 1},
        {"deflate-rgb16", COMPRESSION_ADOBE_DEFLATE, 16, 3, false, 2, 1},
        {"deflate-float32", COMPRESSION_ADOBE_DEFLATE, 32, 1, false, 1, 1},
        {"packbits-grey8", COMPRESSION_PACKBITS, 8, 1, false, 1, 1},
        {"jpeg-ycbcr", COMPRESSION_JPEG, 8, 3, false, 1, 1},
        {"lzw-tiled-rgba8", COMPRESSION_LZW, 8, 4, true, 1, 1},
        {"g4-bilevel", COMPRESSION_CCITTFAX4, 1, 1, false, 1, 1},
        {"lzw-three-pages", COMPRESSION_LZW, 8, 3, false, 1, 3},
    };
    for (const Case& c : cases) {
        const QString name = QStringLiteral("valid-%1.tif").arg(QLatin1String(c.name));
        if (!writeWithLibtiff(name, c.compression, c.bits, c.samples, c.tiled, c.predictor, c.pages))
            throw std::runtime_error(std::string("libtiff cannot write ") + c.name);
        QFile file(out.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(std::string("cannot read back ") + c.name);
        // libtiff writes the directory last, so damage goes into the data and leaves it intact.
        const QByteArray whole = file.readAll();
        const auto dataEnd = int(qFromLittleEndian<std::uint32_t>(whole.constData() + 4));
        const int middle = 8 + (dataEnd - 8) / 2;
        QByteArray zeroed = whole;
        QByteArray ones = whole;
        QByteArray flipped = whole;
        for (int i = middle; i < dataEnd; ++i) {
            zeroed[i] = '\0';
            ones[i] = char(0xFF);
            flipped[i] = char(~whole[i]);
        }
        for (const auto& [kind, bytes] :
             {std::pair{"zeroed", zeroed}, std::pair{"ones", ones}, std::pair{"flipped", flipped}})
            save(QStringLiteral("damaged-%1-%2.tif").arg(QLatin1String(c.name), QLatin1String(kind)), bytes);
        save(QStringLiteral("truncated-%1-half.tif").arg(QLatin1String(c.name)),
             whole.left(whole.size() / 2));
    }
}

void writeMisnamedCases()
{
    const QByteArray tiffBytes = validTiff();
    const QByteArray pngBytes = encoded(pattern(8, 8), "png");
    const QByteArray jpegBytes = encoded(pattern(8, 8), "jpeg");
    const QByteArray text("Colour target, patch list:\nA1 255 0 0\nA2 0 255 0\n");
    for (const char* suffix : {"tif", "tiff", "TIF", "jpg", "jpeg", "JPG", "png", "PNG"})
        save(QStringLiteral("empty.%1").arg(QLatin1String(suffix)), QByteArray());
    save(QStringLiteral("png-named.tif"), pngBytes);
    save(QStringLiteral("jpeg-named.tiff"), jpegBytes);
    save(QStringLiteral("tiff-named.jpg"), tiffBytes);
    save(QStringLiteral("tiff-named.png"), tiffBytes);
    save(QStringLiteral("jpeg-named.png"), jpegBytes);
    save(QStringLiteral("png-named.jpeg"), pngBytes);
    for (const char* suffix : {"tif", "jpg", "png"}) {
        save(QStringLiteral("text.%1").arg(QLatin1String(suffix)), text);
        save(QStringLiteral("noise.%1").arg(QLatin1String(suffix)), rampData(4096));
        save(QStringLiteral("zeros.%1").arg(QLatin1String(suffix)), QByteArray(4096, '\0'));
    }
    save(QStringLiteral("unsupported-suffix.bmp"), pngBytes);
    save(QStringLiteral("no-suffix"), tiffBytes);
    save(QStringLiteral("name-ends-in-dot."), tiffBytes);

    // Names with characters no 8-bit code page holds all of.
    const QString wide = QString::fromUtf8(
        "\xE3\x82\xBF\xE3\x83\xBC\xE3\x82\xB2\xE3\x83\x83\xE3\x83\x88-\xC4\x89-\xF0\x9F\x8E\xA8");
    save(wide + QStringLiteral(".tif"), tiffBytes);
    save(wide + QStringLiteral(".png"), pngBytes);
    save(wide + QStringLiteral(".jpg"), jpegBytes);

    // Directories with image suffixes.
    for (const char* name : {"folder.tif", "folder.png", "folder.jpg"})
        out.mkpath(QLatin1String(name));

    // A file nobody but root may read, and a socket, which nobody can open for reading.
    const QString locked = out.filePath(QStringLiteral("unreadable.tif"));
    save(QStringLiteral("unreadable.tif"), tiffBytes);
    ::chmod(QFile::encodeName(locked).constData(), 0);
    for (const char* name : {"socket.tif", "socket.png"}) {
        const QByteArray path = QFile::encodeName(out.filePath(QLatin1String(name)));
        ::unlink(path.constData());
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.size() < int(sizeof(address.sun_path))) {
            std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
                std::fprintf(stderr, "no socket %s (left out)\n", path.constData());
            if (fd >= 0)
                ::close(fd);
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <directory> [<directory of files to add>]\n", argv[0]);
        return 2;
    }
    out.setPath(QFile::decodeName(argv[1]));
    if (out.exists() && !out.removeRecursively()) {
        // An unreadable leftover or a socket may resist; clear what can be cleared.
        std::fprintf(stderr, "could not fully clear %s\n", argv[1]);
    }
    out.mkpath(QStringLiteral("."));
    try {
        writeTiffCases();
        writeLibtiffCases();
        writeQtCases("png", QStringLiteral("png"));
        writeQtCases("jpeg", QStringLiteral("jpg"));
        writeMisnamedCases();
    } catch (const std::runtime_error& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    // Inputs that once went wrong (fuzzing findings) stay in the corpus as they were found.
    if (argc == 3) {
        const QDir found(QFile::decodeName(argv[2]));
        for (const QString& name : found.entryList(QDir::Files)) {
            QFile file(found.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                save(name, file.readAll());
            else
                ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
