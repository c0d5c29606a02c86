#include "main_window.h"

#include <QPainter>
#include <QPixmap>

namespace Plover {

QIcon MainWindow::fitToScreenIcon()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);

    painter.setPen(QPen(QColor(35, 48, 64), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawEllipse(QRectF(11, 10, 20, 20));
    painter.drawLine(QPointF(28, 28), QPointF(38, 38));

    painter.setPen(QPen(QColor(21, 90, 218), 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawLine(QPointF(16, 20), QPointF(26, 20));
    painter.drawLine(QPointF(21, 15), QPointF(21, 25));
    painter.end();
    return QIcon(pixmap);
}

QIcon MainWindow::alignmentIcon(PrintAlignment alignment)
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF sheet(10, 8, 28, 32);
    painter.setPen(QPen(QColor(81, 94, 110), 2.0));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(sheet, 3.0, 3.0, Qt::AbsoluteSize);

    // The dot marks where the image sits: on the outline for sides and corners.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(21, 90, 218));
    const QPointF centre(sheet.left() + sheet.width() * alignmentHorizontalFactor(alignment),
                         sheet.top() + sheet.height() * alignmentVerticalFactor(alignment));
    painter.drawEllipse(centre, 4.5, 4.5);
    painter.end();
    return QIcon(pixmap);
}

} // namespace Plover
