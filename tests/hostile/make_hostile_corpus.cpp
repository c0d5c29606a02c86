// Writes the hostile corpus: files a user might open that are empty, truncated, damaged, misnamed or
// lying about their size, samples and resolution, with the valid files they are made from (also
// the fuzzer's seeds). Usage: plover_make_hostile_corpus <directory> [<findings>], where the files
// of <findings> (inputs that fuzzing once found going wrong) are copied in as they are.
#include "tests/support/image_files.h"
#include "tools/tiff_writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QtEndian>
#include <limits>
#include <map>
#include <sys/stat.h>

using PloverTest::bigEndian;
using PloverTest::pngChunk;
using PloverTools::TiffPage;

namespace {

QDir out;
bool allWritten = true;

// With `cuts`, also the file cut short through its header, its first structures and its data.
void save(const QString& name, const QByteArray& bytes, bool cuts = false)
{
    QFile file(out.filePath(name));
    allWritten = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && allWritten;
    for (const qsizetype length :
         {qsizetype(1), qsizetype(8), qsizetype(33), bytes.size() / 2, bytes.size() - 1})
        cuts ? save(QStringLiteral("truncated-%1-%2").arg(length).arg(name), bytes.left(length)) : void();
}

QByteArray little(std::uint64_t value, int bytes)
{
    const std::uint64_t stored = qToLittleEndian(value);
    return QByteArray(reinterpret_cast<const char*>(&stored), bytes);
}

std::uint32_t read(const QByteArray& bytes, qsizetype at, int size)
{
    std::uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | std::uint8_t(bytes.at(at + i));
    return value;
}

// A TIFF directory entry, little-endian as libtiff writes it here; type 0 removes the entry.
struct Entry
{
    std::uint16_t tag, type;
    std::uint32_t count;
    QByteArray value;
};

constexpr std::uint16_t Short = 3, Long = 4, Rational = 5, Undefined = 7, Float = 11;

Entry entry(std::uint16_t tag, std::uint16_t type, std::uint64_t value, std::uint32_t count = 1)
{
    return {tag, type, count, little(value, type == Short ? 2 : type == Rational ? 8 : 4).repeated(count)};
}

std::vector<Entry> sized(std::uint32_t width, std::uint32_t height)
{
    return {entry(256, Long, width), entry(257, Long, height)};
}

// 16 x 12 at 300 dpi, samples in a ramp; `tags` are further tags and their values.
TiffPage page(std::uint16_t compression = COMPRESSION_NONE, std::uint16_t bits = 8, std::uint16_t samples = 3,
              std::uint16_t photometric = PHOTOMETRIC_RGB, std::vector<std::pair<ttag_t, int>> tags = {})
{
    TiffPage p;
    p.width = 16;
    p.height = 12;
    p.compression = compression;
    p.bitsPerSample = bits;
    p.samplesPerPixel = samples;
    p.photometric = samples == 1 && photometric == PHOTOMETRIC_RGB ? PHOTOMETRIC_MINISBLACK : photometric;
    p.sampleFormat = bits > 16 ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT;
    p.xResolution = p.yResolution = 300.0f;
    p.resolutionUnit = RESUNIT_INCH;
    p.sample = [](std::uint32_t x, std::uint32_t y, std::uint16_t s) {
        return (x * 37 + y * 11 + s * 101) % 256;
    };
    p.moreTags = [tags](TIFF* tiff) {
        for (const auto& [tag, value] : tags)
            TIFFSetField(tiff, tag, value);
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

// The file with its first directory written anew at its end, entries replaced, added or removed; a
// value longer than four bytes goes to the end of the file.
QByteArray withEntries(QByteArray file, const std::vector<Entry>& changes)
{
    const std::uint32_t ifd = read(file, 4, 4), count = read(file, ifd, 2);
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
        file.append(e.value.size() > 4 ? e.value : QByteArray());
    }
    file.append(file.size() % 2 ? QByteArray(1, '\0') : QByteArray());
    return file.replace(4, 4, little(file.size(), 4)) + directory + next;
}

void writeTiffCases()
{
    // Valid files in the encodings libtiff writes, each also cut short and with the second half of
    // its data damaged: broken compressed data takes decoder paths that plain data never reaches.
    std::map<QString, QByteArray> valid = {
        {"rgb8", tiffBytes({page()})},
        {"lzw-rgb8", tiffBytes({page(COMPRESSION_LZW, 8, 3, PHOTOMETRIC_RGB, {{TIFFTAG_PREDICTOR, 2}})})},
        {"deflate-float32", tiffBytes({page(COMPRESSION_ADOBE_DEFLATE, 32, 1)})},
        {"packbits-grey8", tiffBytes({page(COMPRESSION_PACKBITS, 8, 1)})},
        {"jpeg-ycbcr",
         tiffBytes({page(COMPRESSION_JPEG, 8, 3, PHOTOMETRIC_YCBCR, {{TIFFTAG_JPEGCOLORMODE, 1}})})},
        {"lzw-tiled-rgba8",
         tiffBytes({page(COMPRESSION_LZW, 8, 4, 2, {{TIFFTAG_TILEWIDTH, 16}, {TIFFTAG_TILELENGTH, 16}})})},
        {"g4-bilevel", tiffBytes({page(COMPRESSION_CCITTFAX4, 1, 1, PHOTOMETRIC_MINISWHITE)})},
        {"lzw-three-pages",
         tiffBytes({page(COMPRESSION_LZW), page(COMPRESSION_LZW), page(COMPRESSION_LZW)})}};
    for (const auto& [name, whole] : valid) {
        save(QStringLiteral("valid-%1.tif").arg(name), whole, true);
        const std::uint32_t dataEnd = read(whole, 4, 4); // libtiff writes the data, then the directory
        for (const char kind : {'0', '~'}) {
            QByteArray damaged = whole;
            for (std::uint32_t i = 8 + (dataEnd - 8) / 2; i < dataEnd; ++i)
                damaged[i] = kind == '0' ? '\0' : char(~whole[i]);
            save(QStringLiteral("damaged-%1-%2.tif").arg(name).arg(kind), damaged);
        }
    }
    // Sample layouts libtiff writes as they are.
    for (std::uint16_t bits : {1, 2, 4, 16, 32, 64}) {
        for (std::uint16_t samples : {1, 3})
            save(QStringLiteral("bits-%1-samples-%2.tif").arg(bits).arg(samples),
                 tiffBytes({page(1, bits, samples)}));
    }

    // Lies in the directory of an otherwise valid file: sizes its data cannot hold, strips outside
    // the file, resolutions and profile lengths no file should have, odd sample layouts.
    const QByteArray rgb = valid["rgb8"];
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    std::map<QString, std::pair<QByteArray, std::vector<Entry>>> lies = {
        {"huge-1x16000000-one-strip-of-many", {withEntries(rgb, {entry(278, Long, 1)}), sized(1, 16000000)}},
        {"zero-width", {rgb, sized(0, 12)}},
        {"float-24", {valid["deflate-float32"], {entry(258, Short, 24)}}},
        {"palette-without-colormap", {valid["packbits-grey8"], {entry(262, Short, PHOTOMETRIC_PALETTE)}}}};
    const std::tuple<const char*, std::uint16_t, std::uint16_t, std::vector<std::uint32_t>> families[] = {
        {"strip-offset", 273, Long, {0xFFFFFF00u}},
        {"strip-bytecount", 279, Long, {0xFFFFFFF0u, 100000u, 0u}},
        {"samples", 277, Short, {0, 65535}},
        {"bits", 258, Short, {0, 12, 65535}},
        {"sample-format", 339, Short, {4, 6}},
        {"resolution-unit", 296, Short, {0, 3, 4}},
        {"photometric", 262, Short, {4, 6, 8, 9, 10, 32844, 32845, 65535}},
        {"compression", 259, Short, {2, 3, 4, 7, 32773, 34712, 50000, 65535}}};
    for (const auto& [family, tag, type, values] : families) {
        for (const std::uint32_t value : values)
            lies[QStringLiteral("%1-%2").arg(family).arg(value)] = {rgb, {entry(tag, type, value)}};
    }
    const std::map<QString, QByteArray> large = {
        {"", rgb},
        {"-lzw", valid["lzw-rgb8"]},
        {"-deflate", tiffBytes({page(COMPRESSION_ADOBE_DEFLATE)})},
        {"-tiled", valid["lzw-tiled-rgba8"]},
        {"-one-strip-of-many", withEntries(rgb, {entry(278, Long, 1)})}};
    for (const auto& [kind, base] : large) {
        for (std::uint32_t side : {4000u, 4097u, 65535u, 0xFFFFFFFFu})
            lies[QStringLiteral("huge-%1%2").arg(side).arg(kind)] = {base, sized(side, side)};
    }
    for (const float dpi : {nan, inf, -300.0f, 0.0f, 3.4e38f, 1e-45f}) {
        const std::uint32_t bits = qFromUnaligned<quint32>(&dpi);
        lies[QStringLiteral("resolution-%1").arg(dpi)] = {rgb,
                                                          {entry(282, Float, bits), entry(283, Float, bits)}};
    }
    for (std::uint32_t count : {64u, 0xFFFFFFF0u, 1000000u, 0u}) // only the first one true
        lies[QStringLiteral("icc-count-%1").arg(count)] = {rgb,
                                                           {{34675, Undefined, count, QByteArray(64, 'p')}}};
    for (std::uint16_t inks : {2, 4, 6}) // inks as a press has them, none of them alpha
        lies[QStringLiteral("separated-%1-inks").arg(inks)] = {
            tiffBytes({page(1, 8, inks, PHOTOMETRIC_SEPARATED)}),
            {{338, 0, 0, {}}, entry(332, Short, INKSET_MULTIINK), entry(334, Short, inks)}};
    // Old-style JPEG: the strip is a whole JFIF stream, announced by the interchange tags.
    const QByteArray jfif = PloverTest::encoded(PloverTest::patternImage(16, 12), "jpeg");
    lies["old-style-jpeg"] = {rgb + jfif,
                              {entry(259, Short, 6), entry(262, Short, 6), entry(273, Long, rgb.size()),
                               entry(279, Long, jfif.size()), entry(513, Long, rgb.size()),
                               entry(514, Long, jfif.size())}};
    for (const auto& [name, lie] : lies)
        save(name + QStringLiteral(".tif"), withEntries(lie.first, lie.second));

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
    const QByteArray png = PloverTest::encoded(pattern, "png"), jpeg = PloverTest::encoded(pattern, "jpeg");
    save("valid.png", png, true);
    save("valid.jpg", jpeg, true);

    // PNG: the header chunk comes first, at 8; anything inserted goes right after it, at 33.
    const std::pair<std::uint32_t, std::uint32_t> pngSizes[] = {
        {0, 16}, {24, 0}, {65535, 65535}, {1000000, 1000000}, {~0u, ~0u}, {65535, 1}};
    for (const auto& [width, height] : pngSizes)
        save(QStringLiteral("huge-%1x%2.png").arg(width).arg(height),
             png.left(8) + pngChunk("IHDR", bigEndian(width) + bigEndian(height) + png.mid(24, 5)) +
                 png.mid(33));
    const std::map<QString, QByteArray> chunks = {
        {"chunk-length-huge", pngChunk("tEXt", "a", 0x7FFFFFF0u)},
        {"phys-bad-crc", pngChunk("pHYs", QByteArray(9, '\xFF')).left(17) + QByteArray(4, '\0')},
        {"phys-zero", pngChunk("pHYs", QByteArray(9, '\0'))},
        {"iccp-garbage", pngChunk("iCCP", QByteArray("p\0\0garbage", 10))}};
    for (const auto& [name, chunk] : chunks)
        save(name + QStringLiteral(".png"), png.left(33) + chunk + png.mid(33));

    // JPEG: sizes in the frame header, segments inserted right after the start of image.
    const qsizetype frame = jpeg.indexOf("\xFF\xC0", 2) + 5;
    const std::pair<std::uint16_t, std::uint16_t> jpegSizes[] = {
        {0, 16},        {24, 0},        {4000, 4000},   {8000, 8000},
        {20000, 20000}, {60000, 60000}, {65535, 65535}, {65535, 1}};
    for (const auto& [width, height] : jpegSizes)
        save(QStringLiteral("huge-%1x%2.jpg").arg(width).arg(height),
             QByteArray(jpeg).replace(frame, 4, bigEndian(height, 2) + bigEndian(width, 2)));
    const std::map<QString, QByteArray> segments = {
        {"segment-length-short", QByteArray("\xFF\xE1\0\x01", 4)},
        {"segment-length-past-end", QByteArray("\xFF\xE1\xFF\xFF" "Exif", 8)},
        {"icc-absurd", QByteArray("\xFF\xE2\0\x50ICC_PROFILE\0\x01\x01", 18) + QByteArray(64, '\xFF')},
        {"jfif-density-zero", QByteArray("\xFF\xE0\0\x10JFIF\0\x01\x02\x01\0\0\0\0\0\0", 18)},
        {"endless-fill", QByteArray(1 << 20, '\xFF')}}; // before a marker
    for (const auto& [name, segment] : segments)
        save(name + QStringLiteral(".jpg"), jpeg.left(2) + segment + jpeg.mid(2));
    save("only-markers.jpg", QByteArray("\xFF\xD8\xFF\xD9", 4));
}

void writeMisnamedCases()
{
    const QByteArray tiff = tiffBytes({page()});
    const QByteArray png = PloverTest::encoded(PloverTest::patternImage(8, 8), "png");
    const QByteArray jpeg = PloverTest::encoded(PloverTest::patternImage(8, 8), "jpeg");
    const std::map<QString, QByteArray> misnamed = {
        {"png-named.tif", png},     {"tiff-named.jpg", tiff}, {"jpeg-named.png", jpeg},
        {"png-named.jpeg", png},    {"no-suffix", tiff},      {"unsupported-suffix.bmp", png},
        {"name-ends-in-dot.", tiff}};
    for (const auto& [name, bytes] : misnamed)
        save(name, bytes);
    for (const QString suffix : {"tif", "TIF", "jpg", "jpeg", "png", "PNG"}) {
        save("empty." + suffix, {});
        save("text." + suffix, "Colour target, patch list:\nA1 255 0 0\n");
        // A name with characters no 8-bit code page holds all of, and a folder.
        save(QString::fromUtf8("\xE3\x82\xBF\xE3\x83\xBC\xE3\x82\xB2-\xC4\x89-\xF0\x9F\x8E\xA8.") + suffix,
             suffix.startsWith('t', Qt::CaseInsensitive) ? tiff
             : suffix.startsWith('j')                    ? jpeg
                                                         : png);
        out.mkpath("folder." + suffix);
    }
    save("unreadable.tif", tiff); // nobody but root may read it
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
