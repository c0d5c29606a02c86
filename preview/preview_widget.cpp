#include "preview_widget.h"

namespace Plover {

PreviewWidget::PreviewWidget(QWidget* parent) : QWidget(parent) {}
PreviewWidget::~PreviewWidget() = default;
void PreviewWidget::setPrintLayout(PrintLayout newLayout) { layout = std::move(newLayout); }
void PreviewWidget::setTargetImage(std::optional<TargetImage> newImage) { image = std::move(newImage); }
double PreviewWidget::zoomPercent() const { return zoom * 100.0; }
QSize PreviewWidget::sizeHint() const { return {720, 560}; }
QSize PreviewWidget::minimumSizeHint() const { return {360, 360}; }
void PreviewWidget::zoomIn() {}
void PreviewWidget::zoomOut() {}
void PreviewWidget::resetZoomToFit() {}
void PreviewWidget::mousePressEvent(QMouseEvent* event) { QWidget::mousePressEvent(event); }
void PreviewWidget::mouseReleaseEvent(QMouseEvent* event) { QWidget::mouseReleaseEvent(event); }
void PreviewWidget::mouseMoveEvent(QMouseEvent* event) { QWidget::mouseMoveEvent(event); }
void PreviewWidget::wheelEvent(QWheelEvent* event) { QWidget::wheelEvent(event); }
void PreviewWidget::keyPressEvent(QKeyEvent* event) { QWidget::keyPressEvent(event); }
void PreviewWidget::paintEvent(QPaintEvent*) {}

} // namespace Plover
