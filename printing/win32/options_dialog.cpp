#include "printing/win32/options_dialog.h"

#ifndef _WIN32

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>
#include <utility>

namespace Plover::PrintSystem {

OptionsDialog::OptionsDialog(const CupsDestination& destination, const OptionChoices& current,
                             QWidget* parent)
    : QDialog(parent), destination(destination)
{
    setWindowTitle(QCoreApplication::translate("Plover::PrintSystem", "Options of \"%1\"")
                       .arg(destination.displayName()));
    auto* tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("optionGroups"));
    QMap<QString, QFormLayout*> forms;
    for (const DriverOption& option : std::as_const(this->destination.options.options)) {
        const QString place = option.group + u'\n' + option.subgroup;
        if (!forms.contains(place)) {
            QWidget* page = nullptr;
            for (int i = 0; i < tabs->count() && !page; ++i)
                page = tabs->tabText(i) == option.group ? tabs->widget(i) : nullptr;
            if (!page) {
                auto* scroll = new QScrollArea;
                scroll->setWidgetResizable(true);
                scroll->setWidget(new QWidget);
                new QVBoxLayout(scroll->widget());
                tabs->addTab(scroll, option.group);
                page = scroll;
            }
            auto* column = static_cast<QVBoxLayout*>(static_cast<QScrollArea*>(page)->widget()->layout());
            auto* form = new QFormLayout;
            if (option.subgroup.isEmpty()) {
                column->insertLayout(0, form);
            } else {
                auto* box = new QGroupBox(option.subgroup);
                box->setLayout(form);
                column->addWidget(box);
            }
            forms[place] = form;
        }
        auto* chooser = new QComboBox;
        chooser->setObjectName(option.keyword);
        if (option.locked) {
            const OptionChoice* kept = option.choice(option.lockedTo);
            chooser->addItem(
                kept ? kept->label
                     : QCoreApplication::translate("Plover::PrintSystem", "Set by Plover for each job"),
                option.lockedTo);
            chooser->setEnabled(false);
            chooser->setToolTip(option.lockReason);
        } else {
            for (const OptionChoice& choice : option.choices) {
                // A choice that renders a resolution the dialog does not offer would disagree with it.
                if (!choice.renders.isValid() || destination.resolution(choice.renders))
                    chooser->addItem(choice.label, choice.keyword);
            }
            connect(chooser, &QComboBox::currentIndexChanged, this, [this, &option] { chose(option); });
        }
        forms[place]->addRow(option.label, chooser);
        choosers[option.keyword] = chooser;
    }
    for (int i = 0; i < tabs->count(); ++i)
        static_cast<QVBoxLayout*>(static_cast<QScrollArea*>(tabs->widget(i))->widget()->layout())
            ->addStretch();

    conflictLabel = new QLabel;
    conflictLabel->setObjectName(QStringLiteral("conflictLabel"));
    conflictLabel->setWordWrap(true);
    conflictLabel->setStyleSheet(QStringLiteral("color: #b3261e;"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    okButton = buttons->button(QDialogButtonBox::Ok);
    QPushButton* reset = buttons->addButton(
        QCoreApplication::translate("Plover::PrintSystem", "Reset to the printer's defaults"),
        QDialogButtonBox::ResetRole);
    reset->setObjectName(QStringLiteral("resetButton"));
    connect(reset, &QPushButton::clicked, this,
            [this] { select(currentChoices(this->destination.options, {})); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(conflictLabel);
    layout->addWidget(buttons);
    // Room for a driver's long labels, within a small laptop's screen.
    resize(720, 560);
    select(current);
}

void OptionsDialog::select(const OptionChoices& chosen)
{
    for (const auto& [option, choice] : chosen) {
        if (QComboBox* chooser = choosers.value(option)) {
            const QSignalBlocker quiet(chooser);
            chooser->setCurrentIndex(std::max(0, chooser->findData(choice)));
        }
    }
    check();
}

// A choice that decides the resolution takes the options that also decide it along.
void OptionsDialog::chose(const DriverOption& option)
{
    const OptionChoice* choice = option.choice(choosers[option.keyword]->currentData().toString());
    const ResolutionChoice* resolution = choice ? destination.resolution(choice->renders) : nullptr;
    if (!resolution)
        return check();
    OptionChoices moved = withResolution(destination.options, choices(), *resolution);
    for (auto& [keyword, chosen] : moved)
        chosen = keyword == option.keyword ? choice->keyword : chosen;
    select(moved);
}

void OptionsDialog::check()
{
    const QStringList conflicts = optionConflicts(destination.options, choices());
    conflictLabel->setText(conflicts.join(u'\n'));
    conflictLabel->setVisible(!conflicts.isEmpty());
    okButton->setEnabled(conflicts.isEmpty());
}

OptionChoices OptionsDialog::choices() const
{
    OptionChoices chosen;
    for (const DriverOption& option : destination.options.options) {
        if (!option.locked)
            chosen.append({option.keyword, choosers[option.keyword]->currentData().toString()});
    }
    return chosen;
}

} // namespace Plover::PrintSystem

#endif
