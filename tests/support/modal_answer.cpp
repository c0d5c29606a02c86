#include "modal_answer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

namespace PloverTest {

void onNextModal(std::function<void(QWidget*)> action, QObject* context)
{
    QTimer::singleShot(5, context ? context : qApp, [action = std::move(action), context] {
        if (QWidget* modal = QApplication::activeModalWidget())
            return action(modal);
        onNextModal(action, context);
    });
}

namespace {

void answerInto(std::shared_ptr<MessageBoxSeen> seen, QString buttonText, QObject* context)
{
    onNextModal(
        [seen, buttonText, context](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (!box) // a progress dialog may come first: wait for the box itself
                return answerInto(seen, buttonText, context);
            *seen = {true,
                     box->icon(),
                     box->windowTitle(),
                     box->text(),
                     box->informativeText(),
                     {},
                     box->defaultButton() ? box->defaultButton()->text() : QString()};
            QAbstractButton* chosen = nullptr;
            for (QAbstractButton* button : box->buttons()) {
                seen->buttons << button->text();
                chosen = button->text() == buttonText ? button : chosen;
            }
            chosen ? chosen->click() : QTest::keyClick(box, Qt::Key_Escape);
        },
        context);
}

void answerOptions(const PrintDialogAnswer& answer)
{
    onNextModal([answer](QWidget* dialog) {
        auto* groups = dialog->findChild<QTabWidget*>(QStringLiteral("optionGroups"));
        if (!groups)
            return answerOptions(answer);
        for (const auto& [option, choice] : answer.options) {
            if (auto* chooser = dialog->findChild<QComboBox*>(option))
                chooser->setCurrentIndex(chooser->findData(choice));
        }
        if (answer.resetOptions)
            dialog->findChild<QPushButton*>(QStringLiteral("resetButton"))->click();
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
        if (OptionsDialogSeen* seen = answer.optionsSeen.get()) {
            *seen = {true,
                     {},
                     {},
                     {},
                     dialog->findChild<QLabel*>(QStringLiteral("conflictLabel"))->text(),
                     ok->isEnabled()};
            for (int i = 0; i < groups->count(); ++i)
                seen->groups << groups->tabText(i);
            for (QComboBox* chooser : groups->findChildren<QComboBox*>()) {
                if (chooser->isEnabled())
                    seen->choices << chooser->objectName() + '=' + chooser->currentData().toString();
                else
                    seen->locked << chooser->objectName() + '=' + chooser->toolTip();
            }
        }
        (ok->isEnabled() ? ok : buttons->button(QDialogButtonBox::Cancel))->click();
    });
}

} // namespace

std::shared_ptr<MessageBoxSeen> answerNextMessageBox(const QString& buttonText, QObject* context)
{
    auto seen = std::make_shared<MessageBoxSeen>();
    answerInto(seen, buttonText, context);
    return seen;
}

void answerNextPrintDialog(const PrintDialogAnswer& answer, std::function<void()> afterwards,
                           QObject* context)
{
    onNextModal(
        [answer, afterwards, context](QWidget* dialog) {
            auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printerChooser"));
            if (!printers)
                return answerNextPrintDialog(answer, afterwards, context);
            // An unanswered search ends in the dialog itself after a few seconds.
            (void)QTest::qWaitFor(
                [dialog] {
                    for (QLabel* label : dialog->findChildren<QLabel*>()) {
                        if (label->text().startsWith(QLatin1String("Looking for printers")) &&
                            label->isVisible())
                            return false;
                    }
                    return true;
                },
                10000);
            if (answer.inspect)
                answer.inspect(dialog);
            if (!answer.printer.isEmpty())
                printers->setCurrentIndex(printers->findText(answer.printer));
            if (!answer.options.isEmpty() || answer.resetOptions || answer.optionsSeen) {
                answerOptions(answer);
                dialog->findChild<QPushButton*>(QStringLiteral("optionsButton"))->click();
            }
            auto* resolution = dialog->findChild<QComboBox*>(QStringLiteral("resolutionChooser"));
            // A resolution the destination does not offer cancels: nothing is printed at another one.
            const int chosen = answer.resolution.isValid() ? resolution->findData(answer.resolution) : 0;
            if (answer.resolution.isValid())
                resolution->setCurrentIndex(chosen);
            if (answer.copies)
                dialog->findChild<QSpinBox*>(QStringLiteral("copiesSpinBox"))->setValue(answer.copies);
            if (!answer.pages.isNull()) {
                dialog->findChild<QRadioButton*>(QStringLiteral("pageRangeButton"))->setChecked(true);
                dialog->findChild<QSpinBox*>(QStringLiteral("toPageSpinBox"))->setValue(answer.pages.y());
                dialog->findChild<QSpinBox*>(QStringLiteral("fromPageSpinBox"))->setValue(answer.pages.x());
            }
            if (!answer.outputPath.isEmpty())
                dialog->findChild<QLineEdit*>(QStringLiteral("outputPathEdit"))->setText(answer.outputPath);
            dialog->findChild<QDialogButtonBox*>()
                ->button(answer.cancel || chosen < 0 ? QDialogButtonBox::Cancel : QDialogButtonBox::Ok)
                ->click();
            if (afterwards)
                afterwards();
        },
        context);
}

} // namespace PloverTest
