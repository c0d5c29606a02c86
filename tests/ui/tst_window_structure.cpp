#include "tests/support/modal_answer.h"
#include "tst_ui.h"
#include "window_probe.h"

#include <QDesktopServices>
#include <QDialog>
#include <QGridLayout>
#include <QMenuBar>
#include <QTest>
#include <QUrl>

using namespace PloverTest;

namespace {

// Stands in for the user's browser: QDesktopServices hands it the opened address.
class Browser : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public Q_SLOTS:
    void open(const QUrl& url) { opened << url; }
};

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
        QStringList menus;
        for (QAction* menu : window.menuBar()->actions()) {
            menus << menu->text();
            for (QAction* item : menu->menu()->actions())
                menus << QStringLiteral("  ") + item->text();
        }
        QCOMPARE(menus, (QStringList{"File", "  Load", "  Print", "Help", "  About Plover"}));
        QStringList bar;
        for (QAction* item : toolBar(&window)->actions())
            bar << item->text();
        QCOMPARE(bar, (QStringList{"", "Load", "Print", "", "", "Fit to Screen"}));
        QCOMPARE(zoomLabel(&window)->text(), QStringLiteral("100%"));

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
        QCOMPARE(imageLabels(&window).first()->text(), QStringLiteral("No image loaded"));
        QVERIFY(errorBanner(&window)->isHidden());

        // Button i stands for alignment i, in its cell of the 3 x 3 grid.
        auto* grid = qobject_cast<QGridLayout*>(group(&window, QStringLiteral("Alignment"))->layout());
        const QList<QToolButton*> buttons = alignmentButtons(&window);
        for (int v = 0; v < 9; ++v) {
            int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
            grid->getItemPosition(grid->indexOf(buttons[v]), &row, &column, &rowSpan, &columnSpan);
            QCOMPARE(QPoint(column, row), QPoint(v % 3, v / 3));
        }
    }

    // Stored values out of range are not taken over: the next change stores the defaults instead.
    void badStoredValuesAreDropped()
    {
        QSettings store(QStringLiteral("Tessaly"), QStringLiteral("Plover"));
        for (const auto& [orientation, alignment, paper] :
             {std::tuple{"2", "9", 1}, std::tuple{"-1", "-1", 2}}) {
            store.setValue(QStringLiteral("print/orientation"), orientation);
            store.setValue(QStringLiteral("print/alignment"), alignment);
            store.sync();
            Plover::MainWindow window;
            paperCombo(&window)->setCurrentIndex(paper);
            store.sync();
            QCOMPARE(store.value(QStringLiteral("print/orientation")).toString(), QStringLiteral("0"));
            QCOMPARE(store.value(QStringLiteral("print/alignment")).toString(), QStringLiteral("4"));
        }
    }

    // The SVG icons need the icon engine plugin at run time; without it they paint nothing.
    void toolbarIconsPaint()
    {
        Plover::MainWindow window;
        QToolBar* bar = toolBar(&window);
        for (QAction* item : bar->actions()) {
            if (item->icon().isNull() && item->text().isEmpty())
                continue; // a spacer or the zoom label
            const QImage image = item->icon().pixmap(bar->iconSize()).toImage();
            bool painted = false;
            for (int y = 0; y < image.height() && !painted; ++y) {
                for (int x = 0; x < image.width() && !painted; ++x)
                    painted = qAlpha(image.pixel(x, y)) > 0;
            }
            QVERIFY2(painted, qPrintable(item->text()));
        }
    }

    // The menu and the logo button each build the dialog afresh; its link goes to the browser.
    void aboutDialog()
    {
        Browser browser;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
        Plover::MainWindow window;
        QToolButton* logo = nullptr;
        for (QToolButton* button : window.findChildren<QToolButton*>())
            logo = button->toolTip() == QLatin1String("About Plover") ? button : logo;
        QList<QStringList> seen;
        for (const std::function<void()>& open : std::initializer_list<std::function<void()>>{
                 [&] { action(&window, QStringLiteral("About Plover"))->trigger(); },
                 [&] {
                     logo->click();
                 }}) {
            onNextModal([&seen](QWidget* dialog) {
                QStringList texts{dialog->windowTitle()};
                for (QLabel* label : dialog->findChildren<QLabel*>()) {
                    texts << (label->pixmap().isNull() ? label->text() : QStringLiteral("logo"));
                    if (label->text().contains(QLatin1String("href=")))
                        Q_EMIT label->linkActivated(QStringLiteral("https://tessaly.example/plover"));
                }
                seen << texts;
                QTest::keyClick(dialog, Qt::Key_Return);
            });
            open();
        }
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].mid(0, 3), (QStringList{"About Plover", "logo", "Plover"}));
        QVERIFY(seen[0][3].contains(QLatin1String("Tessaly")));
        QCOMPARE(seen[0][4], QStringLiteral("Version 1.0"));
        QCOMPARE(seen[1], seen[0]);
        const QUrl site(QStringLiteral("https://tessaly.example/plover"));
        QCOMPARE(browser.opened, (QList<QUrl>{site, site}));
        QVERIFY(window.findChildren<QDialog*>().isEmpty()); // Enter closed each one, and it went
    }
};

} // namespace

std::unique_ptr<QObject> PloverTest::newWindowStructureTest()
{
    return std::make_unique<TestWindowStructure>();
}

#include "tst_window_structure.moc"
