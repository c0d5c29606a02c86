#include "layout/placement_geometry.h"
#include "preview/preview_widget.h"

#include <QApplication>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

using namespace Plover;

namespace {

constexpr QRgb background = qRgb(245, 247, 250);

PrintLayout layoutOf(const QString& paperName, PageOrientation orientation = PageOrientation::Portrait,
                     int rotation = 0)
{
    PrintLayout layout;
    for (const PaperSize& paper : paperSizes()) {
        if (paper.name == paperName)
            layout.paper = paper;
    }
    layout.orientation = orientation;
    layout.rotationDegrees = rotation;
    return layout;
}

// Every pixel its own colour, so a screen pixel tells which image pixel it shows.
QImage codedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x & 0xff, y & 0xff, ((x >> 8) << 4) | (y >> 8)));
    }
    return image;
}

TargetImage targetOf(const QImage& pixels, double dpi, const QString& path = QStringLiteral("/t/a.tif"))
{
    TargetImage target;
    target.filePath = path;
    target.pixelWidth = pixels.width();
    target.pixelHeight = pixels.height();
    target.dpiX = target.dpiY = dpi;
    target.image = pixels;
    return target;
}

// The sheet and the placed image in widget pixels, worked out independently of the widget.
std::pair<QRectF, QRectF> geometryOf(QSize widget, const PrintLayout& layout, const TargetImage& image,
                                     double zoom, QPointF pan)
{
    const QSizeF s = sheetSizeInches(layout.paper, layout.orientation);
    const double fit =
        std::min((widget.width() - 96) / (s.width() * 96), (widget.height() - 96) / (s.height() * 96));
    const double k = 96 * fit * zoom;
    const QRectF sheet((widget.width() - s.width() * k) / 2 + pan.x(),
                       (widget.height() - s.height() * k) / 2 + pan.y(), s.width() * k, s.height() * k);
    const QRectF r =
        placementRect(s, rotatedSize(printSizeInches(image), layout.rotationDegrees), layout.alignment);
    return {sheet, QRectF(sheet.x() + r.x() * k, sheet.y() + r.y() * k, r.width() * k, r.height() * k)};
}

// The window around the preview; it sees every key the preview passes on.
class Host : public QWidget
{
public:
    explicit Host(const PrintLayout& layout, QSize size = {500, 500})
    {
        resize(size);
        preview = new PreviewWidget(this);
        preview->setGeometry(rect());
        preview->setPrintLayout(layout);
        show();
    }
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->key()); }

    PreviewWidget* preview;
    QList<int> keys;
};

void zoomInTimes(PreviewWidget* preview, int times)
{
    for (int i = 0; i < times; ++i)
        preview->zoomIn();
}

PrintLayout clampLayout()
{
    return layoutOf(QStringLiteral("DIN A4"), PageOrientation::Landscape);
}

