#include "preview/preview_widget.h"

#include "layout/placement_geometry.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QThreadPool>
#include <QTransform>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace Plover {

namespace {

constexpr double pixelsPerInch = 96.0;
constexpr int sheetMargin = 48;
constexpr double minZoom = 0.2;
constexpr double maxZoom = 32.0;
constexpr double zoomStep = 1.2;
constexpr double wheelBase = 1.0018;
constexpr double zoomThreshold = 0.0001;
constexpr double sharpZoom = 8.0;
constexpr double dragZoom = 1.0;
constexpr double panSlack = 48.0;

QPen makePen(const QColor& color, double width, Qt::PenStyle style = Qt::SolidLine,
             Qt::PenCapStyle cap = Qt::SquareCap, Qt::PenJoinStyle join = Qt::BevelJoin)
{
    return QPen(QBrush(color), width, style, cap, join);
}

void drawEmptyHint(QPainter& painter, const QRectF& sheet)
{
    const QRectF box = sheet.adjusted(44, 44, -44, -44);
    painter.setPen(makePen(QColor(82, 99, 118), 2.0, Qt::DashLine));
    painter.setBrush(QColor(247, 250, 252));
    painter.drawRoundedRect(box, 8, 8, Qt::AbsoluteSize);

    const QPointF c = box.center();
    QPainterPath tray;
    tray.moveTo(c.x() - 34, c.y() + 16);
    tray.lineTo(c.x() - 34, c.y() + 34);
    tray.lineTo(c.x() + 34, c.y() + 34);
    tray.lineTo(c.x() + 34, c.y() + 16);
    painter.setPen(makePen(QColor(48, 61, 76), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tray);
    const QPointF tip(c.x(), c.y() + 12);
    painter.drawLine(QPointF(c.x(), c.y() - 36), tip);
    painter.drawLine(QPointF(c.x() - 16, c.y() - 4), tip);
    painter.drawLine(QPointF(c.x() + 16, c.y() - 4), tip);

    const int alignment = Qt::AlignHCenter | Qt::AlignTop;
    QFont title = painter.font();
    title.setPointSizeF(title.pointSizeF() + 2);
    title.setWeight(QFont::Bold);
    painter.setFont(title);
    painter.setPen(QColor(35, 45, 58));
    painter.drawText(box.adjusted(20, 112, -20, -80), alignment,
                     QCoreApplication::translate("Plover::PreviewWidget", "Drag and drop a target image"));

    QFont detail = painter.font();
    detail.setPointSizeF(std::max(10.0, detail.pointSizeF() - 2));
    detail.setWeight(QFont::Normal);
    painter.setFont(detail);
    painter.setPen(QColor(93, 107, 124));
    painter.drawText(box.adjusted(20, 144, -20, -48), alignment,
                     QCoreApplication::translate("Plover::PreviewWidget", "TIFF, JPEG, or PNG"));
}

// Shows what drawing rotatedImage(image, degrees) stretched into `target` shows, without building
// the turned copy (hundreds of megabytes for a large target, on every paint): the painter turns the
// original instead. Only the source pixels that can land inside `visible` are handed to the painter,
// widened so that smoothing and edge antialiasing of the part never reach the visible area.
// When the image shows smaller than it is, the fitting one of `levels` stands in for it, so that the
// painter's smoothing, which looks at only a few pixels around each point, never skips over detail.
void drawTurnedImage(QPainter& painter, const QImage& image, const std::vector<PyramidLevel>& levels,
                     int degrees, const QRectF& target, const QRectF& visible)
{
    // The window turns an image by quarter turns only.
    const int turn = normalizedDegrees(degrees);
    const QSizeF turnedSize = rotatedSize(QSizeF(image.size()), turn);
    if (image.isNull() || target.isEmpty() || visible.isEmpty())
        return;
    const double scaleX = target.width() / turnedSize.width();
    const double scaleY = target.height() / turnedSize.height();
    const PyramidLevel* level =
        levelForScale(levels, std::max(scaleX, scaleY) * painter.device()->devicePixelRatioF());
    const QImage& source = level ? level->image : image;
    const double shrink = level ? level->shrink : 1.0;

    // A level pixel covers `shrink` image pixels from the image's top left on; that the level leaves
    // out the last few rows and columns shows at most as a sliver of one device pixel.
    const QTransform toWidget = QTransform::fromScale(shrink, shrink) *
                                QImage::trueMatrix(QTransform().rotate(turn), image.width(), image.height()) *
                                QTransform::fromScale(scaleX, scaleY) *
                                QTransform::fromTranslate(target.left(), target.top());

    const double margin = 2.0 + 2.0 / (std::min(scaleX, scaleY) * shrink);
    const QRect part =
        toWidget.inverted().mapRect(visible).adjusted(-margin, -margin, margin, margin).toAlignedRect() &
        source.rect();
    if (part.isEmpty())
        return;
    painter.setTransform(toWidget, true);
    painter.drawImage(QRectF(part), source, QRectF(part));
}

} // namespace

// One build of levels on Qt's global thread pool. Destroying it stops the build and waits for it, so
// that a build never outlives the widget it reports to; that is quick, as the build looks at
// `cancelled` after every row it makes.
class PreviewWidget::LevelBuild
{
public:
    explicit LevelBuild(std::function<void(const std::atomic<bool>& cancelled)> work)
    {
        QThreadPool::globalInstance()->start([state = state, work = std::move(work)] {
            work(state->cancelled);
            const std::lock_guard<std::mutex> lock(state->mutex);
            state->finished = true;
            state->finishedChanged.notify_all();
        });
    }

