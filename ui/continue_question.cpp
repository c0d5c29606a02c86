#include "continue_question.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

namespace Plover {

bool askToContinue(QWidget* parent, const QString& title, const QString& text, const QString& informativeText)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::NoButton, parent);
    box.setInformativeText(informativeText);
    QPushButton* continueButton =
        box.addButton(QCoreApplication::translate("Plover::MainWindow", "Continue"), QMessageBox::AcceptRole);
    QPushButton* cancelButton =
        box.addButton(QCoreApplication::translate("Plover::MainWindow", "Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(continueButton);
    box.setEscapeButton(cancelButton);
    box.exec();
    return box.clickedButton() == continueButton;
}

} // namespace Plover
