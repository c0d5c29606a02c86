#include "tst_ui.h"
#include "window_probe.h"

#include <QGridLayout>
#include <QMenuBar>
#include <QScrollArea>
#include <QTest>

using namespace PloverTest;

namespace {

bool hasOpaquePixels(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

class TestWindowStructure : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { clearStore(); }

    void menusHoldTheirActionsInOrder()
    {
        Plover::MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Plover"));
        QCOMPARE(window.size(), QSize(1080, 720));
        QVERIFY(window.acceptDrops());

        const QList<QAction*> menus = window.menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QStringLiteral("File"));
        QCOMPARE(menus[1]->text(), QStringLiteral("Help"));
        const QList<QAction*> file = menus[0]->menu()->actions();
        QCOMPARE(file.size(), 2);
        QCOMPARE(file[0]->text(), QStringLiteral("Load"));
        QCOMPARE(file[1]->text(), QStringLiteral("Print"));
        const QList<QAction*> help = menus[1]->menu()->actions();
        QCOMPARE(help.size(), 1);
        QCOMPARE(help[0]->text(), QStringLiteral("About Plover"));
        QCOMPARE(help[0]->menuRole(), QAction::AboutRole);
    }

    void toolbarItemsInOrder()
    {
        Plover::MainWindow window;
        QToolBar* bar = toolBar(&window);
        QVERIFY(bar);
        QVERIFY(!bar->isMovable());
        QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCOMPARE(bar->iconSize(), QSize(24, 24));

        const QList<QAction*> items = bar->actions();
        QCOMPARE(items.size(), 6);
        QCOMPARE(bar->widgetForAction(items[0])->width(), 8);
        QCOMPARE(items[1]->text(), QStringLiteral("Load"));
        QCOMPARE(items[2]->text(), QStringLiteral("Print"));
        QCOMPARE(bar->widgetForAction(items[3])->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        auto* zoom = qobject_cast<QLabel*>(bar->widgetForAction(items[4]));
        QVERIFY(zoom);
        QCOMPARE(zoom->text(), QStringLiteral("100%"));
        QCOMPARE(zoom->minimumWidth(), 54);
        QCOMPARE(zoom->alignment(), Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(items[5]->text(), QStringLiteral("Fit to Screen"));
    }

    void shortcuts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<QKeySequence>>("keys");
        QTest::newRow("Load") << "Load" << QList<QKeySequence>{QKeySequence(QKeySequence::Open)};
        QTest::newRow("Print") << "Print" << QList<QKeySequence>{QKeySequence(QKeySequence::Print)};
        QTest::newRow("Zoom In") << "Zoom In"
                                 << QList<QKeySequence>{QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)};
        QTest::newRow("Zoom Out") << "Zoom Out" << QList<QKeySequence>{QKeySequence(Qt::Key_Minus)};
        QTest::newRow("Fit to Screen") << "Fit to Screen" << QList<QKeySequence>{QKeySequence(Qt::Key_0)};
    }

    void shortcuts()
    {
        QFETCH(QString, text);
        QFETCH(QList<QKeySequence>, keys);
        Plover::MainWindow window;
        QAction* found = action(&window, text);
        QVERIFY(found);
        QCOMPARE(found->shortcuts(), keys);
        // On the window itself, so the key works whether or not a menu or toolbar shows it.
        QVERIFY(window.actions().contains(found));
    }

