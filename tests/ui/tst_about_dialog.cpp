#include "tst_ui.h"
#include "window_probe.h"

#include "tests/support/modal_answer.h"

#include <QDesktopServices>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QUrl>

using namespace PloverTest;

namespace {

// Stands in for the user's browser: QDesktopServices hands it the opened address.
class UrlCatcher : public QObject
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
    QString title;
    QStringList texts;
    QSize logoSize;
    bool nameBold = false;
    QString defaultButton;
};

// Opens the About dialog through `open`, records it, and closes it with `close`.
AboutSeen runAbout(const std::function<void()>& open, const std::function<void(QDialog*)>& close)
{
    AboutSeen seen;
    onNextModal([&seen, close](QWidget* modal) {
        auto* dialog = qobject_cast<QDialog*>(modal);
        if (!dialog)
            return;
        seen.dialog = dialog;
        seen.title = dialog->windowTitle();
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (!label->pixmap().isNull())
                seen.logoSize = label->pixmap().size();
            else
                seen.texts << label->text();
            if (label->text() == QLatin1String("Plover"))
                seen.nameBold = label->font().bold();
        }
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->isDefault())
                seen.defaultButton = button->text();
        }
        close(dialog);
    });
    open();
    return seen;
}

class TestAboutDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void showsNameVersionCreditAndLink()
    {
        Plover::MainWindow window;
        const AboutSeen seen = runAbout([&] { action(&window, QStringLiteral("About Plover"))->trigger(); },
                                        [](QDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Return); });
        QCOMPARE(seen.title, QStringLiteral("About Plover"));
        QCOMPARE(seen.logoSize, QSize(359, 120));
        QVERIFY(seen.nameBold);
        QCOMPARE(seen.texts.size(), 4);
        QCOMPARE(seen.texts[0], QStringLiteral("Plover"));
        QVERIFY(seen.texts[1].contains(QLatin1String("Tessaly")));
        QCOMPARE(seen.texts[2], QStringLiteral("Version 1.0"));
        QVERIFY(seen.texts[3].contains(QLatin1String("href=\"https://")));
        QCOMPARE(seen.defaultButton, QStringLiteral("Close"));
        // Enter closed it through the default button, and the dialog went with the call.
        QVERIFY(seen.dialog.isNull());
    }

    void logoButtonBuildsAFreshDialogEachTime()
    {
        Plover::MainWindow window;
        QToolButton* logo = nullptr;
        for (QToolButton* button : window.findChildren<QToolButton*>()) {
            if (button->toolTip() == QLatin1String("About Plover"))
                logo = button;
        }
        QVERIFY(logo);
        const auto closeWithButton = [](QDialog* dialog) {
            dialog->findChild<QPushButton*>()->click();
        };
        const AboutSeen first = runAbout([&] { logo->click(); }, closeWithButton);
        QVERIFY(first.dialog.isNull());
        const AboutSeen second = runAbout([&] { logo->click(); }, closeWithButton);
        QVERIFY(second.dialog.isNull());
        QCOMPARE(second.texts, first.texts);
    }

    void linkOpensTheMakersSiteAndKeepsTheDialogOpen()
    {
        UrlCatcher browser;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &browser, "open");
        Plover::MainWindow window;
        bool stillOpen = false;
        runAbout([&] { window.showAboutDialog(); },
                 [&](QDialog* dialog) {
                     for (QLabel* label : dialog->findChildren<QLabel*>()) {
                         if (label->text().contains(QLatin1String("href=")))
                             Q_EMIT label->linkActivated(QStringLiteral("https://tessaly.example/plover"));
                     }
                     stillOpen = dialog->isVisible();
                     dialog->reject();
                 });
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QVERIFY(stillOpen);
        QCOMPARE(browser.opened, QList<QUrl>{QUrl(QStringLiteral("https://tessaly.example/plover"))});
    }
};

} // namespace

std::unique_ptr<QObject> PloverTest::newAboutDialogTest()
{
    return std::make_unique<TestAboutDialog>();
}

#include "tst_about_dialog.moc"
