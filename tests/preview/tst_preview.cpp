#include "layout/placement_geometry.h"
#include "preview/preview_widget.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <cmath>
#include <memory>
#include <utility>

using namespace Plover;

namespace {

constexpr QRgb background = qRgb(245, 247, 250);
using Moves = QList<QPoint>;

PrintLayout a4(PageOrientation orientation = PageOrientation::Portrait, int rotation = 0)
{
    return {paperSizes().front(), orientation, PrintAlignment::Center, rotation};
}

// Random colours: a screen pixel tells which image pixel it shows, and a misplaced one stands out.
TargetImage noiseTarget(int width, int height, double dpi, const QString& path = QStringLiteral("/t/a.tif"))
{
    TargetImage target;
    target.filePath = path;
    target.pixelWidth = width;
    target.pixelHeight = height;
    target.dpiX = target.dpiY = dpi;
    target.image = QImage(width, height, QImage::Format_RGB32);
    quint32 seed = 7;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            target.image.setPixel(x, y, 0xff000000u | ((seed = seed * 1664525u + 1013904223u) >> 8));
    }
    return target;
}

std::unique_ptr<PreviewWidget> previewOn(const PrintLayout& layout)
{
    auto preview = std::make_unique<PreviewWidget>();
    preview->resize(500, 500);
    preview->setPrintLayout(layout);
    preview->show();
    return preview;
}

// Positive steps zoom in, negative ones out.
void zoomBy(PreviewWidget& preview, int steps)
{
    for (int i = 0; i < std::abs(steps); ++i)
        steps > 0 ? preview.zoomIn() : preview.zoomOut();
}

