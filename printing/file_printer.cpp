#include "printing/file_printer.h"

#ifndef _WIN32

#include "printing/tiff_page_encoder.h"

#include <QFile>
#include <QList>

namespace Plover::PrintSystem {

FilePrinter::FilePrinter(double marginMm, QString outputPath)
    : marginMm(marginMm), outputPath(std::move(outputPath))
{}

QString FilePrinter::printerName()
{
    return QStringLiteral("Plover Virtual Printer (TIFF file)");
}

QList<int> FilePrinter::resolutions()
{
    return {300, 360, 600, 720};
}

QMarginsF FilePrinter::marginsMm(QSizeF) const
{
    return {marginMm, marginMm, marginMm, marginMm};
}

bool FilePrinter::startDocument(const PageJob&)
{
    // The file is created now, as a spooler would claim its output, so an unwritable place fails the start.
    QFile probe(outputPath);
    return !outputPath.isEmpty() && probe.open(QIODevice::WriteOnly);
}

bool FilePrinter::printPage(const PageRaster& page, const PageJob& job)
{
    if (writeTiffPage(outputPath, page, job))
        return true;
    abandonDocument();
    return false;
}

void FilePrinter::abandonDocument()
{
    QFile::remove(outputPath);
}

} // namespace Plover::PrintSystem

#endif
