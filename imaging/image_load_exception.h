#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace Plover {

// The one way a load refuses a file: a sentence meant for the user.
class ImageLoadException : public std::exception
{
public:
    explicit ImageLoadException(QString message);
    ~ImageLoadException() override;

    const QString& message() const noexcept { return text; }
    const char* what() const noexcept override;

private:
    QString text;
    QByteArray utf8;
};

} // namespace Plover
