#include "print_layout.h"

#include <cmath>

namespace Plover {

namespace {

int alignmentIndex(PrintAlignment alignment)
{
    const auto value = static_cast<int>(alignment);
    return value >= 0 && value <= 8 ? value : static_cast<int>(PrintAlignment::Center);
}

double factorOf(int position)
{
    return position * 0.5;
}

} // namespace

std::vector<PaperSize> paperSizes()
{
    return {
        {QStringLiteral("DIN A4"), 210.0, 297.0, 9, QStringLiteral("iso_a4_210x297mm")},
        {QStringLiteral("DIN A3"), 297.0, 420.0, 8, QStringLiteral("iso_a3_297x420mm")},
        {QStringLiteral("DIN A3+"), 329.0, 483.0, 0, QStringLiteral("custom_329x483mm_329x483mm")},
        {QStringLiteral("DIN A2"), 420.0, 594.0, 66, QStringLiteral("iso_a2_420x594mm")},
    };
}

std::optional<PaperSize> paperOfSize(double widthMm, double heightMm)
{
    for (const PaperSize& paper : paperSizes()) {
        if (std::abs(paper.widthMm - widthMm) < 0.005 && std::abs(paper.heightMm - heightMm) < 0.005)
            return paper;
    }
    return std::nullopt;
}

std::optional<PaperSize> paperOfWindowsCode(std::int16_t code)
{
    for (const PaperSize& paper : paperSizes()) {
        if (code != 0 && paper.windowsPaperCode == code)
            return paper;
    }
    return std::nullopt;
}

QString alignmentName(PrintAlignment alignment)
{
    static const char* const names[] = {"Top Left",    "Top Center",    "Top Right",
                                        "Center Left", "Center",        "Center Right",
                                        "Bottom Left", "Bottom Center", "Bottom Right"};
    return QString::fromLatin1(names[alignmentIndex(alignment)]);
}

double alignmentHorizontalFactor(PrintAlignment alignment)
{
    return factorOf(alignmentIndex(alignment) % 3);
}

double alignmentVerticalFactor(PrintAlignment alignment)
{
    return factorOf(alignmentIndex(alignment) / 3);
}

} // namespace Plover
