#include "print_job.h"

#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"
#include "print_exception.h"
#include "printing/gdi_print_job.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace Plover {

namespace {

QString noImage()
{
    return QStringLiteral("No image is loaded.");
}

// Names the page as the user knows it: its file and, in a multi-page TIFF, its page there.
QString unreadablePage(const TargetPageSource& source, int number, const QString& reason)
{
    const QString file = QFileInfo(source.filePath).fileName();
    const QString where = source.pagesInFile > 1
                              ? QCoreApplication::translate("Plover::PrintJob", "%1, page %2")
                                    .arg(file)
                                    .arg(source.pageIndex + 1)
                              : file;
    return QCoreApplication::translate("Plover::PrintJob",
                                       "Page %1 (%2) could not be read, so the print was withdrawn. %3")
        .arg(QString::number(number), where, reason);
}

} // namespace

bool PrintJob::printTargetImage(QWidget* parent, const TargetImage& image, const PrintLayout& layout) const
{
    if (image.image.isNull())
        throw PrintException(noImage());
    return printWithGdi(parent, image, layout);
}

std::optional<PrintedDocument> PrintJob::printTargetSet(QWidget* parent, const TargetSet& set,
                                                        const PrintLayout& layout,
                                                        const PrinterPreset& preset) const
{
    if (set.pages.isEmpty())
        throw PrintException(noImage());
    const auto page = [&set](int index) {
        const TargetPageSource& source = set.pages[index];
        TargetImage image;
        try {
            image = ImageLoader().loadTargetPage(source);
        } catch (const ImageLoadException& error) {
            throw PrintException(unreadablePage(source, index + 1, error.message()));
        } catch (const std::exception& error) {
            throw PrintException(unreadablePage(source, index + 1, QString::fromUtf8(error.what())));
        }
        if (image.image.isNull())
            throw PrintException(noImage());
        return image;
    };
    return printWithGdi(parent, static_cast<int>(set.pages.size()), page, layout, preset);
}

} // namespace Plover
