#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace PloverTest {

// Runs `action` on the next modal widget that becomes active (polled from the event loop,
// so it works from inside the dialog's own nested loop).
void onNextModal(std::function<void(QWidget*)> action);

// What a message box showed before it was answered.
struct MessageBoxSeen
{
    bool seen = false;
    int icon = 0;
    QString title;
    QString text;
    QString informativeText;
    QStringList buttons;
    QString defaultButton;
};

// Presses the button labelled `buttonText` on the next message box (Escape when it has none such),
// passing over other modal widgets before it, and records what the box showed.
std::shared_ptr<MessageBoxSeen> answerNextMessageBox(const QString& buttonText);

} // namespace PloverTest
