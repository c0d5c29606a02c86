#include "preview/image_pyramid.h"

#include <QtAlgorithms>
#include <algorithm>
#include <cstdint>

namespace Plover {

namespace {

QImage::Format levelFormat(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        return QImage::Format_Grayscale8;
    case QImage::Format_RGB888:
        return QImage::Format_RGB888;
    default:
        // Premultiplied, so that a colour counts in an average as much as it covers.
        return image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    }
}

// Holds the sum of shrink * shrink 8-bit values for every shrink up to maxShrink.
using Sum = std::uint32_t;
constexpr int maxShrink = 4096;

// What QImage allocates for such an image: rows padded to 4 bytes.
qint64 imageBytes(qint64 width, qint64 height, int depth)
{
    return (width * depth + 31) / 32 * 4 * height;
}

// Adds each `shrink` pixels wide block of `line` onto the sums of its channels.
template <int channels> void addBlocks(const uchar* line, int blocks, int shrink, Sum* sums)
{
    for (int block = 0; block < blocks; ++block, sums += channels) {
        for (int k = 0; k < shrink; ++k, line += channels) {
            for (int c = 0; c < channels; ++c)
                sums[c] += line[c];
        }
    }
}

// Averages `shrink` x `shrink` blocks of `source`, whose rows are read converted to `format`.
QImage shrunk(const QImage& source, int shrink, QImage::Format format, const std::atomic<bool>& cancelled)
{
    QImage result(source.width() / shrink, source.height() / shrink, format);
    if (result.isNull())
        return result;
    const int channels = result.depth() / 8;
    const auto add = channels == 1 ? addBlocks<1> : channels == 3 ? addBlocks<3> : addBlocks<4>;
    const int rowBytes = result.width() * channels;
    // shrink is a power of two, so the sums of shrink * shrink values are divided by shifting.
    const int shift = 2 * int(qCountTrailingZeroBits(quint32(shrink)));
    const Sum half = Sum(1) << (shift - 1);
    std::vector<Sum> sums(std::size_t(rowBytes), 0);
    for (int y = 0; y < result.height(); ++y) {
        if (cancelled.load(std::memory_order_relaxed))
            return {};
        // Converted a band at a time, so that the source never needs a whole converted copy.
        const bool converted = source.format() != format;
        const QImage band =
            converted ? source.copy(0, y * shrink, source.width(), shrink).convertToFormat(format) : QImage();
        if (converted && band.isNull())
            return {};
        std::fill(sums.begin(), sums.end(), 0);
        for (int row = 0; row < shrink; ++row)
            add(converted ? band.constScanLine(row) : source.constScanLine(y * shrink + row), result.width(),
                shrink, sums.data());
        uchar* out = result.scanLine(y);
        for (int i = 0; i < rowBytes; ++i)
            out[i] = uchar((sums[std::size_t(i)] + half) >> shift);
    }
    return result;
}

} // namespace

std::vector<PyramidLevel> imagePyramid(const QImage& image, const std::atomic<bool>& cancelled)
{
    const QImage::Format format = levelFormat(image);
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    std::vector<int> shrinks;
    for (int shrink = 2; shrink <= maxShrink && image.width() / shrink > 0 && image.height() / shrink > 0;
         shrink *= 2)
        shrinks.push_back(shrink);

    // The finest level from which on all of them fit into a third of the image's bytes.
    std::size_t first = shrinks.size();
    qint64 bytes = 0;
    while (first > 0) {
        const int shrink = shrinks[first - 1];
        bytes += imageBytes(image.width() / shrink, image.height() / shrink, depth);
        if (bytes > image.sizeInBytes() / 3)
            break;
        --first;
    }

    std::vector<PyramidLevel> levels;
    for (std::size_t i = first; i < shrinks.size(); ++i) {
        QImage level = levels.empty() ? shrunk(image, shrinks[i], format, cancelled)
                                      : shrunk(levels.back().image, 2, format, cancelled);
        if (level.isNull())
            return {};
        levels.push_back({shrinks[i], level});
    }
    return levels;
}

const PyramidLevel* levelForScale(const std::vector<PyramidLevel>& levels, double scale)
{
    const PyramidLevel* chosen = nullptr;
    for (const PyramidLevel& level : levels) {
        if (level.shrink * scale > 1.0)
            break;
        chosen = &level;
    }
    return chosen;
}

} // namespace Plover
