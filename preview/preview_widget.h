#pragma once

#include "imaging/target_image.h"
#include "layout/print_layout.h"
#include "preview/image_pyramid.h"

#include <QPointF>
#include <QRectF>
#include <QWidget>
#include <memory>
#include <optional>
#include <vector>

namespace Plover {

// Draws the chosen sheet with the target placed on it exactly as it will print,
// with zoom relative to the fit and drag panning.
class PreviewWidget : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewWidget(QWidget* parent = nullptr);
    ~PreviewWidget() override;

    void setPrintLayout(PrintLayout layout);
    void setTargetImage(std::optional<TargetImage> image);
    double zoomPercent() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public Q_SLOTS:
    void zoomIn();
    void zoomOut();
    void resetZoomToFit();

Q_SIGNALS:
    void zoomChanged(double percent);
    void zoomEnabledChanged(bool enabled);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    double fitScale() const;
    QRectF sheetRect() const;
    void clampPan();
    void setZoom(double factor, QPointF anchor);
    void emitZoomEnabledIfDue();
    void buildLevelsIfDue();

    PrintLayout layout;
    std::optional<TargetImage> image;
    double zoom = 1.0;
    QPointF pan;
    QPointF lastDragPosition;
    bool dragging = false;
    bool zoomEnabled = false;

    // The image's levels of detail, built on Qt's global thread pool after each new image; empty until
    // they are ready. `levelsKey` is the QImage::cacheKey of the image they are, or are being, built for.
    class LevelBuild;
    std::vector<PyramidLevel> levels;
    qint64 levelsKey = 0;
    std::unique_ptr<LevelBuild> levelBuild;
};

} // namespace Plover
