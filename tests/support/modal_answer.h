#pragma once

#include <QList>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QObject;
class QWidget;

namespace PloverTest {

// Runs `action` on the next modal widget that becomes active (polled from the event loop, so it
// works from inside the dialog's own nested loop). A `context` given ends the waiting with it.
void onNextModal(std::function<void(QWidget*)> action, QObject* context = nullptr);

// What a message box showed before it was answered.
struct MessageBoxSeen
{
    bool seen = false;
    int icon = 0;
    QString title, text, informativeText;
    QStringList buttons;
    QString defaultButton;
};

// Presses the button labelled `buttonText` on the next message box (Escape when it has none such),
// passing over other modal widgets before it, and records what the box showed.
std::shared_ptr<MessageBoxSeen> answerNextMessageBox(const QString& buttonText, QObject* context = nullptr);

// What the print dialog's Options dialog showed once the answer's choices were made.
struct OptionsDialogSeen
{
    bool seen = false;
    QStringList groups;  // the tabs' titles
    QStringList choices; // "option=choice" of every option the user may change
    QStringList locked;  // "option=tooltip" of every option shown but locked
    QString conflicts;
    bool okEnabled = false;
};

// What a user chooses in the next print dialog. Empty or zero fields keep the dialog's defaults.
struct PrintDialogAnswer
{
    QString printer;  // as listed: a CUPS destination or "Plover Virtual Printer (TIFF file)"
    QSize resolution; // dpi across and down, as the resolution chooser's item data
    int copies = 0;
    QString outputPath; // the file printer's page
    bool cancel = false;
    // Chosen in the Options dialog first (option keyword, choice keyword); Cancel there where the
    // choices conflict.
    QList<std::pair<QString, QString>> options{};
    bool resetOptions = false;                         // "Reset to the printer's defaults" after them
    std::shared_ptr<OptionsDialogSeen> optionsSeen{};  // opens the Options dialog also without options
    QPoint pages = {};                                 // the range "from" x "to" y; null for all pages
    std::function<void(QWidget* dialog)> inspect = {}; // sees the dialog as it shows, before it is answered
};

// Answers the next print dialog, passing over other modal widgets, once it has heard from every CUPS
// destination; then runs `afterwards`.
void answerNextPrintDialog(const PrintDialogAnswer& answer, std::function<void()> afterwards = {},
                           QObject* context = nullptr);

} // namespace PloverTest
