#include "tools/hostile_bytes.h"

#include <QBuffer>
#include <QImageWriter>
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

namespace Plover::HostileBytes {

Entry shortE(std::uint16_t tag, std::initializer_list<std::uint16_t> values)
{
    return {tag, Short, std::uint32_t(values.size()), le<std::uint16_t>(values)};
}

Entry longE(std::uint16_t tag, std::initializer_list<std::uint32_t> values)
{
    return {tag, Long, std::uint32_t(values.size()), le<std::uint32_t>(values)};
}

Entry rationalE(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator)
{
    return {tag, Rational, 1, le<std::uint32_t>({numerator, denominator})};
}

Entry floatE(std::uint16_t tag, float value)
{
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return {tag, Float, 1, le<std::uint32_t>({bits})};
}

Entry dataOffsets(std::initializer_list<std::uint32_t> values, std::uint16_t tag)
{
    Entry e = longE(tag, values);
    e.offsetsIntoData = true;
    return e;
}

QByteArray tiffFile(std::vector<Entry> entries, const QByteArray& data)
{
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    const std::uint32_t ifdOffset = 8;
    const std::uint32_t ifdSize = 2 + 12 * std::uint32_t(entries.size()) + 4;
    std::uint32_t extraOffset = ifdOffset + ifdSize;
    QByteArray extra;
    for (const Entry& e : entries) {
        if (e.value.size() > 4)
            extra.append(e.value.size() % 2 ? e.value + '\0' : e.value);
    }
    const std::uint32_t dataOffset = extraOffset + std::uint32_t(extra.size());

    QByteArray file("II*\0", 4);
    file.append(le<std::uint32_t>({ifdOffset}));
    file.append(le<std::uint16_t>({std::uint16_t(entries.size())}));
    extra.clear();
    for (Entry& e : entries) {
        if (e.offsetsIntoData) {
            QByteArray shifted;
            for (int i = 0; i + 4 <= e.value.size(); i += 4)
                shifted.append(le<std::uint32_t>(
                    {qFromLittleEndian<std::uint32_t>(e.value.constData() + i) + dataOffset}));
            e.value = shifted;
        }
        file.append(le<std::uint16_t>({e.tag, e.type}));
        file.append(le<std::uint32_t>({e.count}));
        if (e.value.size() > 4) {
            file.append(le<std::uint32_t>({extraOffset + std::uint32_t(extra.size())}));
            extra.append(e.value.size() % 2 ? e.value + '\0' : e.value);
        } else {
            file.append(e.value.leftJustified(4, '\0'));
        }
    }
    file.append(le<std::uint32_t>({0}));
    file.append(extra);
    file.append(data);
    return file;
}

QByteArray rampData(int bytes)
{
    QByteArray data(bytes, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char((i * 37) & 0xFF);
    return data;
}

namespace {

std::uint64_t rawSize(const TiffPlan& s)
{
    return (std::uint64_t(s.width) * s.samples * s.bits + 7) / 8 * s.height;
}

} // namespace

QByteArray tiffBytes(const TiffPlan& s, const QByteArray& data)
{
    std::vector<Entry> entries = {
        longE(256, {s.width}),
        longE(257, {s.height}),
        {258, Short, s.samples, QByteArray()},
        shortE(259, {s.compression}),
        shortE(262, {s.photometric}),
        dataOffsets({0}),
        shortE(277, {s.samples}),
        longE(278, {s.height}),
        longE(279, {std::uint32_t(data.size())}),
        rationalE(282, 300, 1),
        rationalE(283, 300, 1),
        shortE(284, {s.planar}),
        shortE(296, {2}),
    };
    for (std::uint16_t i = 0; i < s.samples; ++i)
        entries[2].value.append(le<std::uint16_t>({s.bits}));
    if (s.sampleFormat != 1) {
        Entry format{339, Short, s.samples, QByteArray()};
        for (std::uint16_t i = 0; i < s.samples; ++i)
            format.value.append(le<std::uint16_t>({s.sampleFormat}));
        entries.push_back(format);
    }
    for (const Entry& e : s.extra) {
        bool replaced = false;
        for (Entry& existing : entries) {
            if (existing.tag == e.tag) {
                existing = e;
                replaced = true;
            }
        }
        if (!replaced)
            entries.push_back(e);
    }
    return tiffFile(entries, data);
}

QByteArray validTiff(const TiffPlan& plan)
{
    return tiffBytes(plan, rampData(int(rawSize(plan))));
}

QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x ^ y) * 16));
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    return image;
}

QByteArray encoded(const QImage& image, const char* format, int quality, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(image))
        throw std::runtime_error(std::string("cannot encode ") + format);
    return bytes;
}

namespace {

std::uint32_t crc32(const QByteArray& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= std::uint8_t(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void putBig32(QByteArray& bytes, int at, std::uint32_t value)
{
    qToBigEndian(value, bytes.data() + at);
}

void putBig16(QByteArray& bytes, int at, std::uint16_t value)
{
    qToBigEndian(value, bytes.data() + at);
}

} // namespace

// The IHDR chunk sits right after the signature: length 8..11, type 12..15, data 16..28, CRC 29..32.
QByteArray pngWithSize(QByteArray png, std::uint32_t width, std::uint32_t height)
{
    putBig32(png, 16, width);
    putBig32(png, 20, height);
    putBig32(png, 29, crc32(png.mid(12, 17)));
    return png;
}

QByteArray pngChunk(const char* type, const QByteArray& data, std::uint32_t declaredLength)
{
    QByteArray chunk(4, '\0');
    putBig32(chunk, 0, declaredLength);
    chunk.append(type, 4);
    chunk.append(data);
    QByteArray crc(4, '\0');
    putBig32(crc, 0, crc32(QByteArray(type, 4) + data));
    return chunk + crc;
}

// Inserts a chunk after IHDR.
QByteArray pngInsert(const QByteArray& png, const QByteArray& chunk)
{
    return png.left(33) + chunk + png.mid(33);
}

namespace {

int jpegFrameAt(const QByteArray& jpeg)
{
    for (int i = 2; i + 9 < jpeg.size(); ++i) {
        const auto marker = std::uint8_t(jpeg[i + 1]);
        if (std::uint8_t(jpeg[i]) == 0xFF && marker >= 0xC0 && marker <= 0xC2)
            return i;
    }
    return -1;
}

} // namespace

QByteArray jpegWithSize(QByteArray jpeg, std::uint16_t width, std::uint16_t height)
{
    const int frame = jpegFrameAt(jpeg);
    if (frame < 0)
        throw std::runtime_error("no JPEG frame header");
    putBig16(jpeg, frame + 5, height);
    putBig16(jpeg, frame + 7, width);
    return jpeg;
}

QByteArray jpegInsert(const QByteArray& jpeg, std::uint8_t marker, const QByteArray& payload,
                      int declaredLength)
{
    QByteArray segment(4, '\0');
    segment[0] = char(0xFF);
    segment[1] = char(marker);
    putBig16(segment, 2, std::uint16_t(declaredLength));
    return jpeg.left(2) + segment + payload + jpeg.mid(2);
}

} // namespace Plover::HostileBytes
