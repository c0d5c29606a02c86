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
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

std::shared_ptr<MessageBoxSeen> answerNextMessageBox(const QString& buttonText)
{
    auto seen = std::make_shared<MessageBoxSeen>();
    onNextModal([seen, buttonText](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box)
            return;
        seen->seen = true;
        seen->icon = box->icon();
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->informativeText = box->informativeText();
        for (QAbstractButton* button : box->buttons())
            seen->buttons << button->text();
        if (box->defaultButton())
            seen->defaultButton = box->defaultButton()->text();
        if (buttonText == QLatin1String("Escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
            return;
        }
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == buttonText) {
                button->click();
                return;
            }
        }
    });
    return seen;
}

} // namespace PloverTest