    void startsWithPrintAndZoomDisabled()
    {
        Plover::MainWindow window;
        QVERIFY(action(&window, QStringLiteral("Load"))->isEnabled());
        QVERIFY(!action(&window, QStringLiteral("Print"))->isEnabled());
        for (const char* name : {"Zoom In", "Zoom Out", "Fit to Screen"})
            QVERIFY2(!action(&window, QString::fromLatin1(name))->isEnabled(), name);
        QVERIFY(!zoomLabel(&window)->isEnabled());
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("No image loaded"));
        QVERIFY(errorBanner(&window)->isHidden());
    }

    void inspectorKeepsItsWidthAsTheWindowGrows()
    {
        Plover::MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* panel = group(&window, QStringLiteral("Paper"))->parentWidget();
        auto* scroll = window.findChild<QScrollArea*>();
        const int previewWidth = scroll->width();
        QCOMPARE(panel->width(), 320);
        window.resize(1400, 720);
        QTRY_COMPARE(scroll->width(), previewWidth + 320);
        QCOMPARE(panel->width(), 320);
    }

    void svgIconsRender()
    {
        Plover::MainWindow window;
        for (const char* name : {"Load", "Print"}) {
            const QIcon icon = action(&window, QString::fromLatin1(name))->icon();
            QVERIFY2(!icon.isNull(), name);
            QVERIFY2(hasOpaquePixels(icon.pixmap(24, 24).toImage()), name);
        }
    }

    void fitToScreenIconPixels_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("lens ring, left") << QPoint(11, 20) << QColor(35, 48, 64);
        QTest::newRow("lens ring, top") << QPoint(21, 10) << QColor(35, 48, 64);
        QTest::newRow("handle") << QPoint(33, 33) << QColor(35, 48, 64);
        QTest::newRow("plus, centre") << QPoint(21, 20) << QColor(21, 90, 218);
        QTest::newRow("plus, arm") << QPoint(17, 20) << QColor(21, 90, 218);
        QTest::newRow("outside") << QPoint(2, 2) << QColor(Qt::transparent);
        QTest::newRow("inside the lens, off the plus") << QPoint(16, 15) << QColor(Qt::transparent);
    }

    void fitToScreenIconPixels()
    {
        QFETCH(QPoint, point);
        QFETCH(QColor, colour);
        const QImage image = Plover::MainWindow::fitToScreenIcon().pixmap(48, 48).toImage();
        QCOMPARE(image.size(), QSize(48, 48));
        const QColor actual = image.pixelColor(point);
        if (colour.alpha() == 0) {
            QCOMPARE(actual.alpha(), 0);
            return;
        }
        QCOMPARE(actual.alpha(), 255);
        QCOMPARE(actual.rgb(), colour.rgb());
    }

    void alignmentIconDots_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QPoint>("dot");
        QTest::newRow("Top Left") << 0 << QPoint(10, 8);
        QTest::newRow("Center") << 4 << QPoint(24, 24);
        QTest::newRow("Bottom Right") << 8 << QPoint(38, 40);
    }

    void alignmentIconDots()
    {
        QFETCH(int, alignment);
        QFETCH(QPoint, dot);
        const QImage image =
            Plover::MainWindow::alignmentIcon(static_cast<Plover::PrintAlignment>(alignment)).pixmap(48, 48).toImage();
        QCOMPARE(image.pixelColor(dot).rgb(), QColor(21, 90, 218).rgb());
        // The centre of the sheet is white unless the dot sits there.
        if (alignment != 4)
            QCOMPARE(image.pixelColor(24, 24).rgb(), QColor(Qt::white).rgb());
    }

    void alignmentButtonsSitAsOnTheSheet()
    {
        Plover::MainWindow window;
        const QList<QToolButton*> buttons = alignmentButtons(&window);
        QCOMPARE(buttons.size(), 9);
        auto* grid = qobject_cast<QGridLayout*>(group(&window, QStringLiteral("Alignment"))->layout());
        for (int v = 0; v < 9; ++v) {
            int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(buttons[v]), &row, &column, &rowSpan, &columnSpan);
            QCOMPARE(row, v / 3);
            QCOMPARE(column, v % 3);
            QCOMPARE(buttons[v]->toolTip(), Plover::alignmentName(static_cast<Plover::PrintAlignment>(v)));
            QCOMPARE(buttons[v]->size(), QSize(44, 44));
            QCOMPARE(buttons[v]->isChecked(), v == 4);
        }
    }
};

} // namespace

std::unique_ptr<QObject> PloverTest::newWindowStructureTest()
{
    return std::make_unique<TestWindowStructure>();
}

#include "tst_window_structure.moc"
