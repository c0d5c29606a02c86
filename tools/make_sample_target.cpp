// Draws Plover's sample target: a grid of colour patches as an 8-bit RGB TIFF at 300 dpi.
// 16 columns x 24 rows of 7 mm patches with a 2 mm gutter fit comfortably on an A4 sheet.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <tiffio.h>
#include <vector>

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
    const int width = 2 * border + columns * patch + (columns - 1) * gutter;
    const int height = 2 * border + rows * patch + (rows - 1) * gutter;

    TIFF* tiff = TIFFOpen(argv[1], "w");
    if (!tiff) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64);
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));

    std::vector<std::uint8_t> line(static_cast<std::size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const int inY = y - border;
        const int row = inY / (patch + gutter);
        const bool rowPatch = inY >= 0 && row < rows && inY % (patch + gutter) < patch;
        for (int x = 0; x < width; ++x) {
            const int inX = x - border;
            const int column = inX / (patch + gutter);
            const bool inPatch = rowPatch && inX >= 0 && column < columns && inX % (patch + gutter) < patch;
            const Rgb c = inPatch ? patchColor(column, row) : Rgb{255, 255, 255};
            line[static_cast<std::size_t>(x) * 3] = c.r;
            line[static_cast<std::size_t>(x) * 3 + 1] = c.g;
            line[static_cast<std::size_t>(x) * 3 + 2] = c.b;
        }
        if (TIFFWriteScanline(tiff, line.data(), static_cast<std::uint32_t>(y), 0) < 0) {
            TIFFClose(tiff);
            return 1;
        }
    }
    TIFFClose(tiff);
    return 0;
}
