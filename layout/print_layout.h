#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace Plover {

// A sheet in portrait sense: the width is the shorter side. Besides its size it carries the names the
// printing systems know it by: Windows' paper code (0 where Windows has none and the sheet travels as
// its size) and the PWG media name of IPP and CUPS.
struct PaperSize
{
    QString name;
    double widthMm = 0.0;
    double heightMm = 0.0;
    std::int16_t windowsPaperCode = 0;
    QString pwgMediaName;
};

enum class PageOrientation : std::int32_t
{
    Portrait = 0,
    Landscape = 1,
};

// Row by row over a 3 x 3 grid: row = value / 3, column = value % 3.
enum class PrintAlignment : std::int32_t
{
    TopLeft = 0,
    TopCenter = 1,
    TopRight = 2,
    CenterLeft = 3,
    Center = 4,
    CenterRight = 5,
    BottomLeft = 6,
    BottomCenter = 7,
    BottomRight = 8,
};

struct PrintLayout
{
    PaperSize paper;
    PageOrientation orientation = PageOrientation::Portrait;
    PrintAlignment alignment = PrintAlignment::Center;
    // Quarter turn of the image on the sheet, clockwise on screen.
    std::int32_t rotationDegrees = 0;
};

// The catalogue, smallest sheet first; a fresh list on every call.
std::vector<PaperSize> paperSizes();
// The catalogue's sheet with that Windows paper code, or none.
std::optional<PaperSize> paperOfWindowsCode(std::int16_t code);

// Values outside 0..8 read as Center.
QString alignmentName(PrintAlignment alignment);
double alignmentHorizontalFactor(PrintAlignment alignment);
double alignmentVerticalFactor(PrintAlignment alignment);

} // namespace Plover
