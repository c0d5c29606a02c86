#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace Plover {

// Raised only when there is nothing to print; a cancelled or failing print path answers false instead.
class PrintException : public std::exception
{
public:
    explicit PrintException(QString message);
    ~PrintException() override;

    const QString& message() const noexcept { return text; }
    const char* what() const noexcept override;

private:
    QString text;
    QByteArray utf8;
};

} // namespace Plover
