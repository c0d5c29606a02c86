#include "print_dialog_answer.h"

#include "modal_answer.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

namespace PloverTest {

void answerNextPrintDialog(const PrintDialogAnswer& answer, std::function<void()> afterwards)
{
    onNextModal([answer, afterwards](QWidget* dialog) {
        auto* printers = dialog->findChild<QComboBox*>(QStringLiteral("printerChooser"));
        const auto searching = [dialog] {
            for (QLabel* label : dialog->findChildren<QLabel*>()) {
                if (label->text().startsWith(QLatin1String("Looking for printers")) && label->isVisible())
                    return true;
            }
            return false;
        };
        // An unanswered search ends in the dialog itself after a few seconds.
        (void)QTest::qWaitFor([&] { return !searching(); }, 10000);
        if (!answer.printer.isEmpty())
            printers->setCurrentIndex(printers->findText(answer.printer));
        auto* resolution = dialog->findChild<QComboBox*>(QStringLiteral("resolutionChooser"));
        if (answer.dpi)
            resolution->setCurrentIndex(resolution->findData(QSize(answer.dpi, answer.dpi)));
        if (answer.copies)
            dialog->findChild<QSpinBox*>(QStringLiteral("copiesSpinBox"))->setValue(answer.copies);
        if (!answer.outputPath.isEmpty())
            dialog->findChild<QLineEdit*>(QStringLiteral("outputPathEdit"))->setText(answer.outputPath);
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        buttons->button(answer.cancel ? QDialogButtonBox::Cancel : QDialogButtonBox::Ok)->click();
        if (afterwards)
            afterwards();
    });
}

} // namespace PloverTest
