#pragma once

// Byte-level builders for the hostile corpus: classic little-endian TIFF files assembled entry by
// entry (so that values libtiff would refuse to write can be stored), and patches to PNG and JPEG
// streams from Qt's writer. A builder that cannot do its job throws std::runtime_error.
#include <QByteArray>
#include <QImage>
#include <QtEndian>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace Plover::HostileBytes {

enum Type : std::uint16_t
{
    Byte = 1,
    Ascii = 2,
    Short = 3,
    Long = 4,
    Rational = 5,
    Undefined = 7,
    SRational = 10,
    Float = 11,
    Double = 12
};

// One IFD entry; its value is placed out of line when longer than four bytes.
struct Entry
{
    std::uint16_t tag;
    std::uint16_t type;
    std::uint32_t count;
    QByteArray value;
    bool offsetsIntoData = false; // LONG values are offsets from the start of the pixel data
};

template <typename T> QByteArray le(std::initializer_list<T> values)
{
    QByteArray bytes;
    for (T v : values) {
        const T little = qToLittleEndian(v);
        bytes.append(reinterpret_cast<const char*>(&little), sizeof(T));
    }
    return bytes;
}

Entry shortE(std::uint16_t tag, std::initializer_list<std::uint16_t> values);
Entry longE(std::uint16_t tag, std::initializer_list<std::uint32_t> values);
Entry rationalE(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator);
Entry floatE(std::uint16_t tag, float value);
// Offsets into the pixel data, for StripOffsets (273) by default.
Entry dataOffsets(std::initializer_list<std::uint32_t> values, std::uint16_t tag = 273);

// Header, IFD (entries sorted by tag), out-of-line values, then the pixel data.
QByteArray tiffFile(std::vector<Entry> entries, const QByteArray& data);

// A contiguous, uncompressed image in one strip at 300 dpi; `extra` adds tags or replaces the
// defaults with the same tag number.
struct TiffPlan
{
    std::uint32_t width = 16;
    std::uint32_t height = 12;
    std::uint16_t samples = 3;
    std::uint16_t bits = 8;
    std::uint16_t photometric = 2;
    std::uint16_t sampleFormat = 1;
    std::uint16_t planar = 1;
    std::uint16_t compression = 1;
    std::vector<Entry> extra;
};

QByteArray rampData(int bytes);
QByteArray tiffBytes(const TiffPlan& plan, const QByteArray& data);
// The plan with exactly as many ramp bytes as its samples need.
QByteArray validTiff(const TiffPlan& plan = {});

// PNG and JPEG.
QImage pattern(int width, int height); // 300 dpi
QByteArray encoded(const QImage& image, const char* format, int quality = -1, bool progressive = false);
QByteArray pngWithSize(QByteArray png, std::uint32_t width, std::uint32_t height);
QByteArray pngChunk(const char* type, const QByteArray& data, std::uint32_t declaredLength);
QByteArray pngInsert(const QByteArray& png, const QByteArray& chunk); // right after IHDR
QByteArray jpegWithSize(QByteArray jpeg, std::uint16_t width, std::uint16_t height);
QByteArray jpegInsert(const QByteArray& jpeg, std::uint8_t marker, const QByteArray& payload,
                      int declaredLength);

} // namespace Plover::HostileBytes
