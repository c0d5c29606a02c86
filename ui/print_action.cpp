#include "continue_question.h"
#include "layout/placement_geometry.h"
#include "main_window.h"
#include "printing/print_exception.h"

namespace Plover {

void MainWindow::printImage()
{
    if (!currentImage || !confirmCropping(*currentImage))
        return;
    // The image's own file, a set of one.
    printSet(TargetSet{{TargetPageSource{currentImage->filePath, 0, 1}}});
}

void MainWindow::printSet(const TargetSet& set)
{
    try {
        // A single image starts from the system's defaults every time.
        const bool several = set.pages.size() > 1;
        const std::optional<PrintedDocument> printed =
            printJob.printTargetSet(this, set, printLayout, several ? printerPreset : PrinterPreset{});
        if (printed && several)
            rememberPrint(set, *printed);
    } catch (const PrintException& error) {
        showError(tr("Could not print target image"), error.message());
    } catch (const std::exception& error) {
        showError(tr("Could not print target image"), QString::fromUtf8(error.what()));
    }
}

bool MainWindow::confirmCropping(const TargetImage& image)
{
    const QSizeF sheet = sheetSizeInches(printLayout.paper, printLayout.orientation);
    const QSizeF size = rotatedSize(printSizeInches(image), printLayout.rotationDegrees);
    if (fitsOnSheet(sheet, size))
        return true;

    const auto inches = [](double value) {
        return QString::number(value, 'f', 2);
    };
    return askToContinue(
        this, tr("Image will be cropped"),
        tr("The image is larger than the selected paper at its embedded print size."),
        tr("Image: %1 x %2 in\nPaper: %3 x %4 in\n\n"
           "Continue printing, or cancel and choose a larger paper size.")
            .arg(inches(size.width()), inches(size.height()), inches(sheet.width()), inches(sheet.height())));
}

} // namespace Plover
