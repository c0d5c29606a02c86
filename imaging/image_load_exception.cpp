#include "image_load_exception.h"

namespace Plover {

ImageLoadException::ImageLoadException(QString message) : text(std::move(message))
{
    utf8 = text.toUtf8();
}

ImageLoadException::~ImageLoadException() = default;

const char* ImageLoadException::what() const noexcept
{
    return utf8.constData();
}

} // namespace Plover
