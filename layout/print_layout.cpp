#include "print_layout.h"

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
        {QStringLiteral("DIN A4"), 210.0, 297.0},
        {QStringLiteral("DIN A3"), 297.0, 420.0},
        {QStringLiteral("DIN A3+"), 329.0, 483.0},
        {QStringLiteral("DIN A2"), 420.0, 594.0},
    };
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
