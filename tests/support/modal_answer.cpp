#include "modal_answer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace PloverTest {

void onNextModal(std::function<void(QWidget*)> action)
{
    QTimer::singleShot(5, qApp, [action = std::move(action)] {
        if (QWidget* modal = QApplication::activeModalWidget())
            return action(modal);
        onNextModal(action);
    });
}

namespace {

void answerInto(std::shared_ptr<MessageBoxSeen> seen, QString buttonText)
{
    onNextModal([seen, buttonText](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) // a progress dialog may come first: wait for the box itself
            return answerInto(seen, buttonText);
        *seen = {true,
                 box->icon(),
                 box->windowTitle(),
                 box->text(),
                 box->informativeText(),
                 {},
                 box->defaultButton() ? box->defaultButton()->text() : QString()};
        for (QAbstractButton* button : box->buttons())
            seen->buttons << button->text();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == buttonText)
                return button->click();
        }
        QTest::keyClick(box, Qt::Key_Escape);
    });
}

} // namespace

std::shared_ptr<MessageBoxSeen> answerNextMessageBox(const QString& buttonText)
{
    auto seen = std::make_shared<MessageBoxSeen>();
    answerInto(seen, buttonText);
    return seen;
}

} // namespace PloverTest
