#include "print_job.h"

#include "print_exception.h"
#include "printing/gdi_print_job.h"

namespace Plover {

bool PrintJob::printTargetImage(QWidget* parent, const TargetImage& image, const PrintLayout& layout) const
{
    if (image.image.isNull())
        throw PrintException(QStringLiteral("No image is loaded."));
    return printWithGdi(parent, image, layout);
}

} // namespace Plover
