#pragma once

#include "modal_answer.h"

#include <QSize>
#include <QString>
#include <functional>

namespace PloverTest {

// What a user chooses in the next print dialog. Empty or zero fields keep the dialog's defaults.
struct PrintDialogAnswer
{
    QString printer; // as listed: a CUPS destination or "Plover Virtual Printer (TIFF file)"
    int dpi = 0;
    int copies = 0;
    QString outputPath; // the file printer's page
    bool cancel = false;
};

// Answers the next print dialog once it has heard from every CUPS destination, then runs `afterwards`.
void answerNextPrintDialog(const PrintDialogAnswer& answer, std::function<void()> afterwards = {});

} // namespace PloverTest
