#include "placement_geometry.h"

#include <QTransform>
#include <cmath>

namespace Plover {

namespace {

constexpr double mmPerInch = 25.4;
constexpr double fallbackDpi = 72.0;

// "> 0" is false for NaN too, so a NaN resolution falls back as well.
double usableDpi(double dpi)
{
    return dpi > 0.0 ? dpi : fallbackDpi;
}

} // namespace

QSizeF printSizeInches(const TargetImage& image)
{
    return {image.pixelWidth / usableDpi(image.dpiX), image.pixelHeight / usableDpi(image.dpiY)};
}

QSizeF printSizeMm(const TargetImage& image)
{
    const QSizeF inches = printSizeInches(image);
    return {inches.width() * mmPerInch, inches.height() * mmPerInch};
}

QSizeF sheetSizeMm(const PaperSize& paper, PageOrientation orientation)
{
    if (orientation == PageOrientation::Landscape)
        return {paper.heightMm, paper.widthMm};
    return {paper.widthMm, paper.heightMm};
}

QSizeF sheetSizeInches(const PaperSize& paper, PageOrientation orientation)
{
    const QSizeF mm = sheetSizeMm(paper, orientation);
    return {mm.width() / mmPerInch, mm.height() / mmPerInch};
}

int normalizedDegrees(int degrees)
{
    return ((degrees % 360) + 360) % 360;
}

QSizeF rotatedSize(QSizeF size, int degrees)
{
    const int normalized = normalizedDegrees(degrees);
    if (normalized == 90 || normalized == 270)
        return size.transposed();
    return size;
}

QImage rotatedImage(const QImage& image, int degrees)
{
    const int normalized = normalizedDegrees(degrees);
    if (normalized == 0 || image.isNull())
        return image;
    return image.transformed(QTransform().rotate(normalized), Qt::FastTransformation);
}

QRectF placementRect(QSizeF sheet, QSizeF image, PrintAlignment alignment)
{
    const double x = (sheet.width() - image.width()) * alignmentHorizontalFactor(alignment);
    const double y = (sheet.height() - image.height()) * alignmentVerticalFactor(alignment);
    return {x, y, image.width(), image.height()};
}

bool fitsOnSheet(QSizeF sheet, QSizeF image)
{
    return sheet.width() + fitToleranceInches >= image.width() &&
           sheet.height() + fitToleranceInches >= image.height();
}

PageOrientation orientationForSize(QSizeF printSize)
{
    return printSize.width() > printSize.height() ? PageOrientation::Landscape : PageOrientation::Portrait;
}

PaperSize paperForPrintSize(QSizeF printSizeInches, PageOrientation orientation)
{
    const std::vector<PaperSize> catalogue = paperSizes();
    for (const PaperSize& paper : catalogue) {
        if (fitsOnSheet(sheetSizeInches(paper, orientation), printSizeInches))
            return paper;
    }
    return catalogue.back();
}

QSizeF sizeHoldingAll(const QList<QSizeF>& sizes)
{
    QSizeF holding(0.0, 0.0);
    for (const QSizeF& size : sizes)
        holding = holding.expandedTo(size);
    return holding;
}

QRect devicePlacementRect(const DevicePageMetrics& device, const TargetImage& image,
                          const PrintLayout& layout)
{
    const double dpiX = device.logPixelsX;
    const double dpiY = device.logPixelsY;
    const QSizeF page(device.physicalWidth / dpiX, device.physicalHeight / dpiY);
    const QSizeF size = rotatedSize(printSizeInches(image), layout.rotationDegrees);
    const QRectF r = placementRect(page, size, layout.alignment);
    const auto left = static_cast<int>(std::lround(dpiX * r.x())) - device.physicalOffsetX;
    const auto top = static_cast<int>(std::lround(dpiY * r.y())) - device.physicalOffsetY;
    const auto width = static_cast<int>(std::lround(dpiX * r.width()));
    const auto height = static_cast<int>(std::lround(dpiY * r.height()));
    return {left, top, width, height};
}

} // namespace Plover