bool wheel(QWidget* widget, QPointF position, int delta)
{
    QWheelEvent event(position, widget->mapToGlobal(position), {}, QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
    return event.isAccepted();
}

void mouse(QWidget* widget, QEvent::Type type, QPointF position, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(
        type, position, widget->mapToGlobal(position), type == QEvent::MouseMove ? Qt::NoButton : button,
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button), Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// Whether the drag showed the closed hand and gave the cursor back on release.
bool drag(QWidget* widget, const QList<QPointF>& moves)
{
    QPointF at(250, 250);
    mouse(widget, QEvent::MouseButtonPress, at);
    const bool hand =
        widget->testAttribute(Qt::WA_SetCursor) && widget->cursor().shape() == Qt::ClosedHandCursor;
    for (const QPointF& move : moves)
        mouse(widget, QEvent::MouseMove, at += move);
    mouse(widget, QEvent::MouseButtonRelease, at);
    return hand && !widget->testAttribute(Qt::WA_SetCursor);
}

QImage shot(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// First column from the left (or right) on row y that is not the background.
int edgeOnRow(const QImage& image, int y, bool fromLeft)
{
    for (int i = 0; i < image.width(); ++i) {
        const int x = fromLeft ? i : image.width() - 1 - i;
        if (image.pixel(x, y) != background)
            return x;
    }
    return -1;
}

int channelDistance(QRgb a, QRgb b)
{
    return std::max(
        {std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// How many columns of `band` hold a pixel within `tolerance` of `color`.
int columnsNear(const QImage& image, const QRect& band, QRgb color, int tolerance = 40)
{
    int count = 0;
    for (int x = band.left(); x <= band.right(); ++x) {
        bool found = false;
        for (int y = band.top(); y <= band.bottom() && !found; ++y)
            found = channelDistance(image.pixel(x, y), color) <= tolerance;
        count += found;
    }
    return count;
}

bool dashedAlong(const QImage& image, double left, double right, double y, QRgb pen)
{
    const QRect band(QPoint(int(left) + 3, int(y) - 1), QPoint(int(right) - 3, int(y) + 1));
    const int dark = columnsNear(image, band, pen, 70);
    return dark > band.width() / 5 && dark < band.width() * 9 / 10;
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void signalOrder_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char* name, const QString& before, const QString& next,
                            const QStringList& expected) {
            QTest::newRow(name) << before << next << expected;
        };
        const QString in19 = QStringLiteral("a") + QString(18, QLatin1Char('+'));
        const QString out8 = QStringLiteral("a") + QString(7, QLatin1Char('-'));
        row("clear a new widget", "", "0", {"zoom 100.00"});
        row("first image", "", "a", {"zoom 100.00", "enabled 1", "zoom 100.00"});
        row("same file keeps the zoom", "a++", "a", {"zoom 144.00"});
        row("other file fits again", "a+", "b", {"zoom 100.00", "zoom 100.00"});
        row("image taken away", "a+", "0", {"zoom 100.00", "enabled 0", "zoom 100.00"});
        row("no zoom without image", "", "+", {});
        row("19th in", in19, "+", {"zoom 3194.80"});
        row("20th in", in19 + "+", "+", {"zoom 3200.00"});
        row("21st in", in19 + "++", "+", {});
        row("8th out", out8, "-", {"zoom 23.26"});
        row("9th out", out8 + "-", "-", {"zoom 20.00"});
        row("10th out", out8 + "--", "-", {});
    }

    // Steps: a or b sets an image with that path, 0 clears it, + and - zoom in and out.
    void signalOrder()
    {
        QFETCH(QString, before);
        QFETCH(QString, next);
        QFETCH(QStringList, expected);
        Host host(layoutOf(QStringLiteral("DIN A4")));
        const auto apply = [&](QChar step) {
            if (step == QLatin1Char('+'))
                host.preview->zoomIn();
            else if (step == QLatin1Char('-'))
                host.preview->zoomOut();
            else if (step == QLatin1Char('0'))
                host.preview->setTargetImage(std::nullopt);
            else
                host.preview->setTargetImage(targetOf(codedImage(8, 8), 72, step));
        };
        for (QChar step : before)
            apply(step);
        QStringList seen;
        connect(host.preview, &PreviewWidget::zoomChanged, this,
                [&](double percent) { seen << QStringLiteral("zoom %1").arg(percent, 0, 'f', 2); });
        connect(host.preview, &PreviewWidget::zoomEnabledChanged, this,
                [&](bool enabled) { seen << QStringLiteral("enabled %1").arg(int(enabled)); });
        apply(next[0]);
        QCOMPARE(seen, expected);
    }

    void keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("withImage");
        QTest::addColumn<double>("percent");
        for (const bool withImage : {true, false}) {
            const QByteArray suffix = withImage ? " with image" : " without image";
            const double fromStart = withImage ? 144.0 : 100.0;
            QTest::newRow("+" + suffix) << int(Qt::Key_Plus) << withImage << (withImage ? 172.8 : 100.0);
            QTest::newRow("=" + suffix) << int(Qt::Key_Equal) << withImage << (withImage ? 172.8 : 100.0);
            QTest::newRow("-" + suffix) << int(Qt::Key_Minus) << withImage << (withImage ? 120.0 : 100.0);
            QTest::newRow("_" + suffix)
                << int(Qt::Key_Underscore) << withImage << (withImage ? 120.0 : 100.0);
            QTest::newRow("0" + suffix) << int(Qt::Key_0) << withImage << 100.0;
            QTest::newRow("A" + suffix) << int(Qt::Key_A) << withImage << fromStart;
        }
    }

    void keys()
    {
        QFETCH(int, key);
        QFETCH(bool, withImage);
        QFETCH(double, percent);
        Host host(layoutOf(QStringLiteral("DIN A4")));
        if (withImage)
            host.preview->setTargetImage(targetOf(codedImage(8, 8), 72));
        zoomInTimes(host.preview, 2);
        QTest::keyClick(host.preview, Qt::Key(key));
        QCOMPARE(std::round(host.preview->zoomPercent() * 1000) / 1000, percent);
        const bool passedOn = !withImage || key == Qt::Key_A;
        QCOMPARE(host.keys, passedOn ? QList<int>{key} : QList<int>{});
    }

    void wheelKeepsThePointUnderTheCursor_data()
    {
        QTest::addColumn<QPointF>("cursor");
        QTest::addColumn<int>("delta");
        QTest::newRow("notch in") << QPointF(120, 380) << 120;
        QTest::newRow("notch out") << QPointF(330, 140) << -120;
        QTest::newRow("three notches in") << QPointF(400, 420) << 360;
    }

    void wheelKeepsThePointUnderTheCursor()
    {
        QFETCH(QPointF, cursor);
        QFETCH(int, delta);
        Host host(layoutOf(QStringLiteral("DIN A4")));
        host.preview->setTargetImage(targetOf(codedImage(600, 600), 200));
        zoomInTimes(host.preview, 12); // sharp pixels from 8x on keep the coding readable
        const double before = host.preview->zoomPercent();
        const QRgb under = shot(host.preview).pixel(cursor.toPoint());
        QVERIFY(wheel(host.preview, cursor, delta));
        QVERIFY(std::abs(host.preview->zoomPercent() / before - std::pow(1.2409, delta / 120.0)) < 1e-3);
        const QImage after = shot(host.preview);
        QRect block;
        for (int y = int(cursor.y()) - 12; y <= cursor.y() + 12; ++y) {
            for (int x = int(cursor.x()) - 12; x <= cursor.x() + 12; ++x) {
                if (after.pixel(x, y) == under)
                    block |= QRect(x, y, 1, 1);
            }
        }
        QVERIFY2(block.adjusted(-1, -1, 1, 1).contains(cursor.toPoint()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(block.x())
                                .arg(block.y())
                                .arg(block.width())
                                .arg(block.height())));
        QVERIFY(!wheel(new PreviewWidget(&host), cursor, delta)); // without an image the wheel passes on
    }

    void panClamp_data()
    {
        QTest::addColumn<int>("zoomIns");
        QTest::addColumn<QList<QPointF>>("moves");
        QTest::addColumn<QPointF>("pan");
        // A4 landscape in 500 x 500 fills the width at fit; four steps in make it 2.0736 times larger,
        // and its edges may come at most 48 pixels inside the widget.
        const QSizeF large = geometryOf({500, 500}, clampLayout(), {}, 2.0736, {}).first.size();
        const QPointF limit((large.width() - 500) / 2 + 48, (large.height() - 500) / 2 + 48);
        QTest::newRow("fit does not move") << 0 << QList<QPointF>{{300, -300}} << QPointF(0, 0);
        QTest::newRow("1.2 moves only sideways") << 1 << QList<QPointF>{{30, -20}} << QPointF(30, 0);
        QTest::newRow("free move") << 4 << QList<QPointF>{{30, -20}} << QPointF(30, -20);
        QTest::newRow("pushed right and down") << 4 << QList<QPointF>{{2000, 2000}} << limit;
        QTest::newRow("pushed left and up") << 4 << QList<QPointF>{{-2000, -2000}} << -limit;
        QTest::newRow("back from the limit at once")
            << 4 << QList<QPointF>{{2000, 0}, {-10, 0}} << QPointF(limit.x() - 10, 0);
    }

    void panClamp()
    {
        QFETCH(int, zoomIns);
        QFETCH(QList<QPointF>, moves);
        QFETCH(QPointF, pan);
        Host host(clampLayout());
        const TargetImage image = targetOf(codedImage(8, 8), 72);
        host.preview->setTargetImage(image);
        zoomInTimes(host.preview, zoomIns);
        QCOMPARE(drag(host.preview, moves), zoomIns > 0);
        const QRectF sheet =
            geometryOf({500, 500}, clampLayout(), image, host.preview->zoomPercent() / 100, pan).first;
        const QImage picture = shot(host.preview);
        const QImage transposed = picture.transformed(QTransform(0, 1, 1, 0, 0, 0));
        // An edge beyond the widget shows as the sheet reaching the widget's border.
        const auto near = [](int found, double edge) {
            return std::abs(found - std::clamp(edge, 0.0, 499.0)) <= 1.5;
        };
        QVERIFY(near(edgeOnRow(picture, 250, true), sheet.left()));
        QVERIFY(near(edgeOnRow(picture, 250, false), sheet.right()));
        QVERIFY(near(edgeOnRow(transposed, 250, true), sheet.top()));
        QVERIFY(near(edgeOnRow(transposed, 250, false), sheet.bottom()));
    }

    void printLayoutClampsWithoutSignal()
    {
        const PrintLayout landscape = layoutOf(QStringLiteral("DIN A4"), PageOrientation::Landscape);
        Host host(layoutOf(QStringLiteral("DIN A4")), {600, 600});
        host.preview->setTargetImage(targetOf(codedImage(8, 8), 72));
        zoomInTimes(host.preview, 4);
        drag(host.preview, {{0, 2000}});
        QSignalSpy zoomSpy(host.preview, &PreviewWidget::zoomChanged);
        QSignalSpy enabledSpy(host.preview, &PreviewWidget::zoomEnabledChanged);
        host.preview->setPrintLayout(landscape);
        QCOMPARE(zoomSpy.count() + enabledSpy.count(), 0);
        // The narrower landscape sheet may be pulled down only until its top edge is 48 pixels in.
        const QImage picture = shot(host.preview).transformed(QTransform(0, 1, 1, 0, 0, 0));
        QVERIFY(std::abs(edgeOnRow(picture, 300, true) - 48) <= 1);
    }

    void zeroPaperPaintsOnlyBackground_data()
    {
        QTest::addColumn<bool>("withImage");
        QTest::newRow("empty") << false;
        QTest::newRow("with image") << true;
    }

    void zeroPaperPaintsOnlyBackground()
    {
        QFETCH(bool, withImage);
        Host host(PrintLayout{});
        if (withImage)
            host.preview->setTargetImage(targetOf(codedImage(8, 8), 72));
        host.preview->zoomIn();
        wheel(host.preview, {100, 100}, 120);
        drag(host.preview, {{40, 40}});
        QImage expected(500, 500, QImage::Format_RGB32);
        expected.fill(background);
        QCOMPARE(shot(host.preview), expected);
    }

    void emptyHint()
    {
        const PrintLayout layout = layoutOf(QStringLiteral("DIN A4"));
        Host host(layout, {720, 560});
        const QImage picture = shot(host.preview);
        const QRectF box = geometryOf({720, 560}, layout, {}, 1, {}).first.adjusted(44, 44, -44, -44);
        const QPoint c = box.center().toPoint();
        QCOMPARE(picture.pixel(2, 2), background);
        QCOMPARE(picture.pixel(box.left() - 20, box.top() - 20), qRgb(255, 255, 255));
        QCOMPARE(picture.pixel(box.left() + 10, c.y()), qRgb(247, 250, 252));
        QVERIFY(channelDistance(picture.pixel(c.x(), c.y() + 34), qRgb(48, 61, 76)) < 30); // tray
        QVERIFY(channelDistance(picture.pixel(c.x(), c.y() - 20), qRgb(48, 61, 76)) < 30); // arrow
        QVERIFY(dashedAlong(picture, box.left() + 8, box.right() - 8, box.top(), qRgb(82, 99, 118)));
        const auto textBand = [&](int top) {
            return QRect(QPoint(box.left() + 20, box.top() + top), QSize(box.width() - 40, 14));
        };
        QVERIFY(columnsNear(picture, textBand(112), qRgb(35, 45, 58), 20) > 40);
        QVERIFY(columnsNear(picture, textBand(144), qRgb(93, 107, 124), 20) > 20);
    }

    void placedImage_data()
    {
        QTest::addColumn<QSizeF>("inches");
        QTest::addColumn<int>("rotation");
        QTest::newRow("on the sheet") << QSizeF(4, 3) << 0;
        QTest::newRow("wider than the sheet") << QSizeF(12, 5) << 0;
        QTest::newRow("turned wider than the sheet") << QSizeF(5, 12) << 90;
    }

    // The image shows only on the sheet; its dashed outline runs to its full size.
    void placedImage()
    {
        QFETCH(QSizeF, inches);
        QFETCH(int, rotation);
        const PrintLayout layout = layoutOf(QStringLiteral("DIN A4"), PageOrientation::Portrait, rotation);
        Host host(layout);
        QImage pixels(int(inches.width() * 10), int(inches.height() * 10), QImage::Format_RGB32);
        pixels.fill(qRgb(220, 40, 40));
        const TargetImage image = targetOf(pixels, 10);
        host.preview->setTargetImage(image);
        const auto [sheet, target] = geometryOf({500, 500}, layout, image, 1, {});
        const QImage picture = shot(host.preview);
        QCOMPARE(picture.pixel((target & sheet).center().toPoint()), qRgb(220, 40, 40));
        QCOMPARE(picture.pixel(sheet.center().x(), (sheet.top() + target.top()) / 2), qRgb(255, 255, 255));
        if (target.left() < sheet.left() - 6)
            QCOMPARE(picture.pixel(target.left() + 3, target.center().y()), background);
        QVERIFY(dashedAlong(picture, target.left(), target.right(), target.top(), qRgb(66, 84, 102)));
    }

    void turnedLikeTheTurnedCopy_data()
    {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("zoomIns");
        QTest::addColumn<int>("wheelDelta"); // about the centre; 6 steps and 547 or 548 straddle 8.0
        QTest::addColumn<QPointF>("pan");
        QTest::newRow("90 at fit, scaled down") << 90 << 60.0 << 0 << 0 << QPointF();
        QTest::newRow("90 cut by the sheet") << 90 << 10.0 << 2 << 0 << QPointF(0, 0);
        QTest::newRow("90 smooth, panned") << 90 << 10.0 << 7 << 0 << QPointF(150, -100);
        QTest::newRow("90 at 7.986, smooth") << 90 << 10.0 << 6 << 547 << QPointF(-40, 70);
        QTest::newRow("90 at 8.00001, sharp") << 90 << 10.0 << 6 << 548 << QPointF(-40, 70);
        QTest::newRow("90 sharp, panned") << 90 << 10.0 << 12 << 0 << QPointF(-200, 120);
        QTest::newRow("270 sharp at 32") << 270 << 60.0 << 20 << 0 << QPointF(300, 300);
        QTest::newRow("180 sharp") << 180 << 10.0 << 13 << 0 << QPointF(-100, -260);
        QTest::newRow("0 smooth, panned") << 0 << 10.0 << 8 << 0 << QPointF(200, 30);
        QTest::newRow("0 at 7.999, smooth") << 0 << 10.0 << 19 << -770 << QPointF(10, 10);
    }

    // The widget turns the original with the painter; the picture must be the turned copy's.
    void turnedLikeTheTurnedCopy()
    {
        QFETCH(int, rotation);
        QFETCH(double, dpi);
        QFETCH(int, zoomIns);
        QFETCH(int, wheelDelta);
        QFETCH(QPointF, pan);
        const PrintLayout layout = layoutOf(QStringLiteral("DIN A4"), PageOrientation::Landscape, rotation);
        Host host(layout);
        QImage pixels(100, 60, QImage::Format_RGB32);
        quint32 seed = 7;
        for (int y = 0; y < pixels.height(); ++y) {
            for (int x = 0; x < pixels.width(); ++x)
                pixels.setPixel(x, y, 0xff000000u | ((seed = seed * 1664525u + 1013904223u) >> 8));
        }
        const TargetImage image = targetOf(pixels, dpi);
        host.preview->setTargetImage(image);
        zoomInTimes(host.preview, zoomIns);
        wheel(host.preview, {249, 249}, wheelDelta);
        drag(host.preview, {pan});
        const double zoom = host.preview->zoomPercent() / 100;
        const auto [sheet, target] = geometryOf({500, 500}, layout, image, zoom, pan);
        const QImage turned = rotatedImage(pixels, rotation);

        QImage reference(500, 500, QImage::Format_ARGB32_Premultiplied);
        reference.fill(background);
        QPainter painter(&reference);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom < 8);
        painter.setClipRect(sheet);
        painter.drawImage(target, turned);
        painter.end();
        reference = reference.convertToFormat(QImage::Format_RGB32);

        const QImage picture = shot(host.preview);
        const QRect compared =
            (target & sheet & QRectF(0, 0, 500, 500)).toAlignedRect().adjusted(2, 2, -2, -2);
        QVERIFY(!compared.isEmpty());
        int worst = 0;
        for (int y = compared.top(); y <= compared.bottom(); ++y) {
            for (int x = compared.left(); x <= compared.right(); ++x) {
                const double u = (x + 0.5 - target.left()) / target.width() * turned.width();
                const double v = (y + 0.5 - target.top()) / target.height() * turned.height();
                const double ux = u - std::floor(u), vy = v - std::floor(v);
                const bool centre = std::abs(ux - 0.5) < 0.2 && std::abs(vy - 0.5) < 0.2;
                if (zoom < 8 || centre)
                    worst = std::max(worst, channelDistance(picture.pixel(x, y), reference.pixel(x, y)));
            }
        }
        QVERIFY2(worst <= (zoom < 8 ? 4 : 0), qPrintable(QString::number(worst)));
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
