#include "printing/devices/file_printer.h"

#ifndef _WIN32

#include "printing/devices/job_progress.h"
#include "printing/encoders/page_encoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Plover::PrintSystem {

FilePrinter::FilePrinter(double marginMm, QString outputPath, QWidget* owner)
    : marginMm(marginMm), outputPath(std::move(outputPath)), owner(owner)
{}

FilePrinter::~FilePrinter()
{
    abandonDocument();
}

QString FilePrinter::printerName()
{
    return QStringLiteral("Plover Virtual Printer (TIFF file)");
}

QList<int> FilePrinter::resolutions()
{
    return {300, 360, 600, 720};
}

std::optional<DeviceMedia> FilePrinter::media(QSizeF paperMm) const
{
    return DeviceMedia{paperMm, {marginMm, marginMm, marginMm, marginMm}, {}, {}};
}

bool FilePrinter::fail(const QString& reason, int error)
{
    abandonDocument();
    QString text = QCoreApplication::translate("Plover::PrintSystem", "Could not print on \"%1\": %2").arg(name(), reason);
    if (error != 0)
        text += QLatin1Char(' ') + QString::fromLocal8Bit(std::strerror(error)) + QLatin1Char('.');
    QMessageBox::warning(owner, QCoreApplication::translate("Plover::PrintSystem", "Print"), text);
    return false;
}

bool FilePrinter::beginDocument(const PageJob&)
{
    // The document is made beside the file, so an unwritable place fails the start as a spooler would.
    QTemporaryFile part(outputPath + QStringLiteral(".XXXXXX.part"));
    part.setAutoRemove(false);
    const auto cannotCreate = [this](int error) {
        return fail(QCoreApplication::translate("Plover::PrintSystem", "The file \"%1\" cannot be created.").arg(QDir::toNativeSeparators(outputPath)), error);
    };
    errno = 0;
    if (outputPath.isEmpty() || !part.open())
        return cannotCreate(errno);
    partPath = part.fileName();
    part.close();
    encoder = makeTiffEncoder(partPath);
    if (!encoder)
        return cannotCreate(errno);
    return true;
}

bool FilePrinter::printPage(const PageSource& page, const PageJob& job)
{
    if (!encoder)
        return false;
    const PageFormat format = pageFormat(page, job);
    bool cancelled = false;
    QString problem;
    int writeError = 0; // errno belongs to the thread that wrote
    const bool written = runJobStep(
        owner, QCoreApplication::translate("Plover::PrintSystem", "Printing on \"%1\"...").arg(name()),
        [&](const ProgressReport& report) {
            errno = 0;
            const bool encoded =
                encodePage(page, format, *encoder, [&](int rows) { return report(rows, format.pixels.height()); });
            writeError = errno;
            return encoded;
        },
        &cancelled, &problem);
    if (cancelled) {
        abandonDocument();
        return false;
    }
    if (written)
        return true;
    return !problem.isEmpty()
               ? fail(problem, 0)
               : fail(QCoreApplication::translate("Plover::PrintSystem", "The page could not be written to \"%1\".").arg(QDir::toNativeSeparators(outputPath)),
                      writeError);
}

bool FilePrinter::endDocument()
{
    if (!encoder)
        return false;
    errno = 0;
    const bool closed = encoder->endDocument();
    encoder.reset();
    if (!closed || std::rename(QFile::encodeName(partPath).constData(), QFile::encodeName(outputPath).constData()) != 0) {
        const int error = errno;
        return fail(QCoreApplication::translate("Plover::PrintSystem", "The page could not be written to \"%1\".").arg(QDir::toNativeSeparators(outputPath)), error);
    }
    partPath.clear();
    return true;
}

void FilePrinter::abandonDocument()
{
    encoder.reset();
    if (!partPath.isEmpty())
        QFile::remove(partPath);
    partPath.clear();
}

} // namespace Plover::PrintSystem

#endif
