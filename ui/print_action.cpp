#include "continue_question.h"
#include "layout/placement_geometry.h"
#include "main_window.h"
#include "printing/print_exception.h"

namespace Plover {

void MainWindow::printImage()
{
    if (setPages.isEmpty() || !confirmCropping())
        return;
    try {
        // A single image is printed as it is shown, starting from the system's defaults every time.
        if (currentSet.pages.size() == 1) {
            if (waitForShownPage())
                printJob.printTargetImage(this, *currentImage, printLayout);
            return;
        }
        const std::optional<PrintedDocument> printed =
            printJob.printTargetSet(this, currentSet, printLayout, printerPreset);
        if (printed)
            rememberPrint(currentSet, *printed);
    } catch (const PrintException& error) {
        showError(tr("Could not print target image"), error.message());
    } catch (const std::exception& error) {
        showError(tr("Could not print target image"), QString::fromUtf8(error.what()));
    }
}

// Asked once for the whole set, naming every page that the paper cuts.
bool MainWindow::confirmCropping()
{
    const auto inches = [](double value) {
        return QString::number(value, 'f', 2);
    };
    const QSizeF sheet = sheetSizeInches(printLayout.paper, printLayout.orientation);
    QStringList cropped;
    QSizeF size;
    for (int i = 0; i < setPages.size(); ++i) {
        size = rotatedSize(printSizeInches(setPages[i]), printLayout.rotationDegrees);
        if (!fitsOnSheet(sheet, size))
            cropped << tr("%1: %2 x %3 in")
                           .arg(targetPageName(currentSet.pages[i]), inches(size.width()),
                                inches(size.height()));
    }
    if (cropped.isEmpty())
        return true;
    if (setPages.size() > 1)
        return askToContinue(
            this, tr("Image will be cropped"),
            tr("Some pages are larger than the selected paper at their embedded print size."),
            tr("%1\nPaper: %2 x %3 in\n\n"
               "Continue printing, or cancel and choose a larger paper size.")
                .arg(cropped.join(QLatin1Char('\n')), inches(sheet.width()), inches(sheet.height())));
    return askToContinue(
        this, tr("Image will be cropped"),
        tr("The image is larger than the selected paper at its embedded print size."),
        tr("Image: %1 x %2 in\nPaper: %3 x %4 in\n\n"
           "Continue printing, or cancel and choose a larger paper size.")
            .arg(inches(size.width()), inches(size.height()), inches(sheet.width()), inches(sheet.height())));
}

} // namespace Plover
