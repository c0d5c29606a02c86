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
#include <cstring>
#include <limits>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
                                   qsizetype(100), whole.size() / 4, whole.size() / 2, whole.size() - 1})
        save(QStringLiteral("truncated-%1-%2").arg(length, 6, 10, QLatin1Char('0')).arg(name),
             whole.left(length));
}

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

// A TIFF directory entry, little-endian as libtiff writes it here; a value longer than four bytes
// goes to the end of the file, and type 0 removes the entry.
struct Entry
{
    std::uint16_t tag, type;
    std::uint32_t count;
    QByteArray value;
};

constexpr std::uint16_t Short = 3, Long = 4, Rational = 5, Undefined = 7, SRational = 10, Float = 11,
                        Double = 12;

Entry entry(std::uint16_t tag, std::uint16_t type, std::uint64_t value, std::uint32_t count = 1)
{
    const int size = type == Short ? 2 : type == Long || type == Float ? 4 : 8;
    return {tag, type, count, little(value, size).repeated(count)};
}

std::uint64_t ratio(std::uint32_t numerator, std::uint32_t denominator)
{
    return numerator | std::uint64_t(denominator) << 32;
}

std::uint64_t floatBits(float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return bits;
}

std::vector<Entry> sized(std::uint32_t width, std::uint32_t height)
{
    return {entry(256, Long, width), entry(257, Long, height)};
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
        return (x * 37 + y * 11 + s * 101) % 256;
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

// The file with its first directory written anew at its end, entries replaced, added or removed.
QByteArray withEntries(QByteArray file, const std::vector<Entry>& changes)
{
    const std::uint32_t ifd = read(file, 4, 4);
    const std::uint32_t count = read(file, ifd, 2);
    std::map<std::uint16_t, Entry> entries;
    for (std::uint32_t at = ifd + 2; at < ifd + 2 + 12 * count; at += 12)
        entries[std::uint16_t(read(file, at, 2))] = {std::uint16_t(read(file, at, 2)),
                                                     std::uint16_t(read(file, at + 2, 2)),
                                                     read(file, at + 4, 4), file.mid(at + 8, 4)};
    const QByteArray next = file.mid(ifd + 2 + 12 * count, 4);
    for (const Entry& change : changes)
        change.type == 0 ? void(entries.erase(change.tag)) : void(entries[change.tag] = change);
    QByteArray directory = little(entries.size(), 2);
    for (const auto& [tag, e] : entries) {
        file.append(file.size() % 2 ? QByteArray(1, '\0') : QByteArray());
        directory += little(tag, 2) + little(e.type, 2) + little(e.count, 4) +
                     (e.value.size() > 4 ? little(file.size(), 4) : e.value.leftJustified(4, '\0'));
        if (e.value.size() > 4)
            file.append(e.value);
    }
    file.append(file.size() % 2 ? QByteArray(1, '\0') : QByteArray());
    return file.replace(4, 4, little(file.size(), 4)) + directory + next;
}

void writeTiffCases()
{
    // Valid files in the encodings libtiff writes, each also cut short and with its data damaged:
    // broken compressed data takes decoder paths that plain data never reaches.
    std::map<QString, std::vector<TiffPage>> valid = {
        {"rgb8", {page()}},
        {"lzw-rgb8", {page(COMPRESSION_LZW)}},
        {"deflate-rgb16", {page(COMPRESSION_ADOBE_DEFLATE, 16)}},
        {"deflate-float32", {page(COMPRESSION_ADOBE_DEFLATE, 32, 1)}},
        {"packbits-grey8", {page(COMPRESSION_PACKBITS, 8, 1)}},
        {"jpeg-ycbcr", {page(COMPRESSION_JPEG)}},
        {"lzw-tiled-rgba8", {page(COMPRESSION_LZW, 8, 4)}},
        {"g4-bilevel", {page(COMPRESSION_CCITTFAX4, 1, 1)}},
        {"lzw-three-pages", {page(COMPRESSION_LZW), page(COMPRESSION_LZW), page(COMPRESSION_LZW)}},
    };
    valid["lzw-rgb8"][0].moreTags = valid["deflate-rgb16"][0].moreTags = [](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    };
    valid["deflate-float32"][0].sampleFormat = SAMPLEFORMAT_IEEEFP;
    valid["lzw-tiled-rgba8"][0].moreTags = [](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
    };
    valid["g4-bilevel"][0].photometric = PHOTOMETRIC_MINISWHITE;
    valid["jpeg-ycbcr"][0].photometric = PHOTOMETRIC_YCBCR;
    valid["jpeg-ycbcr"][0].moreTags = [](TIFF* tiff) {
        TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    };
    std::map<QString, QByteArray> bytes;
    for (const auto& [name, pages] : valid) {
        const QByteArray whole = bytes[name] = tiffBytes(pages);
        save(QStringLiteral("valid-%1.tif").arg(name), whole);
        saveTruncations(name + QStringLiteral(".tif"), whole);
        // libtiff writes the data first and the directory after it.
        const std::uint32_t dataEnd = read(whole, 4, 4);
        for (const char* kind : {"zeroed", "ones", "flipped"}) {
            QByteArray damaged = whole;
            for (std::uint32_t i = 8 + (dataEnd - 8) / 2; i < dataEnd; ++i)
                damaged[i] = kind[0] == 'z' ? '\0' : kind[0] == 'o' ? char(0xFF) : char(~whole[i]);
            save(QStringLiteral("damaged-%1-%2.tif").arg(name, QLatin1String(kind)), damaged);
        }
    }

    // Lies in the directory of an otherwise valid file: sizes its data cannot hold, strips outside
    // the file, resolutions and profile lengths no file should have, odd sample layouts.
    const QByteArray rgb = bytes["rgb8"];
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const std::vector<Entry> oneRowStrips = {entry(278, Long, 1)};
    std::map<QString, std::pair<QByteArray, std::vector<Entry>>> lies = {
        {"huge-65535-lzw", {bytes["lzw-rgb8"], sized(65535, 65535)}},
        {"huge-65535-deflate", {tiffBytes({page(COMPRESSION_ADOBE_DEFLATE)}), sized(65535, 65535)}},
        {"huge-65535-tiled", {bytes["lzw-tiled-rgba8"], sized(65535, 65535)}},
        {"huge-65535-one-strip-of-many", {withEntries(rgb, oneRowStrips), sized(65535, 65535)}},
        {"huge-4000-one-strip-of-many", {withEntries(rgb, oneRowStrips), sized(4000, 4000)}},
        {"huge-1x16000000-one-strip-of-many", {withEntries(rgb, oneRowStrips), sized(1, 16000000)}},
        {"zero-width", {rgb, sized(0, 12)}},
        {"zero-height", {rgb, sized(16, 0)}},
        {"strip-offset-past-end", {rgb, {entry(273, Long, 0xFFFFFF00u)}}},
        {"strip-bytecount-huge", {rgb, {entry(279, Long, 0xFFFFFFF0u)}}},
        {"strip-bytecount-past-end", {rgb, {entry(279, Long, 100000)}}},
        {"strip-bytecount-zero", {rgb, {entry(279, Long, 0)}}},
        {"resolution-nan", {rgb, {entry(282, Float, floatBits(nan)), entry(283, Float, floatBits(nan))}}},
        {"resolution-inf", {rgb, {entry(282, Float, floatBits(inf)), entry(283, Float, floatBits(-inf))}}},
        {"resolution-negative",
         {rgb, {entry(282, SRational, ratio(-300, 1)), entry(283, Float, floatBits(-300))}}},
        {"resolution-zero", {rgb, {entry(282, Rational, ratio(0, 1)), entry(283, Rational, ratio(0, 0))}}},
        {"resolution-huge",
         {rgb, {entry(282, Float, floatBits(3.4e38f)), entry(283, Rational, ratio(~0u, 1))}}},
        {"resolution-tiny",
         {rgb, {entry(282, Rational, ratio(1, ~0u)), entry(283, Float, floatBits(1e-45f))}}},
        {"resolution-unit-0", {rgb, {entry(296, Short, 0)}}},
        {"resolution-unit-4", {rgb, {entry(296, Short, 4)}}},
        {"resolution-unit-cm-huge", {rgb, {entry(296, Short, 3), entry(282, Float, floatBits(3.4e38f))}}},
        {"resolution-double-nan", {rgb, {entry(282, Double, 0x7FF8000000000000ull)}}},
        {"resolution-wrong-count", {rgb, {{282, Rational, 0x40000000u, QByteArray(8, '\1')}}}},
        {"icc-small", {rgb, {{34675, Undefined, 64, QByteArray(64, 'p')}}}},
        {"samples-0", {rgb, {entry(277, Short, 0)}}},
        {"samples-65535", {rgb, {entry(277, Short, 65535)}}},
        {"bits-0", {rgb, {entry(258, Short, 0, 3)}}},
        {"bits-65535", {rgb, {entry(258, Short, 65535, 3)}}},
        {"bits-12-samples-3", {tiffBytes({page(COMPRESSION_NONE, 16)}), {entry(258, Short, 12, 3)}}},
        {"float-16", {bytes["deflate-float32"], {entry(258, Short, 16)}}},
        {"float-24", {bytes["deflate-float32"], {entry(258, Short, 24)}}},
        {"complex-8", {rgb, {entry(339, Short, 6, 3)}}},
        {"palette-without-colormap", {bytes["packbits-grey8"], {entry(262, Short, PHOTOMETRIC_PALETTE)}}},
    };
    for (std::uint32_t side : {4000u, 4097u, 65535u, 100000u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        lies[QStringLiteral("huge-%1").arg(side)] = {rgb, sized(side, side)};
    for (std::uint32_t count : {0xFFFFFFF0u, 0x7FFFFFFFu, 1000000u, 0u})
        lies[QStringLiteral("icc-count-%1").arg(count)] = {rgb,
                                                           {{34675, Undefined, count, QByteArray(16, 'x')}}};
    for (std::uint16_t photometric : {4, 6, 8, 9, 10, 32844, 32845, 65535})
        lies[QStringLiteral("photometric-%1").arg(photometric)] = {rgb, {entry(262, Short, photometric)}};
    for (std::uint16_t compression : {2, 3, 4, 7, 32773, 34712, 50000, 65535})
        lies[QStringLiteral("compression-%1").arg(compression)] = {rgb, {entry(259, Short, compression)}};
    for (std::uint16_t inks : {2, 4, 6}) {
        // Inks as a press has them, none of them alpha.
        TiffPage separated = page(COMPRESSION_NONE, 8, inks);
        separated.photometric = PHOTOMETRIC_SEPARATED;
        lies[QStringLiteral("separated-%1-inks").arg(inks)] = {
            tiffBytes({separated}),
            {{338, 0, 0, {}}, entry(332, Short, INKSET_MULTIINK), entry(334, Short, inks)}};
    }
    TiffPage planar = page();
    planar.planarConfig = PLANARCONFIG_SEPARATE;
    save("planar-separate-rgb.tif", tiffBytes({planar}));
    lies["planar-separate-one-strip"] = {tiffBytes({planar}), {entry(273, Long, 8), entry(279, Long, 192)}};
    // Old-style JPEG: the strip is a whole JFIF stream, announced by the interchange tags.
    const QByteArray jfif = PloverTest::encoded(PloverTest::patternImage(16, 12), "jpeg");
    const std::uint64_t jfifAt = rgb.size(), jfifSize = jfif.size();
    lies["old-style-jpeg"] = {rgb + jfif,
                              {entry(259, Short, 6), entry(262, Short, 6), entry(273, Long, jfifAt),
                               entry(279, Long, jfifSize), entry(513, Long, jfifAt),
                               entry(514, Long, jfifSize)}};
    for (const auto& [name, lie] : lies)
        save(name + QStringLiteral(".tif"), withEntries(lie.first, lie.second));

    // Sample layouts libtiff writes as they are.
    for (std::uint16_t bits : {1, 2, 4, 16, 32}) {
        for (std::uint16_t samples : {1, 3})
            save(QStringLiteral("bits-%1-samples-%2.tif").arg(bits).arg(samples),
                 tiffBytes({page(COMPRESSION_NONE, bits, samples)}));
    }
    for (const auto& [name, bits, format] : {std::tuple{"float-64.tif", 64, SAMPLEFORMAT_IEEEFP},
                                             std::tuple{"signed-8.tif", 8, SAMPLEFORMAT_INT}}) {
        TiffPage odd = page(COMPRESSION_NONE, std::uint16_t(bits), 1);
        odd.sampleFormat = std::uint16_t(format);
        save(name, tiffBytes({odd}));
    }

    // Directory structures: one that points at itself, a count past the end, offsets past the end.
    const std::uint32_t ifd = read(rgb, 4, 4);
    save("ifd-loop.tif", QByteArray(rgb).replace(ifd + 2 + 12 * read(rgb, ifd, 2), 4, little(ifd, 4)));
    save("ifd-count-65535.tif", QByteArray(rgb).replace(ifd, 2, little(0xFFFF, 2)));
    save("ifd-offset-past-end.tif", QByteArray(rgb).replace(4, 4, little(0xFFFFFFF0u, 4)));
    save("header-only.tif", QByteArray("II*\0\x08\0\0\0", 8));
    save("big-endian-garbage.tif", QByteArray("MM\0*\0\0\0\x08", 8) + rgb.mid(8, 200));
    save("bigtiff-garbage.tif", QByteArray("II+\0\x08\0\0\0\x10\0\0\0\0\0\0\0", 16) + rgb.mid(8, 200));
}

void writeQtCases()
{
    QImage pattern = PloverTest::patternImage(24, 16);
    pattern.setDotsPerMeterX(11811);
    pattern.setDotsPerMeterY(11811);
    const QByteArray png = PloverTest::encoded(pattern, "png");
    const QByteArray jpeg = PloverTest::encoded(pattern, "jpeg");
    save("valid.png", png);
    save("valid.jpg", jpeg);
    saveTruncations("png.png", png);
    saveTruncations("jpeg.jpg", jpeg);

    // PNG: the header chunk comes first, at 8; anything inserted goes right after it, at 33.
    const auto pngSized = [&png](std::uint32_t width, std::uint32_t height) {
        return png.left(8) + pngChunk("IHDR", bigEndian(width) + bigEndian(height) + png.mid(24, 5)) +
               png.mid(33);
    };
    const auto pngWith = [&png](const QByteArray& chunk) {
        return png.left(33) + chunk + png.mid(33);
    };
    save("zero-width.png", pngSized(0, 16));
    save("zero-height.png", pngSized(24, 0));
    for (std::uint32_t side : {65535u, 1000000u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        save(QStringLiteral("huge-%1.png").arg(side), pngSized(side, side));
    save("huge-65535-1x.png", pngSized(65535, 1));
    save("chunk-length-huge.png", pngWith(pngChunk("tEXt", "a", 0x7FFFFFF0u)));
    save("phys-bad-crc.png", pngWith(pngChunk("pHYs", QByteArray(9, '\xFF')).left(17) + QByteArray(4, '\0')));
    save("phys-zero.png", pngWith(pngChunk("pHYs", QByteArray(9, '\0'))));
    save("iccp-garbage.png", pngWith(pngChunk("iCCP", QByteArray("p\0\0garbage", 10))));

    // JPEG: sizes in the frame header, segments inserted right after the start of image.
    QBuffer progressive;
    progressive.open(QIODevice::WriteOnly);
    QImageWriter writer(&progressive, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(pattern);
    const auto jpegSized = [](QByteArray jpeg, std::uint16_t width, std::uint16_t height) {
        const qsizetype frame = std::max(jpeg.indexOf("\xFF\xC0", 2), jpeg.indexOf("\xFF\xC2", 2));
        return jpeg.replace(frame + 5, 4, bigEndian(height, 2) + bigEndian(width, 2));
    };
    const auto jpegWith = [&jpeg](char marker, const QByteArray& payload, std::uint16_t declaredLength) {
        return jpeg.left(2) + '\xFF' + marker + bigEndian(declaredLength, 2) + payload + jpeg.mid(2);
    };
    save("zero-width.jpg", jpegSized(jpeg, 0, 16));
    save("zero-height.jpg", jpegSized(jpeg, 24, 0));
    for (std::uint16_t side : {4000, 8000, 20000, 60000, 65500, 65535})
        save(QStringLiteral("huge-%1.jpg").arg(side), jpegSized(jpeg, side, side));
    save("huge-65535x1.jpg", jpegSized(jpeg, 65535, 1));
    save("huge-65535-progressive.jpg", jpegSized(progressive.data(), 65535, 65535));
    save("segment-length-short.jpg", jpegWith('\xE1', {}, 1));
    save("segment-length-past-end.jpg", jpegWith('\xE1', "Exif", 0xFFFF));
    save("icc-absurd.jpg",
         jpegWith('\xE2', QByteArray("ICC_PROFILE\0\x01\x01", 14) + QByteArray(64, '\xFF'), 80));
    save("jfif-density-zero.jpg", jpegWith('\xE0', QByteArray("JFIF\0\x01\x02\x01\0\0\0\0\0\0", 14), 16));
    save("only-markers.jpg", QByteArray("\xFF\xD8\xFF\xD9", 4));
    save("endless-fill.jpg", jpeg.left(2) + QByteArray(1 << 20, '\xFF') + jpeg.mid(2)); // before a marker
}

void writeMisnamedCases()
{
    const QByteArray tiff = tiffBytes({page()});
    const QByteArray png = PloverTest::encoded(PloverTest::patternImage(8, 8), "png");
    const QByteArray jpeg = PloverTest::encoded(PloverTest::patternImage(8, 8), "jpeg");
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char(i * 37);
    for (const char* suffix : {"tif", "tiff", "TIF", "jpg", "jpeg", "JPG", "png", "PNG"})
        save(QStringLiteral("empty.") + QLatin1String(suffix), {});
    const std::map<QString, QByteArray> misnamed = {
        {"png-named.tif", png},   {"jpeg-named.tiff", jpeg},       {"tiff-named.jpg", tiff},
        {"tiff-named.png", tiff}, {"jpeg-named.png", jpeg},        {"png-named.jpeg", png},
        {"no-suffix", tiff},      {"unsupported-suffix.bmp", png}, {"name-ends-in-dot.", tiff}};
    for (const auto& [name, bytes] : misnamed)
        save(name, bytes);
    for (const QString suffix : {"tif", "jpg", "png"}) {
        save("text." + suffix, "Colour target, patch list:\nA1 255 0 0\n");
        save("noise." + suffix, noise);
        save("zeros." + suffix, QByteArray(4096, '\0'));
        // A name with characters no 8-bit code page holds all of, a folder, and a socket, which
        // nobody can open for reading.
        save(QString::fromUtf8(
                 "\xE3\x82\xBF\xE3\x83\xBC\xE3\x82\xB2\xE3\x83\x83\xE3\x83\x88-\xC4\x89-\xF0\x9F\x8E\xA8.") +
                 suffix,
             suffix == "tif"   ? tiff
             : suffix == "jpg" ? jpeg
                               : png);
        out.mkpath("folder." + suffix);
        const QByteArray socketPath = QFile::encodeName(out.filePath("socket." + suffix));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.constData(), sizeof(address.sun_path) - 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
            ::close(fd);
    }
    // Nobody but root may read this one.
    save("unreadable.tif", tiff);
    ::chmod(QFile::encodeName(out.filePath("unreadable.tif")).constData(), 0);
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
    out.removeRecursively();
    out.mkpath(QStringLiteral("."));
    writeTiffCases();
    writeQtCases();
    writeMisnamedCases();
    const QDir found(argc == 3 ? QFile::decodeName(argv[2]) : QString());
    for (const QString& name : argc == 3 ? found.entryList(QDir::Files) : QStringList()) {
        QFile file(found.filePath(name));
        allWritten = file.open(QIODevice::ReadOnly) && allWritten;
        save(name, file.readAll());
    }
    return allWritten ? 0 : 1;
}
