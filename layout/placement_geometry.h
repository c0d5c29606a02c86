#pragma once

#include "imaging/target_image.h"
#include "layout/print_layout.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QRectF>
#include <QSizeF>

namespace Plover {

// A sheet holds an image whose sides exceed its own by at most this much (inches).
inline constexpr double fitToleranceInches = 0.0001;

// What a printer's device context reports about its page, in device pixels and dots per inch.
struct DevicePageMetrics
{
    int logPixelsX = 0;
    int logPixelsY = 0;
    int physicalWidth = 0;
    int physicalHeight = 0;
    int physicalOffsetX = 0;
    int physicalOffsetY = 0;
};

QSizeF printSizeInches(const TargetImage& image);
QSizeF printSizeMm(const TargetImage& image);
QSizeF sheetSizeInches(const PaperSize& paper, PageOrientation orientation);
QSizeF sheetSizeMm(const PaperSize& paper, PageOrientation orientation);

int normalizedDegrees(int degrees);
QSizeF rotatedSize(QSizeF size, int degrees);
QImage rotatedImage(const QImage& image, int degrees);

QRectF placementRect(QSizeF sheet, QSizeF image, PrintAlignment alignment);
bool fitsOnSheet(QSizeF sheet, QSizeF image);
PageOrientation orientationForSize(QSizeF printSize);
PaperSize paperForPrintSize(QSizeF printSizeInches, PageOrientation orientation);
// The smallest size that holds each of `sizes` unturned: a sheet holds all of them exactly when it
// holds this, so the orientation and paper chosen for it suit every page of a set.
QSizeF sizeHoldingAll(const QList<QSizeF>& sizes);

// The destination of the whole image in printable-area pixels; never scaled to the page.
QRect devicePlacementRect(const DevicePageMetrics& device, const TargetImage& image,
                          const PrintLayout& layout);

} // namespace Plover
