#include "imaging/image_header_probe.h"

#include <QFile>
#include <QIODevice>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace Plover {

namespace {

// Segments or chunks examined before giving up; real files have a few dozen at most.
constexpr int maxSegments = 512;
// Bytes read before giving up, stray bytes between JPEG markers included.
constexpr qint64 maxBytesRead = 64 * 1024;

class BoundedReader
{
public:
    explicit BoundedReader(QIODevice& device) : device(device) {}

    // Reads exactly `count` bytes into `out`, or fails once the budget or the data ends.
    bool read(unsigned char* out, qint64 count)
    {
        if (count > budget)
            return false;
        budget -= count;
        return device.read(reinterpret_cast<char*>(out), count) == count;
    }

    bool byte(unsigned char& out) { return read(&out, 1); }

    qint64 dataSize() const { return device.size(); }

    bool passesEnd(qint64 count) const { return device.pos() + count > device.size(); }

    // Moves forward without reading; the target must lie inside the data.
    bool skip(qint64 count)
    {
        const qint64 target = device.pos() + count;
        return count >= 0 && target <= device.size() && device.seek(target);
    }

private:
    QIODevice& device;
    qint64 budget = maxBytesRead;
};

std::uint32_t bigEndian32(const unsigned char* bytes)
{
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
           (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
}

std::uint16_t bigEndian16(const unsigned char* bytes)
{
    return std::uint16_t((bytes[0] << 8) | bytes[1]);
}

// The CRC-32 of PNG chunks (ISO 3309), over the chunk type and data.
std::uint32_t pngCrc(const unsigned char* bytes, int count)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (int i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

// Deflate turns one stored byte into at most 1032, so a PNG needs at least its filtered rows
// (a filter byte and the packed samples per row) divided by 1032 to hold its image.
bool pngDataMayHoldImage(const unsigned char* ihdr, qint64 dataSize)
{
    const double width = bigEndian32(ihdr);
    const double height = bigEndian32(ihdr + 4);
    const int bitDepth = ihdr[8];
    // Samples per pixel by colour type: RGB 2, grey and alpha 4, RGB and alpha 6; grey and palette 1.
    const int colourType = ihdr[9];
    const int channels = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    const double filteredBytes = height * (1.0 + std::ceil(width * bitDepth * channels / 8.0));
    return filteredBytes <= double(dataSize) * 1032.0;
}

// libpng keeps the first intact pHYs chunk ahead of the image data and reports a resolution
// on an axis only in metres; a damaged chunk is dropped with a warning.
void probePng(BoundedReader& reader, ImageHeaderFacts& facts)
{
    bool sawResolution = false;
    for (int chunk = 0; chunk < maxSegments; ++chunk) {
        std::array<unsigned char, 8> head{};
        if (!reader.read(head.data(), 8))
            return;
        const std::uint32_t length = bigEndian32(head.data());
        const std::uint32_t type = bigEndian32(head.data() + 4);
        if (length > 0x7FFFFFFFu || type == 0x49444154u) // 'IDAT'
            return;
        if (type == 0x49484452u && length == 13 && chunk == 0) { // 'IHDR'
            std::array<unsigned char, 13 + 4> body{};
            if (!reader.read(body.data(), 13 + 4))
                return;
            facts.dataMayHoldImage = pngDataMayHoldImage(body.data(), reader.dataSize());
            continue;
        }
        if (type == 0x70485973u && length == 9) { // 'pHYs'
            std::array<unsigned char, 4 + 9 + 4> body{};
            std::copy(head.begin() + 4, head.end(), body.begin());
            if (!reader.read(body.data() + 4, 9 + 4))
                return;
            if (!sawResolution && pngCrc(body.data(), 4 + 9) == bigEndian32(body.data() + 4 + 9)) {
                const bool metres = body[4 + 8] == 1;
                facts.declaresDpiX = metres && bigEndian32(body.data() + 4) != 0;
                facts.declaresDpiY = metres && bigEndian32(body.data() + 8) != 0;
                sawResolution = true;
            }
            continue;
        }
        if (!reader.skip(qint64(length) + 4)) {
            facts.headerRunsPastEnd = reader.passesEnd(qint64(length) + 4);
            return;
        }
    }
}

// Every 8 x 8 block of a full-resolution component costs at least one bit of entropy-coded data,
// and at most four such blocks share a vertical sampling factor, so a frame needs at least
// width x height / 2048 bytes. Real files are hundreds of times larger; this only catches lies.
qint64 minimumJpegBytes(std::uint16_t width, std::uint16_t height)
{
    return qint64(width) * height / 2048;
}

bool isStartOfFrame(unsigned char marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// libjpeg reads every marker up to the start of scan: the last JFIF APP0 of at least 14 bytes
// sets the density, in dots per inch (1) or per centimetre (2), where a zero density is left
// out by Qt; the first frame header gives the component count.
void probeJpeg(BoundedReader& reader, ImageHeaderFacts& facts)
{
    bool sawFrame = false;
    for (int segment = 0; segment < maxSegments; ++segment) {
        unsigned char marker = 0;
        do {
            if (!reader.byte(marker))
                return;
        } while (marker != 0xFF);
        do {
            if (!reader.byte(marker))
                return;
        } while (marker == 0xFF);
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            return;
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8))
            continue; // no length follows
        std::array<unsigned char, 2> lengthBytes{};
        if (!reader.read(lengthBytes.data(), 2))
            return;
        const qint64 payload = qint64(bigEndian16(lengthBytes.data())) - 2;
        if (payload < 0)
            return;
        qint64 consumed = 0;
        if (marker == 0xE0 && payload >= 14) {
            std::array<unsigned char, 14> app0{};
            if (!reader.read(app0.data(), 14))
                return;
            consumed = 14;
            static constexpr unsigned char jfif[] = {'J', 'F', 'I', 'F', 0};
            if (std::equal(std::begin(jfif), std::end(jfif), app0.begin())) {
                const bool units = app0[7] == 1 || app0[7] == 2;
                facts.declaresDpiX = units && bigEndian16(app0.data() + 8) != 0;
                facts.declaresDpiY = units && bigEndian16(app0.data() + 10) != 0;
            }
        } else if (isStartOfFrame(marker) && !sawFrame && payload >= 6) {
            std::array<unsigned char, 6> frame{};
            if (!reader.read(frame.data(), 6))
                return;
            consumed = 6;
            sawFrame = true;
            facts.fourComponentFrame = frame[5] == 4;
            facts.dataMayHoldImage = reader.dataSize() >= minimumJpegBytes(bigEndian16(frame.data() + 3),
                                                                           bigEndian16(frame.data() + 1));
        }
        if (!reader.skip(payload - consumed))
            return;
    }
}

} // namespace

ImageHeaderFacts probeImageHeader(QIODevice& device)
{
    ImageHeaderFacts facts;
    BoundedReader reader(device);
    std::array<unsigned char, 8> signature{};
    if (!reader.read(signature.data(), 2))
        return facts;
    if (signature[0] == 0xFF && signature[1] == 0xD8) {
        facts.recognized = true;
        probeJpeg(reader, facts);
        return facts;
    }
    static constexpr unsigned char png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!reader.read(signature.data() + 2, 6) ||
        !std::equal(std::begin(png), std::end(png), signature.begin()))
        return facts;
    facts.recognized = true;
    probePng(reader, facts);
    return facts;
}

ImageHeaderFacts probeImageHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return probeImageHeader(file);
}

} // namespace Plover
