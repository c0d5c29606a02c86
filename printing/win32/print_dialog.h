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
class QRadioButton;
class QSpinBox;

namespace Plover::PrintSystem {

struct DestinationSearch;

// What the dialog starts from besides the system's defaults, as Windows' dialog reads it from its request.
struct DialogStart
{
    QString printer;  // chosen while it is listed
    QSize resolution; // chosen where that printer offers it
    int copies = 0;
    // The page range offered, none where maxPage is 0; "Pages" rather than "All" at first when pageRange.
    int minPage = 0;
    int maxPage = 0;
    int fromPage = 0;
    int toPage = 0;
    bool pageRange = false;
};

// What the user chose in the print dialog.
struct PrinterChoice
{
    std::unique_ptr<PrintDevice> device;
    QList<QSize> resolutions; // what the device supports
    QSize resolution;
    int copies = 1;
    bool pageRange = false; // fromPage to toPage rather than all pages
    int fromPage = 0;
    int toPage = 0;
};

// The "Print" dialog off Windows: every CUPS destination of the machine, then the TIFF file printer.
// The destinations are asked in parallel off the GUI thread; each can be chosen as soon as it has
// answered. Every dialog starts from the system's defaults, and from the driver settings last printed
// with on each destination.
class PrintDialog : public QDialog
{
public:
    explicit PrintDialog(QWidget* parent, DialogStart start = {});
    ~PrintDialog() override;

    // Shows the dialog; nothing when it is cancelled.
    static std::optional<PrinterChoice> choosePrinter(QWidget* parent, const DialogStart& start = {});

    void accept() override;

private:
    void collectAnswers();
    void showPrinter();
    bool isFilePrinter() const;
    const CupsDestination* currentDestination() const;
    PrinterChoice choice() const;
    void browse();
    void editOptions();
    QWidget* buildPageRange();

    DialogStart start;
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
    QRadioButton* pageRangeButton = nullptr;
    QSpinBox* fromPageSpinBox = nullptr;
    QSpinBox* toPageSpinBox = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* optionsButton = nullptr;
};

} // namespace Plover::PrintSystem

#endif