QImage shot(QWidget& widget)
{
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The sheet and the placed image in the 500 x 500 widget, worked out independently of the widget.
std::pair<QRectF, QRectF> geometryOf(const PrintLayout& layout, const TargetImage& image, double zoom,
                                     QPointF pan)
{
    const QSizeF s = sheetSizeInches(layout.paper, layout.orientation);
    const double k = std::min(404 / s.width(), 404 / s.height()) * zoom; // pixels per inch
    const QRectF sheet(QPointF(250 - s.width() * k / 2, 250 - s.height() * k / 2) + pan, s * k);
    const QRectF r =
        placementRect(s, rotatedSize(printSizeInches(image), layout.rotationDegrees), layout.alignment);
    return {sheet, QRectF(sheet.topLeft() + r.topLeft() * k, r.size() * k)};
}

// Whether the widget took the event rather than leaving it to its parent.
bool accepted(QWidget& widget, QEvent&& event)
{
    QApplication::sendEvent(&widget, &event);
    return event.isAccepted();
}

bool wheel(QWidget& widget, QPointF at, int delta)
{
    return accepted(widget, QWheelEvent(at, widget.mapToGlobal(at), {}, {0, delta}, Qt::NoButton,
                                        Qt::NoModifier, Qt::NoScrollPhase, false));
}

// Drags from the middle through the moves; whether the closed hand showed and the arrow came back.
bool drag(QWidget& widget, const Moves& moves)
{
    QPointF at(250, 250);
    const auto send = [&](QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons) {
        accepted(widget, QMouseEvent(type, at, widget.mapToGlobal(at), button, buttons, Qt::NoModifier));
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton);
    const bool hand = widget.cursor().shape() == Qt::ClosedHandCursor;
    for (const QPoint& move : moves) {
        at += move;
        send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton);
    }
    send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton);
    return hand && widget.cursor().shape() == Qt::ArrowCursor;
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The window's zoom label and actions follow these signals in the order they come.
    void zoomSignalsAndKeys()
    {
        const auto preview = previewOn(a4());
        QStringList seen;
        connect(preview.get(), &PreviewWidget::zoomChanged, this,
                [&](double percent) { seen << QStringLiteral("zoom %1").arg(percent, 0, 'f', 2); });
        connect(preview.get(), &PreviewWidget::zoomEnabledChanged, this,
                [&](bool enabled) { seen << QStringLiteral("enabled %1").arg(int(enabled)); });
        const auto key = [&](int key) {
            return accepted(*preview, QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
        };
        const TargetImage a = noiseTarget(8, 8, 72);

        preview->setTargetImage(std::nullopt);
        preview->zoomIn(); // nothing to zoom yet, and the zoom keys go on to the window
        for (const int code : {Qt::Key_Plus, Qt::Key_Equal, Qt::Key_Minus, Qt::Key_Underscore, Qt::Key_0})
            QVERIFY(!key(code));
        QCOMPARE(std::exchange(seen, {}), QStringList{"zoom 100.00"});
        preview->setTargetImage(a);
        QCOMPARE(std::exchange(seen, {}), (QStringList{"zoom 100.00", "enabled 1", "zoom 100.00"}));
        QVERIFY(key(Qt::Key_Plus) && key(Qt::Key_Equal) && !key(Qt::Key_A));
        QCOMPARE(std::exchange(seen, {}), (QStringList{"zoom 120.00", "zoom 144.00"}));
        preview->setTargetImage(a); // the same file again keeps its zoom
        preview->setPrintLayout(a4(PageOrientation::Landscape));
        QCOMPARE(std::exchange(seen, {}), QStringList{"zoom 144.00"});
        preview->setTargetImage(noiseTarget(8, 8, 72, QStringLiteral("/t/b.tif")));
        QCOMPARE(std::exchange(seen, {}), (QStringList{"zoom 100.00", "zoom 100.00"}));
        zoomBy(*preview, 18);
        seen.clear();
        zoomBy(*preview, 3); // the 19th, the 20th and one beyond the largest zoom
        QCOMPARE(std::exchange(seen, {}), (QStringList{"zoom 3194.80", "zoom 3200.00"}));
        QVERIFY(key(Qt::Key_0) && key(Qt::Key_Minus) && key(Qt::Key_Underscore));
        QCOMPARE(std::exchange(seen, {}), (QStringList{"zoom 100.00", "zoom 83.33", "zoom 69.44"}));
        zoomBy(*preview, -5);
        seen.clear();
        zoomBy(*preview, -3); // the 8th, the 9th and one below the smallest zoom
        QCOMPARE(std::exchange(seen, {}), (QStringList{"zoom 23.26", "zoom 20.00"}));
        preview->setTargetImage(std::nullopt);
        QCOMPARE(std::exchange(seen, {}), (QStringList{"zoom 100.00", "enabled 0", "zoom 100.00"}));
    }

    void wheelKeepsThePointUnderTheCursor()
    {
        const auto preview = previewOn(a4());
        QVERIFY(!wheel(*preview, {250, 250}, 120)); // without an image the scroll area may scroll
        preview->setTargetImage(noiseTarget(600, 600, 200));
        zoomBy(*preview, 13); // sharp from 8x on, so every colour stays exact
        const std::pair<QPoint, int> turns[] = {{{120, 380}, 120}, {{330, 140}, -120}, {{400, 420}, 360}};
        for (const auto& [cursor, delta] : turns) {
            const double before = preview->zoomPercent();
            const QRgb under = shot(*preview).pixel(cursor);
            QVERIFY(wheel(*preview, cursor, delta));
            QVERIFY(std::abs(preview->zoomPercent() / before - std::pow(1.2409, delta / 120.0)) < 1e-3);
            const QImage after = shot(*preview);
            int found = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx)
                    found += after.pixel(cursor + QPoint(dx, dy)) == under;
            }
            QVERIFY(found > 0);
        }
    }

    void painting_data()
    {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<int>("wheelDelta"); // about the centre, to straddle 8.0 closely
        QTest::addColumn<Moves>("moves");
        QTest::addColumn<QPointF>("pan");
        QTest::addColumn<bool>("fromPortrait"); // dragged on the portrait sheet, then turned landscape
        const auto row = [](const char* name, int rotation, double dpi, int steps, int delta,
                            const Moves& moves, QPointF pan, bool fromPortrait = false) {
            QTest::newRow(name) << rotation << dpi << steps << delta << moves << pan << fromPortrait;
        };
        // How far the landscape sheet four steps in may be pulled: until its edge is 48 pixels inside.
        const QSizeF large =
            geometryOf(a4(PageOrientation::Landscape), {}, std::pow(1.2, 4), {}).first.size();
        const QPointF limit((large.width() - 500) / 2 + 48, (large.height() - 500) / 2 + 48);
        row("90 at fit, smaller, no drag", 90, 60, 0, 0, {{300, -300}}, {});
        row("90 at fit, beyond the sheet", 90, 8, 0, 0, {}, {});
        row("90 smooth, panned", 90, 10, 7, 0, {{150, -100}}, {150, -100});
        row("90 at 7.999, smooth", 90, 10, 19, -770, {{-40, 70}}, {-40, 70});
        row("90 at 8.00001, sharp", 90, 10, 6, 548, {{-40, 70}}, {-40, 70});
        row("270 sharp at 32", 270, 60, 20, 0, {{300, 300}}, {300, 300});
        row("1.2 pans only sideways", 0, 10, 1, 0, {{30, -20}}, {30, 0});
        row("pushed right and down", 0, 10, 4, 0, {{2000, 2000}}, limit);
        row("pushed left and up", 0, 10, 4, 0, {{-2000, -2000}}, -limit);
        row("back from the limit at once", 0, 10, 4, 0, {{2000, 0}, {-10, 0}}, {limit.x() - 10, 0});
        row("a new layout clamps at once", 0, 10, 4, 0, {{0, 2000}}, {0, limit.y()}, true);
    }

    // The widget turns the original with the painter; the picture must be the turned copy's, placed,
    // panned and cut by the sheet as worked out here.
    void painting()
    {
        QFETCH(int, rotation);
        QFETCH(double, dpi);
        QFETCH(int, zoomSteps);
        QFETCH(int, wheelDelta);
        QFETCH(Moves, moves);
        QFETCH(QPointF, pan);
        QFETCH(bool, fromPortrait);
        const PrintLayout layout = a4(PageOrientation::Landscape, rotation);
        const auto preview = previewOn(fromPortrait ? a4(PageOrientation::Portrait, rotation) : layout);
        const TargetImage image = noiseTarget(100, 60, dpi);
        preview->setTargetImage(image);
        zoomBy(*preview, zoomSteps);
        wheel(*preview, {249, 249}, wheelDelta);
        const double zoom = preview->zoomPercent() / 100;
        QCOMPARE(drag(*preview, moves), zoom > 1);
        preview->setPrintLayout(layout);
        const auto [sheet, target] = geometryOf(layout, image, zoom, pan);
        const QImage turned = rotatedImage(image.image, rotation);

        QImage reference(500, 500, QImage::Format_RGB32); // only its inside is compared
        QPainter painter(&reference);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom < 8);
        painter.drawImage(target, turned);
        painter.end();

        const QImage picture = shot(*preview);
        const QRect compared =
            (target & sheet & QRectF(0, 0, 500, 500)).toAlignedRect().adjusted(2, 2, -2, -2);
        QVERIFY(!compared.isEmpty());
        int worst = 0;
        for (int y = compared.top(); y <= compared.bottom(); ++y) {
            for (int x = compared.left(); x <= compared.right(); ++x) {
                // Sharp blocks are compared near their centres, where rounding cannot move an edge.
                const double u = (x + 0.5 - target.left()) / target.width() * turned.width();
                const double v = (y + 0.5 - target.top()) / target.height() * turned.height();
                if (zoom >= 8 &&
                    std::max(std::abs(u - std::floor(u) - 0.5), std::abs(v - std::floor(v) - 0.5)) > 0.2)
                    continue;
                const QRgb p = picture.pixel(x, y), q = reference.pixel(x, y);
                worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                  std::abs(qBlue(p) - qBlue(q))});
            }
        }
        QVERIFY2(worst <= (zoom < 8 ? 4 : 0), qPrintable(QString::number(worst)));

        // Where the image overhangs the sheet's top, the overhang stays bare but for the dashed outline.
        if (target.top() > 2 && target.top() < sheet.top() - 6) {
            QCOMPARE(picture.pixel(int(target.left()) - 4, int(sheet.center().y())), qRgb(255, 255, 255));
            QCOMPARE(picture.pixel(int(target.center().x()), int(sheet.top()) - 3), background);
            const int y = int(target.top()), left = int(target.left()) + 3, right = int(target.right()) - 3;
            int dark = 0;
            for (int x = left; x <= right; ++x)
                dark += qGray(picture.pixel(x, y)) < 200 || qGray(picture.pixel(x, y + 1)) < 200;
            QVERIFY(dark > (right - left) / 5 && dark < (right - left) * 9 / 10);
        }
    }

    // Before the window hands over a layout there is no sheet; then the empty sheet shows the drop hint.
    void sheetlessThenEmpty()
    {
        const auto preview = previewOn(PrintLayout{});
        preview->setTargetImage(noiseTarget(8, 8, 72));
        wheel(*preview, {100, 100}, 240);
        drag(*preview, {{40, 40}});
        QImage blank(500, 500, QImage::Format_RGB32);
        blank.fill(background);
        QCOMPARE(shot(*preview), blank);
        preview->setTargetImage(std::nullopt);
        preview->setPrintLayout(a4());
        QCOMPARE(shot(*preview).pixel(160, 250), qRgb(247, 250, 252)); // inside the hint's dashed box
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
