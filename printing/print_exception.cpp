#include "print_exception.h"

namespace Plover {

PrintException::PrintException(QString message) : text(std::move(message))
{
    utf8 = text.toUtf8();
}

PrintException::~PrintException() = default;

const char* PrintException::what() const noexcept
{
    return utf8.constData();
}

} // namespace Plover
