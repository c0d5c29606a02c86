#include "print_job.h"

#include "print_exception.h"

namespace Plover {

bool PrintJob::printTargetImage(QWidget*, const TargetImage& image, const PrintLayout&) const
{
    if (image.image.isNull())
        throw PrintException(QStringLiteral("No image is loaded."));
    return false;
}

} // namespace Plover
