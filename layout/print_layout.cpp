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

// The names are also the stored setting's values, so they are translated only where shown.
std::vector<PaperSize> paperSizes()
{
    return {
        {QStringLiteral(QT_TRANSLATE_NOOP("Plover::PaperSize", "DIN A4")), 210.0, 297.0, 9,
         QStringLiteral("iso_a4_210x297mm")},
        {QStringLiteral(QT_TRANSLATE_NOOP("Plover::PaperSize", "DIN A3")), 297.0, 420.0, 8,
         QStringLiteral("iso_a3_297x420mm")},
        {QStringLiteral(QT_TRANSLATE_NOOP("Plover::PaperSize", "DIN A3+")), 329.0, 483.0, 0,
         QStringLiteral("custom_329x483mm_329x483mm")},
        {QStringLiteral(QT_TRANSLATE_NOOP("Plover::PaperSize", "DIN A2")), 420.0, 594.0, 66,
         QStringLiteral("iso_a2_420x594mm")},
    };
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
    // Marked for translation; the window translates them where it shows them.
    static const char* const names[] = {QT_TRANSLATE_NOOP("Plover::PrintAlignment", "Top Left"),
                                        QT_TRANSLATE_NOOP("Plover::PrintAlignment", "Top Center"),
                                        QT_TRANSLATE_NOOP("Plover::PrintAlignment", "Top Right"),
                                        QT_TRANSLATE_NOOP("Plover::PrintAlignment", "Center Left"),
                                        QT_TRANSLATE_NOOP("Plover::PrintAlignment", "Center"),
                                        QT_TRANSLATE_NOOP("Plover::PrintAlignment", "Center Right"),
                                        QT_TRANSLATE_NOOP("Plover::PrintAlignment", "Bottom Left"),
                                        QT_TRANSLATE_NOOP("Plover::PrintAlignment", "Bottom Center"),
                                        QT_TRANSLATE_NOOP("Plover::PrintAlignment", "Bottom Right")};
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
