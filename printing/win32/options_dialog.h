#pragma once

#ifndef _WIN32

#include "printing/devices/cups_destinations.h"

#include <QDialog>
#include <QMap>

class QComboBox;
class QLabel;
class QPushButton;

namespace Plover::PrintSystem {

// The destination's own settings, as the Properties page of a Windows driver shows them: every option
// in its group, each choice with its own label. The options that decide the resolution move together;
// choices the queue does not allow together are told, and OK waits until they agree. What Plover sends
// itself is shown, locked.
class OptionsDialog : public QDialog
{
public:
    OptionsDialog(const CupsDestination& destination, const OptionChoices& current, QWidget* parent);

    OptionChoices choices() const;

private:
    void select(const OptionChoices& chosen);
    void chose(const DriverOption& option);
    void check();

    CupsDestination destination;
    QMap<QString, QComboBox*> choosers;
    QLabel* conflictLabel = nullptr;
    QPushButton* okButton = nullptr;
};

} // namespace Plover::PrintSystem

#endif
