#pragma once

#include "imaging/target_image.h"
#include "layout/print_layout.h"

class QWidget;

namespace Plover {

// Puts one target on one printed page at its embedded size, colour management off. Stateless.
class PrintJob
{
public:
    // True when a page was sent; throws PrintException when the target carries no pixels.
    bool printTargetImage(QWidget* parent, const TargetImage& image, const PrintLayout& layout) const;
};

} // namespace Plover
