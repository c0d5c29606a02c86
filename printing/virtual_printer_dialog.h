#pragma once

#ifndef _WIN32

#include "printing/virtual_printer.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;

namespace Plover {

// The virtual printer's "Print" dialog: its one printer, the resolution, the unprintable margin and
// the file that receives the page.
class VirtualPrinterDialog : public QDialog
{
public:
    VirtualPrinterDialog(QWidget* parent, const VirtualPrinter::Settings& settings);

    // The settings it was opened with, changed by what the user chose.
    VirtualPrinter::Settings chosenSettings() const;

private:
    void browse();

    VirtualPrinter::Settings initial;
    QComboBox* resolutionChooser = nullptr;
    QDoubleSpinBox* marginSpinBox = nullptr;
    QLineEdit* outputPathEdit = nullptr;
};

} // namespace Plover

#endif
