// Writes the hostile corpus: files a user might open that are empty, truncated, damaged, misnamed or
// lying about their size, samples and resolution, with the valid files they are made from (also
// the fuzzer's seeds). Usage: plover_make_hostile_corpus <directory> [<findings>], where the files
// of <findings> (inputs that fuzzing once found going wrong) are copied in as they are.
#include "tests/support/image_files.h"
#include "tools/tiff_writer.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <tuple>
#include <unistd.h>
#include <vector>

using PloverTest::bigEndian;
using PloverTest::pngChunk;
using PloverTools::TiffPage;

namespace {

QDir out;
bool allWritten = true;

void save(const QString& name, const QByteArray& bytes)
{
    QFile file(out.filePath(name));
    allWritten = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && allWritten;
}

// Cuts through the header, through the first structures, and through the data.
void saveTruncations(const QString& name, const QByteArray& whole)
{
    for (const qsizetype length : {qsizetype(1), qsizetype(4), qsizetype(8), qsizetype(16), qsizetype(33),
                                   qsizetype(100), whole.size() / 4, whole.size() / 2, whole.size() - 1}) {
        if (length < whole.size())
            save(QStringLiteral("truncated-%1-%2").arg(length, 6, 10, QLatin1Char('0')).arg(name),
                 whole.left(length));
    }
}

// TIFF directory entries in the machine's (little-endian) order, as libtiff writes them.
struct Entry
{
    std::uint16_t tag, type;
    std::uint32_t count;
    QByteArray value; // more than four bytes go to the end of the file; type 0 removes the entry
};

QByteArray little(std::uint64_t value, int bytes)
{
    QByteArray out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[i] = char(value >> (8 * i));
    return out;
}

std::uint32_t read(const QByteArray& bytes, qsizetype at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | std::uint8_t(bytes.at(at + i));
    return value;
}

Entry shorts(std::uint16_t tag, std::uint16_t value, std::uint32_t count = 1)
{
    return {tag, 3, count, little(value, 2).repeated(count)};
}

Entry longE(std::uint16_t tag, std::uint32_t value)
{
    return {tag, 4, 1, little(value, 4)};
}

Entry floatE(std::uint16_t tag, float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return {tag, 11, 1, little(bits, 4)};
}

Entry rational(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator, std::uint16_t type = 5)
{
    return {tag, type, 1, little(numerator, 4) + little(denominator, 4)};
}

// 16 x 12 8-bit RGB at 300 dpi, samples in a ramp.
TiffPage page(std::uint16_t compression = COMPRESSION_NONE, std::uint16_t bits = 8, std::uint16_t samples = 3)
{
    TiffPage p;
    p.width = 16;
    p.height = 12;
    p.compression = compression;
    p.bitsPerSample = bits;
    p.samplesPerPixel = samples;
    p.photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    p.xResolution = p.yResolution = 300.0f;
    p.resolutionUnit = RESUNIT_INCH;
    p.sample = [](std::uint32_t x, std::uint32_t y, std::uint16_t s) {
        return double((x * 37 + y * 11 + s * 101) % 256);
    };
    return p;
}

QByteArray tiffBytes(const std::vector<TiffPage>& pages)
{
    const QString scratch = out.filePath(QStringLiteral(".scratch"));
    QFile file(scratch);
    if (!PloverTools::writeTiff(scratch, pages) || !file.open(QIODevice::ReadOnly))
        qFatal("libtiff cannot write a corpus file");
    const QByteArray bytes = file.readAll();
    file.remove();
    return bytes;
}

// The file with its first directory written anew at its end, with entries replaced or added.
QByteArray withEntries(QByteArray file, const std::vector<Entry>& changes)
{
    const std::uint32_t ifd = read(file, 4, 4);
    const std::uint32_t count = read(file, ifd, 2);
    std::map<std::uint16_t, Entry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        const qsizetype at = ifd + 2 + 12 * i;
        entries[std::uint16_t(read(file, at, 2))] = {std::uint16_t(read(file, at, 2)),
                                                     std::uint16_t(read(file, at + 2, 2)),
                                                     read(file, at + 4, 4), file.mid(at + 8, 4)};
    }
    const QByteArray next = file.mid(ifd + 2 + 12 * count, 4);
    for (const Entry& change : changes)
        change.type == 0 ? void(entries.erase(change.tag)) : void(entries[change.tag] = change);
    QByteArray directory = little(entries.size(), 2);
    for (auto& [tag, e] : entries) {
        if (e.value.size() > 4) {
            file.append(file.size() % 2 ? QByteArray(1, '\0') : QByteArray());
            directory += little(tag, 2) + little(e.type, 2) + little(e.count, 4) + little(file.size(), 4);
            file.append(e.value);
        } else {
            directory +=
                little(tag, 2) + little(e.type, 2) + little(e.count, 4) + e.value.leftJustified(4, '\0');
        }
    }
    file.append(file.size() % 2 ? QByteArray(1, '\0') : QByteArray());
    file.replace(4, 4, little(file.size(), 4));
    return file + directory + next;
}