    ~LevelBuild()
    {
        state->cancelled = true;
        std::unique_lock<std::mutex> lock(state->mutex);
        state->finishedChanged.wait(lock, [this] { return state->finished; });
    }

private:
    // Shared, so that the task can still let go of the mutex after the destructor has seen it finish.
    struct State
    {
        std::atomic<bool> cancelled{false};
        std::mutex mutex;
        std::condition_variable finishedChanged;
        bool finished = false;
    };
    std::shared_ptr<State> state = std::make_shared<State>();
};

PreviewWidget::PreviewWidget(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_MouseTracking);
}

PreviewWidget::~PreviewWidget() = default;

void PreviewWidget::setPrintLayout(PrintLayout newLayout)
{
    layout = std::move(newLayout);
    clampPan();
    updateGeometry();
    update();
}

void PreviewWidget::setTargetImage(std::optional<TargetImage> newImage)
{
    const QString oldPath = image ? image->filePath : QString();
    const QString newPath = newImage ? newImage->filePath : QString();
    image = std::move(newImage);
    buildLevelsIfDue();
    if (oldPath != newPath)
        resetZoomToFit();
    updateGeometry();
    update();
    Q_EMIT zoomChanged(zoom * 100.0);
    emitZoomEnabledIfDue();
}

double PreviewWidget::zoomPercent() const
{
    return zoom * 100.0;
}

QSize PreviewWidget::sizeHint() const
{
    return {720, 560};
}

QSize PreviewWidget::minimumSizeHint() const
{
    return {360, 360};
}

void PreviewWidget::zoomIn()
{
    setZoom(zoom * zoomStep, QPointF(rect().center()));
}

void PreviewWidget::zoomOut()
{
    setZoom(zoom / zoomStep, QPointF(rect().center()));
}

void PreviewWidget::resetZoomToFit()
{
    zoom = 1.0;
    pan = QPointF(0, 0);
    clampPan();
    update();
    Q_EMIT zoomChanged(100.0);
    emitZoomEnabledIfDue();
}

double PreviewWidget::fitScale() const
{
    const QSizeF sheet = sheetSizeInches(layout.paper, layout.orientation);
    // A paper without area (the layout before the window hands one over) has no scale.
    if (!(sheet.width() > 0.0 && sheet.height() > 0.0))
        return 0.0;
    const int availableWidth = std::max(width() - 2 * sheetMargin, 1);
    const int availableHeight = std::max(height() - 2 * sheetMargin, 1);
    return std::min(availableHeight / (sheet.height() * pixelsPerInch),
                    availableWidth / (sheet.width() * pixelsPerInch));
}

QRectF PreviewWidget::sheetRect() const
{
    const QSizeF sheet = sheetSizeInches(layout.paper, layout.orientation);
    const double k = fitScale() * zoom;
    const double sheetWidth = sheet.width() * pixelsPerInch * k;
    const double sheetHeight = sheet.height() * pixelsPerInch * k;
    return {(width() - sheetWidth) * 0.5 + pan.x(), (height() - sheetHeight) * 0.5 + pan.y(), sheetWidth,
            sheetHeight};
}

