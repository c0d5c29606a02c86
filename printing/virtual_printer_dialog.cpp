#include "printing/virtual_printer_dialog.h"

#ifndef _WIN32

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace Plover {

VirtualPrinterDialog::VirtualPrinterDialog(QWidget* parent, const VirtualPrinter::Settings& settings)
    : QDialog(parent), initial(settings)
{
    setWindowTitle(QStringLiteral("Print"));

    auto* printerChooser = new QComboBox;
    printerChooser->setObjectName(QStringLiteral("printerChooser"));
    printerChooser->addItem(VirtualPrinter::printerName());

    resolutionChooser = new QComboBox;
    resolutionChooser->setObjectName(QStringLiteral("resolutionChooser"));
    for (const int dpi : VirtualPrinter::resolutions())
        resolutionChooser->addItem(QStringLiteral("%1 dpi").arg(dpi), dpi);
    resolutionChooser->setCurrentIndex(std::max(0, resolutionChooser->findData(settings.dpi)));

    marginSpinBox = new QDoubleSpinBox;
    marginSpinBox->setObjectName(QStringLiteral("marginSpinBox"));
    marginSpinBox->setRange(0.0, 25.0);
    marginSpinBox->setDecimals(1);
    marginSpinBox->setSingleStep(0.5);
    marginSpinBox->setSuffix(QStringLiteral(" mm"));
    marginSpinBox->setValue(settings.marginMm);

    outputPathEdit = new QLineEdit(settings.outputPath);
    outputPathEdit->setObjectName(QStringLiteral("outputPathEdit"));
    auto* browseButton = new QPushButton(QStringLiteral("Browse..."));
    browseButton->setObjectName(QStringLiteral("browseButton"));
    connect(browseButton, &QPushButton::clicked, this, [this] { browse(); });
    auto* outputRow = new QHBoxLayout;
    outputRow->addWidget(outputPathEdit, 1);
    outputRow->addWidget(browseButton);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Printer:"), printerChooser);
    form->addRow(QStringLiteral("Resolution:"), resolutionChooser);
    form->addRow(QStringLiteral("Unprintable margin:"), marginSpinBox);
    form->addRow(QStringLiteral("Output file:"), outputRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

VirtualPrinter::Settings VirtualPrinterDialog::chosenSettings() const
{
    VirtualPrinter::Settings chosen = initial;
    chosen.dpi = resolutionChooser->currentData().toInt();
    chosen.marginMm = marginSpinBox->value();
    chosen.outputPath = outputPathEdit->text();
    return chosen;
}

void VirtualPrinterDialog::browse()
{
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Printed page"), outputPathEdit->text(),
                                     QStringLiteral("TIFF images (*.tif *.tiff)"));
    if (!path.isEmpty())
        outputPathEdit->setText(path);
}

} // namespace Plover

#endif
