#include "layout/placement_geometry.h"
#include "preview/preview_widget.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

using namespace Plover;

namespace {

// Random colours: a screen pixel tells which image pixel it shows, and a misplaced one stands out.
TargetImage noiseTarget(int width, int height, double dpi, const QString& path = QStringLiteral("/t/a.tif"))
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 seed = 7;
    for (int i = 0; i < width * height; ++i)
        image.setPixel(i % width, i / width, 0xff000000u | ((seed = seed * 1664525u + 1013904223u) >> 8));
    return {path, {}, width, height, dpi, dpi, QStringLiteral("RGB"), false, {}, image};
}

// Whether the widget took the event rather than leaving it to its parent.
bool accepted(QWidget& widget, QEvent&& event)
{
    QApplication::sendEvent(&widget, &event);
    return event.isAccepted();
}

bool key(QWidget& widget, int key)
{
    return accepted(widget, QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
}

bool wheel(QWidget& widget, QPoint at, int delta)
{
    return accepted(widget, QWheelEvent(at, widget.mapToGlobal(at), {}, {0, delta}, Qt::NoButton,
                                        Qt::NoModifier, Qt::NoScrollPhase, false));
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

    PreviewWidget preview;
    const PaperSize a4 = paperSizes().front();

private Q_SLOTS:
    void init()
    {
        preview.setTargetImage(std::nullopt);
        preview.setPrintLayout({a4, PageOrientation::Portrait, PrintAlignment::Center, 0});
        preview.resize(500, 500);
        preview.show();
    }

    // Steps of 1.2 from the fit, between 20 % and 3200 %, only with an image: without one the keys
    // and the wheel go on to the window. The same file keeps its zoom, a new one fits again.
    void zoom()
    {
        QSignalSpy enabled(&preview, &PreviewWidget::zoomEnabledChanged);
        preview.zoomIn();
        QVERIFY(!key(preview, Qt::Key_Plus) && !wheel(preview, {250, 250}, 120) &&
                preview.zoomPercent() == 100);
        preview.setTargetImage(noiseTarget(8, 8, 72));
        QVERIFY(key(preview, Qt::Key_Plus) && key(preview, Qt::Key_Equal) && !key(preview, Qt::Key_A));
        preview.setTargetImage(noiseTarget(8, 8, 72));
        QStringList seen{QString::number(preview.zoomPercent())};
        for (int i = 0; i < 21; ++i)
            preview.zoomIn();
        seen << QString::number(preview.zoomPercent());
        QVERIFY(key(preview, Qt::Key_0) && key(preview, Qt::Key_Minus) && key(preview, Qt::Key_Underscore));
        seen << QString::number(preview.zoomPercent(), 'f', 2);
        for (int i = 0; i < 8; ++i)
            preview.zoomOut();
        seen << QString::number(preview.zoomPercent());
        preview.setTargetImage(noiseTarget(8, 8, 72, QStringLiteral("/t/b.tif")));
        seen << QString::number(preview.zoomPercent());
        QCOMPARE(seen, (QStringList{"144", "3200", "69.44", "20", "100"}));
        preview.setTargetImage(std::nullopt);
        QVERIFY(enabled.count() == 2 && enabled[0][0].toBool() && !enabled[1][0].toBool());
    }

    // A notch of the wheel zooms by 1.0018^120 and keeps the point under the cursor where it is.
    void wheelKeepsThePointUnderTheCursor()
    {
        preview.setTargetImage(noiseTarget(600, 600, 200));
        for (int i = 0; i < 13; ++i)
            preview.zoomIn(); // sharp from 8x on, so every colour stays exact
        const QRgb under = preview.grab().toImage().pixel(120, 380);
        QVERIFY(wheel(preview, {120, 380}, -120));
        QVERIFY(std::abs(preview.zoomPercent() / 100 / std::pow(1.2, 13) - 1 / 1.2409) < 1e-3);
        const QImage after = preview.grab().toImage();
        QVERIFY(after.pixel(120, 380) == under || after.pixel(121, 381) == under ||
                after.pixel(119, 379) == under);
    }

    // Each pixel of the turned image shows at its place on the sheet, as worked out here; pixels past
    // the sheet stay bare. The pixels are large on screen, so their centres show their colours.
    void painting_data()
    {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<double>("dpi");
        QTest::addColumn<int>("zoomSteps");
        QTest::addColumn<int>("alignment");
        QTest::newRow("90 at fit, beyond the sheet") << 90 << 1.0 << 0 << 4;
        QTest::newRow("270 smooth, top left") << 270 << 2.0 << 1 << 0;
        QTest::newRow("90 sharp at 32") << 90 << 60.0 << 20 << 4;
        QTest::newRow("0, bottom right") << 0 << 2.0 << 1 << 8;
    }

    void painting()
    {
        QFETCH(int, rotation);
        QFETCH(double, dpi);
        QFETCH(int, zoomSteps);
        QFETCH(int, alignment);
        const PrintLayout layout{a4, PageOrientation::Landscape, PrintAlignment(alignment), rotation};
        preview.setPrintLayout(layout);
        const TargetImage image = noiseTarget(12, 8, dpi);
        preview.setTargetImage(image);
        for (int i = 0; i < zoomSteps; ++i)
            preview.zoomIn();

        const QSizeF s = sheetSizeInches(a4, PageOrientation::Landscape);
        const double zoom = preview.zoomPercent() / 100, k = 404 / s.width() * zoom; // pixels per inch
        const QRectF sheet(QPointF(250 - s.width() * k / 2, 250 - s.height() * k / 2), s * k);
        const QRectF r = placementRect(s, rotatedSize(printSizeInches(image), rotation), layout.alignment);
        const QImage turned = image.image.transformed(QTransform().rotate(rotation)),
                     picture = preview.grab().toImage();
        int compared = 0;
        for (int v = 0; v < turned.height(); ++v) {
            for (int u = 0; u < turned.width(); ++u) {
                const QPointF at =
                    sheet.topLeft() + (r.topLeft() + QPointF((u + 0.5) * r.width() / turned.width(),
                                                             (v + 0.5) * r.height() / turned.height())) *
                                          k;
                const bool onSheet = sheet.adjusted(2, 2, -2, -2).contains(at);
                if (!QRectF(2, 2, 496, 496).contains(at) ||
                    (!onSheet && sheet.adjusted(-2, -2, 2, 2).contains(at)))
                    continue;
                const QRgb p = picture.pixel(int(at.x()), int(at.y())),
                           q = onSheet ? turned.pixel(u, v) : qRgb(245, 247, 250);
                const int worst = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                            std::abs(qBlue(p) - qBlue(q))});
                QVERIFY2(worst <= (zoom < 8 ? 12 : 0),
                         qPrintable(QStringLiteral("%1 at %2, %3").arg(worst).arg(u).arg(v)));
                ++compared;
            }
        }
        QVERIFY(compared > 4);
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
