#include "continue_question.h"
#include "layout/placement_geometry.h"
#include "main_window.h"
#include "preview/preview_widget.h"
#include "printing/print_exception.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSettings>
#include <QToolButton>
#include <cmath>

namespace Plover {

namespace {

const QString paperKey = QStringLiteral("print/paper");
const QString orientationKey = QStringLiteral("print/orientation");
const QString alignmentKey = QStringLiteral("print/alignment");

int alignmentButtonFor(PrintAlignment alignment)
{
    const auto value = static_cast<int>(alignment);
    return value >= 0 && value <= 8 ? value : static_cast<int>(PrintAlignment::Center);
}

} // namespace

// Each read or write opens a fresh store; leaving scope flushes it.
void MainWindow::loadSettings()
{
    QSettings settings(QStringLiteral("Tessaly"), QStringLiteral("Plover"));

    const QString paperName = settings.value(paperKey).toString();
    for (const PaperSize& paper : paperSizes()) {
        if (paper.name == paperName) {
            printLayout.paper = paper;
            break;
        }
    }

    // toInt() reads anything that is not a number as 0.
    const int orientation = settings.value(orientationKey, static_cast<int>(printLayout.orientation)).toInt();
    if (orientation == 0 || orientation == 1)
        printLayout.orientation = static_cast<PageOrientation>(orientation);

    const int alignment = settings.value(alignmentKey, static_cast<int>(printLayout.alignment)).toInt();
    if (alignment >= 0 && alignment <= 8)
        printLayout.alignment = static_cast<PrintAlignment>(alignment);
}

void MainWindow::saveSettings()
{
    QSettings settings(QStringLiteral("Tessaly"), QStringLiteral("Plover"));
    settings.setValue(paperKey, printLayout.paper.name);
    settings.setValue(orientationKey, static_cast<int>(printLayout.orientation));
    settings.setValue(alignmentKey, static_cast<int>(printLayout.alignment));
}

void MainWindow::syncControls()
{
    // Setting a combo's index runs its handler at once; the flag tells the handler to stay still.
    syncingControls = true;
    const std::vector<PaperSize> catalogue = paperSizes();
    for (std::size_t i = 0; i < catalogue.size(); ++i) {
        if (catalogue[i].name == printLayout.paper.name) {
            paperCombo->setCurrentIndex(static_cast<int>(i));
            break;
        }
    }
    orientationCombo->setCurrentIndex(printLayout.orientation == PageOrientation::Landscape ? 1 : 0);
    printAction->setEnabled(currentImage.has_value());
    checkAlignmentButton(printLayout.alignment);
    syncingControls = false;
}

void MainWindow::selectPaper(int index)
{
    const std::vector<PaperSize> catalogue = paperSizes();
    if (syncingControls || index < 0 || index >= static_cast<int>(catalogue.size()))
        return;
    printLayout.paper = catalogue[static_cast<std::size_t>(index)];
    saveSettings();
    refreshPreview();
}

void MainWindow::selectOrientation(int index)
{
    if (syncingControls || index < 0)
        return;
    printLayout.orientation = index == 1 ? PageOrientation::Landscape : PageOrientation::Portrait;
    if (currentImage && naturalOrientation)
        printLayout.rotationDegrees = printLayout.orientation == *naturalOrientation ? 0 : 90;
    saveSettings();
    updateImageInfo();
    refreshPreview();
}

void MainWindow::selectAlignment(PrintAlignment alignment)
{
    printLayout.alignment = alignment;
    checkAlignmentButton(alignment);
    saveSettings();
    refreshPreview();
}

void MainWindow::checkAlignmentButton(PrintAlignment alignment)
{
    const int checked = alignmentButtonFor(alignment);
    for (int i = 0; i < 9; ++i)
        alignmentButtons[static_cast<std::size_t>(i)]->setChecked(i == checked);
}

void MainWindow::printImage()
{
    if (!currentImage)
        return;
    try {
        if (!confirmCropping(*currentImage))
            return;
        printJob.printTargetImage(this, *currentImage, printLayout);
    } catch (const PrintException& error) {
        showError(QStringLiteral("Could not print target image"), error.message());
    } catch (const std::exception& error) {
        showError(QStringLiteral("Could not print target image"), QString::fromUtf8(error.what()));
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
        this, QStringLiteral("Image will be cropped"),
        QStringLiteral("The image is larger than the selected paper at its embedded print size."),
        QStringLiteral("Image: %1 x %2 in\nPaper: %3 x %4 in\n\n"
                       "Continue printing, or cancel and choose a larger paper size.")
            .arg(inches(size.width()), inches(size.height()), inches(sheet.width()), inches(sheet.height())));
}

void MainWindow::updateZoomLabel(double percent)
{
    if (!zoomLabel)
        return;
    zoomLabel->setText(QStringLiteral("%1%").arg(QString::number(std::round(percent))));
}

void MainWindow::setZoomControlsEnabled(bool enabled)
{
    zoomInAction->setEnabled(enabled);
    zoomOutAction->setEnabled(enabled);
    fitToScreenAction->setEnabled(enabled);
    zoomLabel->setEnabled(enabled);
}

} // namespace Plover
