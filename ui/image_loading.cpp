#include "continue_question.h"
#include "imaging/image_load_exception.h"
#include "layout/placement_geometry.h"
#include "main_window.h"
#include "preview/preview_widget.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

namespace Plover {

namespace {

// Drags are judged only by carrying URLs; what they point at is decided on drop.
template <typename DragEvent> void acceptUrlDrag(DragEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

QString shownProfileDescription(const TargetImage& image)
{
    const QString description = image.iccProfileDescription.trimmed();
    return description.isEmpty() ? MainWindow::tr("Embedded ICC profile") : description;
}

// The loaders name colour models in English, and compare them so.
QString shownColorModel(const QString& colorModel)
{
    return QCoreApplication::translate("Plover::TargetImage", colorModel.toUtf8().constData());
}

} // namespace

void MainWindow::openImageFile()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load target image"), QString(),
                                                      tr("Target images (*.tif *.tiff *.jpg *.jpeg *.png)"));
    if (!path.isEmpty())
        loadImage(path);
}

void MainWindow::openImagePath(const QString& path)
{
    if (path.trimmed().isEmpty())
        return;
    loadImage(path);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    acceptUrlDrag(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    acceptUrlDrag(event);
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    const QString path = urls.first().toLocalFile();
    if (path.isEmpty())
        return;
    loadImage(path);
    event->acceptProposedAction();
}

void MainWindow::loadImage(const QString& path)
{
    try {
        TargetImage loaded = imageLoader.loadTargetImage(path);
        if (!confirmEmbeddedProfile(loaded))
            return;
        const QSizeF inches = printSizeInches(loaded);
        const PageOrientation natural = orientationForSize(inches);
        naturalOrientation = natural;
        printLayout.orientation = natural;
        printLayout.rotationDegrees = 0;
        printLayout.paper = paperForPrintSize(inches, natural);
        currentImage = std::move(loaded);
        errorLabel->clear();
        errorLabel->hide();
        syncControls();
        updateImageInfo();
        refreshPreview();
        offerPrintRecord(TargetSet{{TargetPageSource{path, 0, 1}}});
    } catch (const ImageLoadException& error) {
        showError(tr("Could not load target image"), error.message());
    } catch (const std::exception& error) {
        showError(tr("Could not load target image"),
                  QCoreApplication::translate("Plover::ImageLoader", error.what()));
    }
}

bool MainWindow::confirmEmbeddedProfile(const TargetImage& image)
{
    if (!image.hasIccProfile)
        return true;
    return askToContinue(
        this, tr("Embedded ICC profile detected"),
        tr("This image contains an embedded ICC profile: %1.").arg(shownProfileDescription(image)),
        tr("Plover ignores embedded profiles for profiling target output. "
           "Continue loading this image, or cancel and choose a different file."));
}

void MainWindow::showError(const QString& title, const QString& message)
{
    errorLabel->setText(
        QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), message.toHtmlEscaped()));
    errorLabel->show();
}

void MainWindow::updateImageInfo()
{
    if (!currentImage) {
        imageTitleLabel->setText(tr("No image loaded"));
        for (QLabel* fact : {pixelsLabel, dpiLabel, printSizeLabel, colorModelLabel, iccProfileLabel})
            fact->clear();
        return;
    }
    const TargetImage& image = *currentImage;
    const QSizeF inches = rotatedSize(printSizeInches(image), printLayout.rotationDegrees);
    const QSizeF mm = rotatedSize(printSizeMm(image), printLayout.rotationDegrees);
    const auto fixed = [](double value, int digits) {
        return QString::number(value, 'f', digits);
    };

    imageTitleLabel->setText(image.fileName);
    pixelsLabel->setText(
        tr("Pixels: %1 x %2").arg(QString::number(image.pixelWidth), QString::number(image.pixelHeight)));
    dpiLabel->setText(tr("DPI: %1 x %2").arg(fixed(image.dpiX, 2), fixed(image.dpiY, 2)));
    printSizeLabel->setText(tr("Print size: %1 x %2 in / %3 x %4 mm")
                                .arg(fixed(inches.width(), 2), fixed(inches.height(), 2),
                                     fixed(mm.width(), 1), fixed(mm.height(), 1)));
    colorModelLabel->setText(tr("Color model: %1").arg(shownColorModel(image.colorModel)));

    if (!image.hasIccProfile) {
        iccProfileLabel->setText(tr("ICC Profile: none"));
        return;
    }
    iccProfileLabel->setText(tr("ICC Profile: %1 (Ignored)").arg(shownProfileDescription(image)));
}

void MainWindow::refreshPreview()
{
    previewWidget->setPrintLayout(printLayout);
    previewWidget->setTargetImage(currentImage);
}

} // namespace Plover
