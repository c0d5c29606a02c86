#pragma once

#ifndef _WIN32

#include "printing/devices/cups_destinations.h"
#include "printing/devices/print_device.h"

#include <QDialog>
#include <QList>
#include <QSize>
#include <QTimer>
#include <memory>
#include <optional>

class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace Plover::PrintSystem {

struct DestinationSearch;

// What the user chose in the print dialog.
struct PrinterChoice
{
    std::unique_ptr<PrintDevice> device;
    QList<QSize> resolutions; // what the device supports
    QSize resolution;
    int copies = 1;
};

// The "Print" dialog off Windows: every CUPS destination of the machine, then the TIFF file printer.
// The destinations are asked in parallel off the GUI thread; each can be chosen as soon as it has
// answered. Every dialog starts from the system's defaults, and from the driver settings last printed
// with on each destination.
class PrintDialog : public QDialog
{
public:
    explicit PrintDialog(QWidget* parent);
    ~PrintDialog() override;

    // Shows the dialog; nothing when it is cancelled.
    static std::optional<PrinterChoice> choosePrinter(QWidget* parent);

    void accept() override;

private:
    void collectAnswers();
    void showPrinter();
    bool isFilePrinter() const;
    const CupsDestination* currentDestination() const;
    PrinterChoice choice() const;
    void browse();
    void editOptions();

    std::shared_ptr<DestinationSearch> search;
    QList<CupsDestination> destinations;
    QList<bool> answered;
    bool userChosePrinter = false;
    QTimer poll;
    OptionChoices options; // the current destination's driver settings

    QComboBox* printerChooser = nullptr;
    QLabel* statusLabel = nullptr;
    QFormLayout* form = nullptr;
    QComboBox* resolutionChooser = nullptr;
    QSpinBox* copiesSpinBox = nullptr;
    QDoubleSpinBox* marginSpinBox = nullptr;
    QLineEdit* outputPathEdit = nullptr;
    QWidget* outputRow = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* optionsButton = nullptr;
};

} // namespace Plover::PrintSystem

#endif
