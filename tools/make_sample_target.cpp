// Draws Plover's sample target: a grid of colour patches as an 8-bit RGB TIFF at 300 dpi.
// 16 columns x 24 rows of 7 mm patches with a 2 mm gutter fit comfortably on an A4 sheet.
#include "tools/tiff_writer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

constexpr int dpi = 300;
constexpr int columns = 16;
constexpr int rows = 24;
constexpr int patch = 83;  // 7 mm at 300 dpi
constexpr int gutter = 24; // 2 mm
constexpr int border = 60;

struct Rgb
{
    std::uint8_t r, g, b;
};

std::uint8_t channel(double value)
{
    const double clamped = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
    return static_cast<std::uint8_t>(std::lround(clamped * 255.0));
}

// Hue sweeps along the rows, lightness down the columns; the last row is a grey ramp.
Rgb patchColor(int column, int row)
{
    if (row == rows - 1) {
        const auto grey = channel(static_cast<double>(column) / (columns - 1));
        return {grey, grey, grey};
    }
    const double hue = 6.0 * column / columns;
    const double lightness = 0.12 + 0.8 * row / (rows - 2);
    const double saturation = 0.9;
    const double chroma = (1.0 - std::fabs(2.0 * lightness - 1.0)) * saturation;
    const double second = chroma * (1.0 - std::fabs(std::fmod(hue, 2.0) - 1.0));
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hue)) {
    case 0:
        r = chroma;
        g = second;
        break;
    case 1:
        r = second;
        g = chroma;
        break;
    case 2:
        g = chroma;
        b = second;
        break;
    case 3:
        g = second;
        b = chroma;
        break;
    case 4:
        r = second;
        b = chroma;
        break;
    default:
        r = chroma;
        b = second;
        break;
    }
    const double m = lightness - chroma / 2.0;
    return {channel(r + m), channel(g + m), channel(b + m)};
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.tif\n", argv[0]);
        return 2;
    }
    // Which patch a coordinate falls in along one axis, or -1 in the border and the gutters.
    const auto patchAt = [](std::uint32_t at, int count) {
        const int inside = int(at) - border;
        const int index = inside / (patch + gutter);
        return inside >= 0 && index < count && inside % (patch + gutter) < patch ? index : -1;
    };
    PloverTools::TiffPage page;
    page.width = std::uint32_t(2 * border + columns * patch + (columns - 1) * gutter);
    page.height = std::uint32_t(2 * border + rows * patch + (rows - 1) * gutter);
    page.compression = COMPRESSION_LZW;
    page.xResolution = page.yResolution = float(dpi);
    page.resolutionUnit = RESUNIT_INCH;
    page.sample = [&](std::uint32_t x, std::uint32_t y, std::uint16_t s) {
        const int column = patchAt(x, columns);
        const int row = patchAt(y, rows);
        const Rgb c = column >= 0 && row >= 0 ? patchColor(column, row) : Rgb{255, 255, 255};
        return double(s == 0 ? c.r : s == 1 ? c.g : c.b);
    };
    if (!PloverTools::writeTiff(QString::fromLocal8Bit(argv[1]), {page})) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