void writeTiffCases()
{
    // Valid files in the encodings libtiff writes, each also cut short and with its data damaged:
    // broken compressed data takes decoder paths that plain data never reaches.
    const auto tiled = [](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
    };
    const auto predictor = [](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    };
    std::map<QString, std::vector<TiffPage>> valid = {
        {QStringLiteral("rgb8"), {page()}},
        {QStringLiteral("lzw-rgb8"), {page(COMPRESSION_LZW)}},
        {QStringLiteral("deflate-rgb16"), {page(COMPRESSION_ADOBE_DEFLATE, 16)}},
        {QStringLiteral("deflate-float32"), {page(COMPRESSION_ADOBE_DEFLATE, 32, 1)}},
        {QStringLiteral("packbits-grey8"), {page(COMPRESSION_PACKBITS, 8, 1)}},
        {QStringLiteral("jpeg-ycbcr"), {page(COMPRESSION_JPEG)}},
        {QStringLiteral("lzw-tiled-rgba8"), {page(COMPRESSION_LZW, 8, 4)}},
        {QStringLiteral("g4-bilevel"), {page(COMPRESSION_CCITTFAX4, 1, 1)}},
        {QStringLiteral("lzw-three-pages"),
         {page(COMPRESSION_LZW), page(COMPRESSION_LZW), page(COMPRESSION_LZW)}},
    };
    valid[QStringLiteral("lzw-rgb8")][0].moreTags = predictor;
    valid[QStringLiteral("deflate-rgb16")][0].moreTags = predictor;
    valid[QStringLiteral("deflate-float32")][0].sampleFormat = SAMPLEFORMAT_IEEEFP;
    valid[QStringLiteral("lzw-tiled-rgba8")][0].moreTags = tiled;
    valid[QStringLiteral("g4-bilevel")][0].photometric = PHOTOMETRIC_MINISWHITE;
    valid[QStringLiteral("jpeg-ycbcr")][0].photometric = PHOTOMETRIC_YCBCR;
    valid[QStringLiteral("jpeg-ycbcr")][0].moreTags = [](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    };
    for (const auto& [name, pages] : valid) {
        const QByteArray whole = tiffBytes(pages);
        save(QStringLiteral("valid-%1.tif").arg(name), whole);
        saveTruncations(name + QStringLiteral(".tif"), whole);
        // libtiff writes the data first and the directory after it.
        const std::uint32_t dataEnd = read(whole, 4, 4);
        for (const auto& [kind, damage] : {std::pair{"zeroed", 0}, {"ones", 1}, {"flipped", 2}}) {
            QByteArray damaged = whole;
            for (std::uint32_t i = 8 + (dataEnd - 8) / 2; i < dataEnd; ++i)
                damaged[i] = damage == 0 ? '\0' : damage == 1 ? char(0xFF) : char(~whole[i]);
            save(QStringLiteral("damaged-%1-%2.tif").arg(name, QLatin1String(kind)), damaged);
        }
    }

    // Lies in the directory of an otherwise valid file: huge sizes over a few bytes of data, strips
    // outside the file, resolutions and profile lengths no file should have, odd sample layouts.
    const QByteArray rgb = tiffBytes({page()});
    const QByteArray lzw = tiffBytes({page(COMPRESSION_LZW)});
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    std::vector<std::tuple<QString, QByteArray, std::vector<Entry>>> lies = {
        {QStringLiteral("huge-65535-lzw"), lzw, {longE(256, 65535), longE(257, 65535)}},
        {QStringLiteral("huge-65535-deflate"),
         tiffBytes({page(COMPRESSION_ADOBE_DEFLATE)}),
         {longE(256, 65535), longE(257, 65535)}},
        {QStringLiteral("huge-65535-tiled"),
         tiffBytes(valid[QStringLiteral("lzw-tiled-rgba8")]),
         {longE(256, 65535), longE(257, 65535)}},
        {QStringLiteral("huge-65535-one-strip-of-many"),
         rgb,
         {longE(256, 65535), longE(257, 65535), longE(278, 1)}},
        {QStringLiteral("huge-4000-one-strip-of-many"),
         rgb,
         {longE(256, 4000), longE(257, 4000), longE(278, 1)}},
        {QStringLiteral("huge-1x16000000-one-strip-of-many"),
         rgb,
         {longE(256, 1), longE(257, 16000000), longE(278, 1)}},
        {QStringLiteral("zero-width"), rgb, {longE(256, 0)}},
        {QStringLiteral("zero-height"), rgb, {longE(257, 0)}},
        {QStringLiteral("strip-offset-past-end"), rgb, {longE(273, 0xFFFFFF00u)}},
        {QStringLiteral("strip-bytecount-huge"), rgb, {longE(279, 0xFFFFFFF0u)}},
        {QStringLiteral("strip-bytecount-past-end"), rgb, {longE(279, 100000)}},
        {QStringLiteral("strip-bytecount-zero"), rgb, {longE(279, 0)}},
        {QStringLiteral("resolution-nan"), rgb, {floatE(282, nan), floatE(283, nan)}},
        {QStringLiteral("resolution-inf"), rgb, {floatE(282, inf), floatE(283, -inf)}},
        {QStringLiteral("resolution-negative"),
         rgb,
         {rational(282, std::uint32_t(-300), 1, 10), floatE(283, -300)}},
        {QStringLiteral("resolution-zero"), rgb, {rational(282, 0, 1), rational(283, 0, 0)}},
        {QStringLiteral("resolution-huge"), rgb, {floatE(282, 3.4e38f), rational(283, 0xFFFFFFFFu, 1)}},
        {QStringLiteral("resolution-tiny"), rgb, {rational(282, 1, 0xFFFFFFFFu), floatE(283, 1e-45f)}},
        {QStringLiteral("resolution-unit-0"), rgb, {shorts(296, 0)}},
        {QStringLiteral("resolution-unit-4"), rgb, {shorts(296, 4)}},
        {QStringLiteral("resolution-unit-65535"), rgb, {shorts(296, 65535)}},
        {QStringLiteral("resolution-unit-cm-huge"), rgb, {shorts(296, 3), floatE(282, 3.4e38f)}},
        {QStringLiteral("resolution-double-type"), rgb, {{282, 12, 1, little(0x7FF8000000000000ull, 8)}}},
        {QStringLiteral("resolution-wrong-count"), rgb, {{282, 5, 0x40000000u, QByteArray(8, '\1')}}},
        {QStringLiteral("icc-small"), rgb, {{34675, 7, 64, QByteArray(64, 'p')}}},
        {QStringLiteral("samples-0"), rgb, {shorts(277, 0)}},
        {QStringLiteral("samples-65535"), rgb, {shorts(277, 65535)}},
        {QStringLiteral("bits-0"), rgb, {shorts(258, 0, 3)}},
        {QStringLiteral("bits-65535"), rgb, {shorts(258, 65535, 3)}},
        {QStringLiteral("bits-12-samples-3"), tiffBytes({page(COMPRESSION_NONE, 16)}), {shorts(258, 12, 3)}},
        {QStringLiteral("float-16"),
         tiffBytes({valid[QStringLiteral("deflate-float32")][0]}),
         {shorts(258, 16)}},
        {QStringLiteral("float-24"),
         tiffBytes({valid[QStringLiteral("deflate-float32")][0]}),
         {shorts(258, 24)}},
        {QStringLiteral("complex-8"), rgb, {shorts(339, 6, 3)}},
        {QStringLiteral("palette-without-colormap"),
         tiffBytes({page(COMPRESSION_NONE, 8, 1)}),
         {shorts(262, PHOTOMETRIC_PALETTE)}},
    };
    for (std::uint32_t side : {4000u, 4097u, 65535u, 100000u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        lies.push_back({QStringLiteral("huge-%1").arg(side), rgb, {longE(256, side), longE(257, side)}});
    for (std::uint32_t count : {0xFFFFFFF0u, 0x7FFFFFFFu, 1000000u, 0u})
        lies.push_back(
            {QStringLiteral("icc-count-%1").arg(count), rgb, {{34675, 7, count, QByteArray(16, 'x')}}});
    for (std::uint16_t photometric : {4, 6, 8, 9, 10, 32844, 32845, 65535})
        lies.push_back({QStringLiteral("photometric-%1").arg(photometric), rgb, {shorts(262, photometric)}});
    for (std::uint16_t compression : {2, 3, 4, 7, 32773, 34712, 50000, 65535})
        lies.push_back({QStringLiteral("compression-%1").arg(compression), rgb, {shorts(259, compression)}});
    TiffPage planar = page();
    planar.planarConfig = PLANARCONFIG_SEPARATE;
    save(QStringLiteral("planar-separate-rgb.tif"), tiffBytes({planar}));
    lies.push_back(
        {QStringLiteral("planar-separate-one-strip"), tiffBytes({planar}), {longE(273, 8), longE(279, 192)}});
    // Old-style JPEG: the strip is a whole JFIF stream, announced by the interchange tags.
    const QByteArray jfif = PloverTest::encoded(PloverTest::patternImage(16, 12), "jpeg");
    const auto jfifAt = std::uint32_t(rgb.size());
    lies.push_back({QStringLiteral("old-style-jpeg"),
                    rgb + jfif,
                    {shorts(259, 6), shorts(262, 6), longE(273, jfifAt), longE(279, jfif.size()),
                     longE(513, jfifAt), longE(514, jfif.size())}});
    for (const auto& [name, base, entries] : lies)
        save(name + QStringLiteral(".tif"), withEntries(base, entries));

    // Sample layouts libtiff writes as they are.
    for (std::uint16_t bits : {1, 2, 4, 16, 32}) {
        for (std::uint16_t samples : {1, 3})
            save(QStringLiteral("bits-%1-samples-%2.tif").arg(bits).arg(samples),
                 tiffBytes({page(COMPRESSION_NONE, bits, samples)}));
    }
    TiffPage odd = page(COMPRESSION_NONE, 64, 1);
    odd.sampleFormat = SAMPLEFORMAT_IEEEFP;
    save(QStringLiteral("float-64.tif"), tiffBytes({odd}));
    odd = page();
    odd.sampleFormat = SAMPLEFORMAT_INT;
    save(QStringLiteral("signed-8.tif"), tiffBytes({odd}));
    for (std::uint16_t inks : {2, 4, 6}) {
        odd = page(COMPRESSION_NONE, 8, inks);
        odd.photometric = PHOTOMETRIC_SEPARATED;
        // Six inks as a six-colour press has them, none of them alpha.
        save(QStringLiteral("separated-%1-inks.tif").arg(inks),
             withEntries(tiffBytes({odd}), {{338, 0, 0, {}}, shorts(332, 2), shorts(334, inks)}));
    }

    // Directory structures: one that points at itself, a count past the end, offsets past the end.
    QByteArray looped = rgb;
    const std::uint32_t ifd = read(rgb, 4, 4);
    looped.replace(ifd + 2 + 12 * read(rgb, ifd, 2), 4, little(ifd, 4));
    save(QStringLiteral("ifd-loop.tif"), looped);
    save(QStringLiteral("ifd-count-65535.tif"), QByteArray(rgb).replace(ifd, 2, little(0xFFFF, 2)));
    save(QStringLiteral("ifd-offset-past-end.tif"), QByteArray(rgb).replace(4, 4, little(0xFFFFFFF0u, 4)));
    save(QStringLiteral("header-only.tif"), QByteArray("II*\0\x08\0\0\0", 8));
    save(QStringLiteral("big-endian-garbage.tif"), QByteArray("MM\0*\0\0\0\x08", 8) + rgb.mid(8, 200));
    save(QStringLiteral("bigtiff-garbage.tif"),
         QByteArray("II+\0\x08\0\0\0\x10\0\0\0\0\0\0\0", 16) + rgb.mid(8, 200));
}

QByteArray pngWithSize(const QByteArray& png, std::uint32_t width, std::uint32_t height)
{
    return png.left(8) + pngChunk("IHDR", bigEndian(width) + bigEndian(height) + png.mid(24, 5)) +
           png.mid(33);
}

QByteArray jpegWithSize(QByteArray jpeg, std::uint16_t width, std::uint16_t height)
{
    const qsizetype frame =
        jpeg.indexOf("\xFF\xC0", 2) >= 0 ? jpeg.indexOf("\xFF\xC0", 2) : jpeg.indexOf("\xFF\xC2", 2);
    return jpeg.replace(frame + 5, 4, bigEndian(height, 2) + bigEndian(width, 2));
}

// A segment right after the start of image whose length field says `declaredLength`.
QByteArray jpegWithSegment(const QByteArray& jpeg, char marker, const QByteArray& payload,
                           std::uint16_t declaredLength)
{
    return jpeg.left(2) + '\xFF' + marker + bigEndian(declaredLength, 2) + payload + jpeg.mid(2);
}

void writeQtCases()
{
    QImage pattern = PloverTest::patternImage(24, 16);
    pattern.setDotsPerMeterX(11811);
    pattern.setDotsPerMeterY(11811);
    const QByteArray png = PloverTest::encoded(pattern, "png");
    const QByteArray jpeg = PloverTest::encoded(pattern, "jpeg");
    save(QStringLiteral("valid.png"), png);
    save(QStringLiteral("valid.jpg"), jpeg);
    saveTruncations(QStringLiteral("png.png"), png);
    saveTruncations(QStringLiteral("jpeg.jpg"), jpeg);
    const auto afterHeader = [&png](const QByteArray& chunk) {
        return png.left(33) + chunk + png.mid(33);
    };
    save(QStringLiteral("zero-width.png"), pngWithSize(png, 0, 16));
    save(QStringLiteral("zero-height.png"), pngWithSize(png, 24, 0));
    for (std::uint32_t side : {65535u, 1000000u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        save(QStringLiteral("huge-%1.png").arg(side), pngWithSize(png, side, side));
    save(QStringLiteral("huge-65535-1x.png"), pngWithSize(png, 65535, 1));
    save(QStringLiteral("chunk-length-huge.png"), afterHeader(pngChunk("tEXt", "a", 0x7FFFFFF0u)));
    save(QStringLiteral("phys-bad-crc.png"),
         afterHeader(pngChunk("pHYs", QByteArray(9, '\xFF')).left(17) + QByteArray(4, '\0')));
    save(QStringLiteral("phys-zero.png"), afterHeader(pngChunk("pHYs", QByteArray(9, '\0'))));
    save(QStringLiteral("iccp-garbage.png"), afterHeader(pngChunk("iCCP", QByteArray("p\0\0garbage", 10))));

    save(QStringLiteral("zero-width.jpg"), jpegWithSize(jpeg, 0, 16));
    save(QStringLiteral("zero-height.jpg"), jpegWithSize(jpeg, 24, 0));
    for (std::uint16_t side : {4000, 8000, 20000, 60000, 65500, 65535})
        save(QStringLiteral("huge-%1.jpg").arg(side), jpegWithSize(jpeg, side, side));
    save(QStringLiteral("huge-65535x1.jpg"), jpegWithSize(jpeg, 65535, 1));
    QBuffer progressive;
    progressive.open(QIODevice::WriteOnly);
    QImageWriter writer(&progressive, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(pattern);
    save(QStringLiteral("huge-65535-progressive.jpg"), jpegWithSize(progressive.data(), 65535, 65535));
    save(QStringLiteral("segment-length-short.jpg"), jpegWithSegment(jpeg, '\xE1', {}, 1));
    save(QStringLiteral("segment-length-past-end.jpg"), jpegWithSegment(jpeg, '\xE1', "Exif", 0xFFFF));
    save(QStringLiteral("icc-absurd.jpg"),
         jpegWithSegment(jpeg, '\xE2', QByteArray("ICC_PROFILE\0\x01\x01", 14) + QByteArray(64, '\xFF'), 80));
    save(QStringLiteral("jfif-density-zero.jpg"),
         jpegWithSegment(jpeg, '\xE0', QByteArray("JFIF\0\x01\x02\x01\0\0\0\0\0\0", 14), 16));
    save(QStringLiteral("only-markers.jpg"), QByteArray("\xFF\xD8\xFF\xD9", 4));
    // A megabyte of fill bytes ahead of the first marker.
    save(QStringLiteral("endless-fill.jpg"), jpeg.left(2) + QByteArray(1 << 20, '\xFF') + jpeg.mid(2));
}

void writeMisnamedCases()
{
    const QByteArray tiff = tiffBytes({page()});
    const QByteArray png = PloverTest::encoded(PloverTest::patternImage(8, 8), "png");
    const QByteArray jpeg = PloverTest::encoded(PloverTest::patternImage(8, 8), "jpeg");
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 37) & 0xFF);
    for (const char* suffix : {"tif", "tiff", "TIF", "jpg", "jpeg", "JPG", "png", "PNG"})
        save(QStringLiteral("empty.%1").arg(QLatin1String(suffix)), QByteArray());
    const std::pair<const char*, const QByteArray&> misnamed[] = {
        {"png-named.tif", png},   {"jpeg-named.tiff", jpeg},       {"tiff-named.jpg", tiff},
        {"tiff-named.png", tiff}, {"jpeg-named.png", jpeg},        {"png-named.jpeg", png},
        {"no-suffix", tiff},      {"unsupported-suffix.bmp", png}, {"name-ends-in-dot.", tiff}};
    for (const auto& [name, bytes] : misnamed)
        save(QLatin1String(name), bytes);
    for (const char* suffix : {"tif", "jpg", "png"}) {
        save(QStringLiteral("text.%1").arg(QLatin1String(suffix)),
             "Colour target, patch list:\nA1 255 0 0\n");
        save(QStringLiteral("noise.%1").arg(QLatin1String(suffix)), noise);
        save(QStringLiteral("zeros.%1").arg(QLatin1String(suffix)), QByteArray(4096, '\0'));
        // A name with characters no 8-bit code page holds all of, a folder, and a socket (which
        // nobody can open for reading).
        save(QString::fromUtf8(
                 "\xE3\x82\xBF\xE3\x83\xBC\xE3\x82\xB2\xE3\x83\x83\xE3\x83\x88-\xC4\x89-\xF0\x9F\x8E\xA8.") +
                 QLatin1String(suffix),
             suffix[0] == 't'   ? tiff
             : suffix[0] == 'j' ? jpeg
                                : png);
        out.mkpath(QStringLiteral("folder.%1").arg(QLatin1String(suffix)));
        const QByteArray socketPath =
            QFile::encodeName(out.filePath(QStringLiteral("socket.%1").arg(QLatin1String(suffix))));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd >= 0 && socketPath.size() < int(sizeof(address.sun_path))) {
            std::memcpy(address.sun_path, socketPath.constData(), std::size_t(socketPath.size()));
            ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        }
        if (fd >= 0)
            ::close(fd);
    }
    // Nobody but root may read this one.
    save(QStringLiteral("unreadable.tif"), tiff);
    ::chmod(QFile::encodeName(out.filePath(QStringLiteral("unreadable.tif"))).constData(), 0);
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
    out.removeRecursively(); // an unreadable leftover or a socket may resist; they are made again
    out.mkpath(QStringLiteral("."));
    writeTiffCases();
    writeQtCases();
    writeMisnamedCases();
    if (argc == 3) {
        const QDir found(QFile::decodeName(argv[2]));
        for (const QString& name : found.entryList(QDir::Files)) {
            QFile file(found.filePath(name));
            allWritten = file.open(QIODevice::ReadOnly) && allWritten;
            save(name, file.readAll());
        }
    }
    return allWritten ? 0 : 1;
}
