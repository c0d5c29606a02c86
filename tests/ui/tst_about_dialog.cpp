#include "tests/support/modal_answer.h"
#include "tst_ui.h"
#include "window_probe.h"

#include <QDesktopServices>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
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

struct AboutSeen
{
    QPointer<QDialog> dialog;
    QStringList texts;
    QSize logoSize;
    bool openAfterLink = false;
};

// Runs `open`, records the About dialog it shows, follows its link, then presses Enter.
AboutSeen runAbout(const std::function<void()>& open)
{
    AboutSeen seen;
    onNextModal([&seen](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        seen.dialog = dialog;
        seen.texts << dialog->windowTitle();
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (!label->pixmap().isNull())
                seen.logoSize = label->pixmap().size();
            else
                seen.texts << label->text() + (label->font().bold() ? QStringLiteral(" [bold]") : QString());
            if (label->text().contains(QLatin1String("href=")))
                Q_EMIT label->linkActivated(QStringLiteral("https://tessaly.example/plover"));
        }
        seen.openAfterLink = dialog->isVisible();
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    open();
    return seen;
}

class TestAboutDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuAndLogoButtonBuildAFreshDialogEachTime()
    {
        Browser browser;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
        Plover::MainWindow window;
        QToolButton* logo = nullptr;
        for (QToolButton* button : window.findChildren<QToolButton*>()) {
            if (button->toolTip() == QLatin1String("About Plover"))
                logo = button;
        }

        const AboutSeen fromMenu =
            runAbout([&] { action(&window, QStringLiteral("About Plover"))->trigger(); });
        const AboutSeen fromLogo = runAbout([&] { logo->click(); });
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));

        QCOMPARE(fromMenu.logoSize, QSize(359, 120));
        QCOMPARE(fromMenu.texts.size(), 5);
        QCOMPARE(fromMenu.texts.mid(0, 2),
                 (QStringList{QStringLiteral("About Plover"), QStringLiteral("Plover [bold]")}));
        QVERIFY(fromMenu.texts[2].contains(QLatin1String("Tessaly")));
        QCOMPARE(fromMenu.texts[3], QStringLiteral("Version 1.0"));
        QVERIFY(fromMenu.texts[4].contains(QLatin1String("href=\"https://tessaly.example/plover\"")));
        QVERIFY(fromMenu.openAfterLink);
        QCOMPARE(browser.opened.size(), 2);
        QCOMPARE(browser.opened.first(), QUrl(QStringLiteral("https://tessaly.example/plover")));
        // Enter pressed Close, and each dialog went away with its call.
        QVERIFY(fromMenu.dialog.isNull() && fromLogo.dialog.isNull());
        QCOMPARE(fromLogo.texts, fromMenu.texts);
    }
};

} // namespace

std::unique_ptr<QObject> PloverTest::newAboutDialogTest()
{
    return std::make_unique<TestAboutDialog>();
}

#include "tst_about_dialog.moc"