void PreviewWidget::clampPan()
{
    const QRectF sheet = sheetRect();
    const double mx = std::max(0.0, (sheet.width() - width()) * 0.5 + panSlack);
    const double my = std::max(0.0, (sheet.height() - height()) * 0.5 + panSlack);
    pan.setX(std::clamp(pan.x(), -mx, mx));
    pan.setY(std::clamp(pan.y(), -my, my));
}

void PreviewWidget::setZoom(double factor, QPointF anchor)
{
    if (!image)
        return;
    const double newZoom = std::clamp(factor, minZoom, maxZoom);
    if (std::abs(zoom - newZoom) < zoomThreshold)
        return;
    if (anchor.x() != 0.0 || anchor.y() != 0.0) {
        // Keep the sheet point under the anchor where it is.
        const QPoint c = rect().center();
        const double ratio = newZoom / zoom;
        pan.setX(anchor.x() - c.x() - (anchor.x() - pan.x() - c.x()) * ratio);
        pan.setY(anchor.y() - c.y() - (anchor.y() - pan.y() - c.y()) * ratio);
    }
    zoom = newZoom;
    clampPan();
    update();
    Q_EMIT zoomChanged(zoom * 100.0);
    emitZoomEnabledIfDue();
}

void PreviewWidget::emitZoomEnabledIfDue()
{
    const bool enabled = image.has_value();
    if (enabled == zoomEnabled)
        return;
    zoomEnabled = enabled;
    Q_EMIT zoomEnabledChanged(enabled);
}

void PreviewWidget::buildLevelsIfDue()
{
    // The window hands over the same pixels after every layout change; only new ones need levels.
    const qint64 key = image && !image->image.isNull() ? image->image.cacheKey() : 0;
    if (key == levelsKey)
        return;
    levelsKey = key;
    levels.clear();
    levelBuild.reset();
    if (key == 0)
        return;
    levelBuild =
        std::make_unique<LevelBuild>([this, source = image->image, key](const std::atomic<bool>& cancelled) {
            const std::vector<PyramidLevel> built = imagePyramid(source, cancelled);
            if (cancelled)
                return;
            // Delivered through the event loop; an image that came meanwhile has made these stale.
            QMetaObject::invokeMethod(
                this,
                [this, built, key] {
                    if (key != levelsKey)
                        return;
                    levels = built;
                    update();
                },
                Qt::QueuedConnection);
        });
}

void PreviewWidget::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::OtherFocusReason);
    if (!image || zoom <= dragZoom || event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging = true;
    lastDragPosition = event->position();
    setCursor(Qt::ClosedHandCursor);
    event->accept();
}

void PreviewWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (!dragging || event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    dragging = false;
    unsetCursor();
    event->accept();
}

void PreviewWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging || !image) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    pan += event->position() - lastDragPosition;
    lastDragPosition = event->position();
    clampPan();
    update();
    event->accept();
}

void PreviewWidget::wheelEvent(QWheelEvent* event)
{
    if (!image) {
        QWidget::wheelEvent(event);
        return;
    }
    setZoom(zoom * std::pow(wheelBase, event->angleDelta().y()), event->position());
    event->accept();
}

void PreviewWidget::keyPressEvent(QKeyEvent* event)
{
    if (!image) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomIn();
        break;
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        zoomOut();
        break;
    case Qt::Key_0:
        resetZoomToFit();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PreviewWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(245, 247, 250));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    const QRectF sheet = sheetRect();
    if (sheet.isEmpty())
        return;
    painter.setPen(makePen(QColor(150, 158, 171), 1.0));
    painter.setBrush(Qt::white);
    painter.drawRect(sheet);

    if (!image) {
        drawEmptyHint(painter, sheet);
        return;
    }

    const QRectF placed =
        placementRect(sheetSizeInches(layout.paper, layout.orientation),
                      rotatedSize(printSizeInches(*image), layout.rotationDegrees), layout.alignment);
    const double scale = pixelsPerInch * fitScale() * zoom;
    const QRectF target(sheet.left() + placed.x() * scale, sheet.top() + placed.y() * scale,
                        placed.width() * scale, placed.height() * scale);

    painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom < sharpZoom);
    painter.save();
    painter.setClipRect(sheet, Qt::ReplaceClip);
    const std::vector<PyramidLevel> none;
    drawTurnedImage(painter, image->image, zoom < sharpZoom ? levels : none, layout.rotationDegrees, target,
                    sheet & QRectF(event->rect()));
    painter.restore();

    painter.setPen(makePen(QColor(66, 84, 102), 1.0, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(target);
}

} // namespace Plover
