#include "tst_ui.h"
#include "window_probe.h"

#include <QGridLayout>
#include <QMenuBar>
#include <QScrollArea>
#include <QTest>

using namespace PloverTest;

namespace {

class TestWindowStructure : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { clearStore(); }

    // What a user meets first: the menus, the toolbar, the keys, and what is enabled.
    void windowAsItOpens()
    {
        Plover::MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Plover"));
        QCOMPARE(window.size(), QSize(1080, 720));

        QStringList menus;
        for (QAction* menu : window.menuBar()->actions()) {
            menus << menu->text();
            for (QAction* item : menu->menu()->actions())
                menus << QStringLiteral("  ") + item->text();
        }
        QCOMPARE(menus,
                 (QStringList{QStringLiteral("File"), QStringLiteral("  Load"), QStringLiteral("  Print"),
                              QStringLiteral("Help"), QStringLiteral("  About Plover")}));
        QCOMPARE(action(&window, QStringLiteral("About Plover"))->menuRole(), QAction::AboutRole);

        QToolBar* bar = toolBar(&window);
        QVERIFY(!bar->isMovable());
        QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        const QList<QAction*> items = bar->actions();
        QCOMPARE(items.size(), 6);
        QCOMPARE(bar->widgetForAction(items[0])->width(), 8);
        QCOMPARE(items[1]->text(), QStringLiteral("Load"));
        QCOMPARE(items[2]->text(), QStringLiteral("Print"));
        QCOMPARE(bar->widgetForAction(items[3])->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(bar->widgetForAction(items[4]), zoomLabel(&window));
        QCOMPARE(zoomLabel(&window)->text(), QStringLiteral("100%"));
        QCOMPARE(items[5]->text(), QStringLiteral("Fit to Screen"));

        const QList<std::pair<const char*, QList<QKeySequence>>> keys = {
            {"Load", {QKeySequence::Open}},
            {"Print", {QKeySequence::Print}},
            {"Zoom In", {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal)}},
            {"Zoom Out", {QKeySequence(Qt::Key_Minus)}},
            {"Fit to Screen", {QKeySequence(Qt::Key_0)}}};
        for (const auto& [text, shortcuts] : keys) {
            QAction* found = action(&window, QString::fromLatin1(text));
            QCOMPARE(found->shortcuts(), shortcuts);
            // On the window itself, so the key works without a menu or toolbar entry.
            QVERIFY2(window.actions().contains(found), text);
            QCOMPARE(found->isEnabled(), QByteArray(text) == "Load");
        }
        QVERIFY(!zoomLabel(&window)->isEnabled());
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("No image loaded"));
        QVERIFY(errorBanner(&window)->isHidden());
    }

    void onlyThePreviewGrowsWithTheWindow()
    {
        Plover::MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QWidget* panel = group(&window, QStringLiteral("Paper"))->parentWidget();
        auto* scroll = window.findChild<QScrollArea*>();
        const int previewWidth = scroll->width();
        window.resize(1400, 720);
        QTRY_COMPARE(scroll->width(), previewWidth + 320);
        QCOMPARE(panel->width(), 320);
    }

    // The SVG icons need the icon engine plugin at run time; without it they paint nothing.
    void iconsPaint()
    {
        Plover::MainWindow window;
        for (const char* name : {"Load", "Print"}) {
            const QImage image = action(&window, QString::fromLatin1(name))->icon().pixmap(24, 24).toImage();
            bool painted = false;
            for (int i = 0; i < 24 * 24 && !painted; ++i)
                painted = qAlpha(image.pixel(i % 24, i / 24)) > 0;
            QVERIFY2(painted, name);
        }
    }

    void paintedIconPixels_data()
    {
        QTest::addColumn<QIcon>("icon");
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QColor>("colour");
        const QIcon fit = Plover::MainWindow::fitToScreenIcon();
        QTest::newRow("lens ring") << fit << QPoint(11, 20) << QColor(35, 48, 64);
        QTest::newRow("handle") << fit << QPoint(33, 33) << QColor(35, 48, 64);
        QTest::newRow("plus") << fit << QPoint(21, 20) << QColor(21, 90, 218);
        QTest::newRow("plus arm") << fit << QPoint(17, 20) << QColor(21, 90, 218);
        QTest::newRow("inside the lens") << fit << QPoint(16, 15) << QColor(Qt::transparent);
        const auto alignment = [](int value) {
            return Plover::MainWindow::alignmentIcon(static_cast<Plover::PrintAlignment>(value));
        };
        QTest::newRow("Top Left dot") << alignment(0) << QPoint(10, 8) << QColor(21, 90, 218);
        QTest::newRow("Top Left sheet") << alignment(0) << QPoint(24, 24) << QColor(Qt::white);
        QTest::newRow("Center dot") << alignment(4) << QPoint(24, 24) << QColor(21, 90, 218);
        QTest::newRow("Bottom Right dot") << alignment(8) << QPoint(38, 40) << QColor(21, 90, 218);
    }

    void paintedIconPixels()
    {
        QFETCH(QIcon, icon);
        QFETCH(QPoint, point);
        QFETCH(QColor, colour);
        const QColor actual = icon.pixmap(48, 48).toImage().pixelColor(point);
        QCOMPARE(actual.alpha(), colour.alpha());
        if (colour.alpha() != 0)
            QCOMPARE(actual.rgb(), colour.rgb());
    }

    void alignmentButtonsSitAsOnTheSheet()
    {
        Plover::MainWindow window;
        const QList<QToolButton*> buttons = alignmentButtons(&window);
        auto* grid = qobject_cast<QGridLayout*>(group(&window, QStringLiteral("Alignment"))->layout());
        QCOMPARE(buttons.size(), 9);
        for (int v = 0; v < 9; ++v) {
            int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(buttons[v]), &row, &column, &rowSpan, &columnSpan);
            QCOMPARE(QPoint(column, row), QPoint(v % 3, v / 3));
            QCOMPARE(buttons[v]->toolTip(), Plover::alignmentName(static_cast<Plover::PrintAlignment>(v)));
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
