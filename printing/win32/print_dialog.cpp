#include "printing/win32/print_dialog.h"

#ifndef _WIN32

#include "printing/devices/cups_printer.h"
#include "printing/devices/file_printer.h"
#include "printing/devices/remembered_options.h"
#include "printing/win32/options_dialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QThreadPool>
#include <QVBoxLayout>
#include <algorithm>
#include <mutex>

namespace Plover::PrintSystem {

namespace {

// How long one destination may take to answer; the others are not held up meanwhile.
constexpr int answerTimeoutMs = 15000;

// The threads that ask the destinations. They belong to the application, which waits for them when it
// closes; a dialog closed early only stops listening.
QThreadPool& destinationQueries()
{
    static QPointer<QThreadPool> pool;
    if (!pool) {
        pool = new QThreadPool(QCoreApplication::instance());
        pool->setMaxThreadCount(16);
    }
    return *pool;
}

QString resolutionText(const ResolutionChoice& resolution)
{
    const QSize dpi = resolution.dpi;
    const QString value = dpi.width() == dpi.height()
                              ? QCoreApplication::translate("Plover::PrintSystem", "%1 dpi").arg(dpi.width())
                              : QCoreApplication::translate("Plover::PrintSystem", "%1 x %2 dpi")
                                    .arg(dpi.width())
                                    .arg(dpi.height());
    return resolution.label.isEmpty() ? value : QStringLiteral("%1 (%2)").arg(value, resolution.label);
}

// Why the file printer cannot create `path`, or nothing when it can.
QString outputProblem(const QString& path)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (path.trimmed().isEmpty())
        return QCoreApplication::translate("Plover::PrintSystem",
                                           "Choose the file that receives the printed page.");
    if (!folder.isDir())
        return QCoreApplication::translate("Plover::PrintSystem", "The folder \"%1\" does not exist.")
            .arg(QDir::toNativeSeparators(folder.filePath()));
    if (file.isDir() || (file.exists() ? !file.isWritable() : !folder.isWritable()))
        return QCoreApplication::translate("Plover::PrintSystem", "Plover may not write the file \"%1\".")
            .arg(QDir::toNativeSeparators(path));
    return {};
}

} // namespace

// What the worker thread has found so far; it outlives a dialog closed before the answers came.
struct DestinationSearch
{
    std::mutex mutex;
    bool listed = false;
    QList<CupsDestination> destinations;
    QList<bool> answered;
};

PrintDialog::PrintDialog(QWidget* parent, DialogStart start)
    : QDialog(parent), start(std::move(start)), search(std::make_shared<DestinationSearch>())
{
    setWindowTitle(QCoreApplication::translate("Plover::PrintSystem", "Print"));

    printerChooser = new QComboBox;
    printerChooser->setObjectName(QStringLiteral("printerChooser"));
    printerChooser->addItem(FilePrinter::printerName());
    statusLabel = new QLabel(QCoreApplication::translate("Plover::PrintSystem", "Looking for printers..."));

    resolutionChooser = new QComboBox;
    resolutionChooser->setObjectName(QStringLiteral("resolutionChooser"));
    copiesSpinBox = new QSpinBox;
    copiesSpinBox->setObjectName(QStringLiteral("copiesSpinBox"));

    marginSpinBox = new QDoubleSpinBox;
    marginSpinBox->setObjectName(QStringLiteral("marginSpinBox"));
    marginSpinBox->setRange(0.0, 25.0);
    marginSpinBox->setDecimals(1);
    marginSpinBox->setSingleStep(0.5);
    marginSpinBox->setSuffix(QCoreApplication::translate("Plover::PrintSystem", " mm"));
    marginSpinBox->setValue(3.0);

    outputPathEdit = new QLineEdit(
        QDir::home().filePath(QCoreApplication::translate("Plover::PrintSystem", "Plover printed page.tif")));
    outputPathEdit->setObjectName(QStringLiteral("outputPathEdit"));
    auto* browseButton = new QPushButton(QCoreApplication::translate("Plover::PrintSystem", "Browse..."));
    connect(browseButton, &QPushButton::clicked, this, [this] { browse(); });
    outputRow = new QWidget;
    auto* outputLayout = new QHBoxLayout(outputRow);
    outputLayout->setContentsMargins(0, 0, 0, 0);
    outputLayout->addWidget(outputPathEdit, 1);
    outputLayout->addWidget(browseButton);

    form = new QFormLayout;
    form->addRow(QCoreApplication::translate("Plover::PrintSystem", "Printer:"), printerChooser);
    form->addRow(QString(), statusLabel);
    form->addRow(QCoreApplication::translate("Plover::PrintSystem", "Resolution:"), resolutionChooser);
    form->addRow(QCoreApplication::translate("Plover::PrintSystem", "Copies:"), copiesSpinBox);
    form->addRow(QCoreApplication::translate("Plover::PrintSystem", "Unprintable margin:"), marginSpinBox);
    form->addRow(QCoreApplication::translate("Plover::PrintSystem", "Output file:"), outputRow);
    QWidget* pagesRow = buildPageRange();
    form->addRow(QCoreApplication::translate("Plover::PrintSystem", "Print range:"), pagesRow);
    form->setRowVisible(pagesRow, this->start.maxPage > 0);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    okButton = buttons->button(QDialogButtonBox::Ok);
    optionsButton = buttons->addButton(QCoreApplication::translate("Plover::PrintSystem", "Options…"),
                                       QDialogButtonBox::ActionRole);
    optionsButton->setObjectName(QStringLiteral("optionsButton"));
    connect(optionsButton, &QPushButton::clicked, this, [this] { editOptions(); });
    // A resolution chosen here sets the driver's options that decide it.
    connect(resolutionChooser, &QComboBox::currentIndexChanged, this, [this] {
        const CupsDestination* destination = currentDestination();
        const ResolutionChoice* resolution =
            destination ? destination->resolution(resolutionChooser->currentData().toSize()) : nullptr;
        if (resolution)
            options = withResolution(destination->options, options, *resolution);
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(printerChooser, &QComboBox::activated, this, [this] { userChosePrinter = true; });
    connect(printerChooser, &QComboBox::currentIndexChanged, this, [this] { showPrinter(); });
    showPrinter();

    // libcups may block on a destination that does not answer, so each is asked on a thread of its own.
    destinationQueries().start([found = search] {
        const QList<CupsDestination> list = listCupsDestinations();
        {
            const std::lock_guard<std::mutex> lock(found->mutex);
            found->destinations = list;
            found->answered = QList<bool>(list.size(), false);
            found->listed = true;
        }
        for (qsizetype i = 0; i < list.size(); ++i) {
            destinationQueries().start([found, i, destination = list[i]]() mutable {
                queryCupsDestination(destination, answerTimeoutMs);
                const std::lock_guard<std::mutex> lock(found->mutex);
                found->destinations[i] = destination;
                found->answered[i] = true;
            });
        }
    });
    connect(&poll, &QTimer::timeout, this, [this] { collectAnswers(); });
    poll.start(50);
}

PrintDialog::~PrintDialog() = default;

// "All" or "Pages from ... to ...", within the pages offered.
QWidget* PrintDialog::buildPageRange()
{
    auto* allPagesButton = new QRadioButton(QCoreApplication::translate("Plover::PrintSystem", "All"));
    allPagesButton->setObjectName(QStringLiteral("allPagesButton"));
    pageRangeButton = new QRadioButton(QCoreApplication::translate("Plover::PrintSystem", "Pages from"));
    pageRangeButton->setObjectName(QStringLiteral("pageRangeButton"));
    fromPageSpinBox = new QSpinBox;
    fromPageSpinBox->setObjectName(QStringLiteral("fromPageSpinBox"));
    toPageSpinBox = new QSpinBox;
    toPageSpinBox->setObjectName(QStringLiteral("toPageSpinBox"));
    const int first = std::max(1, start.minPage), last = std::max(first, start.maxPage);
    for (QSpinBox* page : {fromPageSpinBox, toPageSpinBox})
        page->setRange(first, last);
    fromPageSpinBox->setValue(start.pageRange ? start.fromPage : first);
    toPageSpinBox->setValue(start.pageRange ? start.toPage : last);
    (start.pageRange ? pageRangeButton : allPagesButton)->setChecked(true);
    // Typing a page chooses the range; the range never runs backwards.
    connect(fromPageSpinBox, &QSpinBox::valueChanged, this, [this](int from) {
        pageRangeButton->setChecked(true);
        toPageSpinBox->setValue(std::max(from, toPageSpinBox->value()));
    });
    connect(toPageSpinBox, &QSpinBox::valueChanged, this, [this](int to) {
        pageRangeButton->setChecked(true);
        fromPageSpinBox->setValue(std::min(to, fromPageSpinBox->value()));
    });

    auto* row = new QWidget;
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(0, 0, 0, 0);
    rowLayout->addWidget(allPagesButton);
    rowLayout->addWidget(pageRangeButton);
    rowLayout->addWidget(fromPageSpinBox);
    rowLayout->addWidget(new QLabel(QCoreApplication::translate("Plover::PrintSystem", "to")));
    rowLayout->addWidget(toPageSpinBox);
    rowLayout->addStretch(1);
    return row;
}

std::optional<PrinterChoice> PrintDialog::choosePrinter(QWidget* parent, const DialogStart& start)
{
    PrintDialog dialog(parent, start);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

void PrintDialog::collectAnswers()
{
    {
        const std::lock_guard<std::mutex> lock(search->mutex);
        if (!search->listed)
            return;
        const bool first = destinations.isEmpty() && !search->destinations.isEmpty();
        destinations = search->destinations;
        answered = search->answered;
        if (first) {
            for (qsizetype i = 0; i < destinations.size(); ++i)
                printerChooser->insertItem(static_cast<int>(i), destinations[i].displayName());
        }
    }
    // The printer asked for where it is listed (the file printer always is), else the system's default.
    const bool startPrinterListed =
        start.printer == FilePrinter::printerName() ||
        std::any_of(destinations.cbegin(), destinations.cend(),
                    [this](const CupsDestination& d) { return d.displayName() == start.printer; });
    bool waiting = false;
    for (qsizetype i = 0; i < destinations.size(); ++i) {
        const bool unavailable = answered[i] && !destinations[i].available;
        waiting = waiting || !answered[i];
        printerChooser->setItemText(
            static_cast<int>(i),
            unavailable ? destinations[i].displayName() +
                              QCoreApplication::translate("Plover::PrintSystem", " (unavailable)")
                        : destinations[i].displayName());
        const bool wanted =
            startPrinterListed ? destinations[i].displayName() == start.printer : destinations[i].isDefault;
        if (wanted && !userChosePrinter && printerChooser->currentIndex() != i)
            printerChooser->setCurrentIndex(static_cast<int>(i));
    }
    statusLabel->setVisible(waiting);
    if (!waiting)
        poll.stop();
    showPrinter();
}

bool PrintDialog::isFilePrinter() const
{
    return printerChooser->currentIndex() == printerChooser->count() - 1;
}

const CupsDestination* PrintDialog::currentDestination() const
{
    const int index = printerChooser->currentIndex();
    if (isFilePrinter() || index < 0 || index >= answered.size() || !answered[index] ||
        !destinations[index].available)
        return nullptr;
    return &destinations[index];
}

// Fills the choices of the printer now selected, from its own defaults.
void PrintDialog::showPrinter()
{
    const CupsDestination* destination = currentDestination();
    QList<ResolutionChoice> resolutions;
    QSize preferred(600, 600);
    if (destination) {
        resolutions = destination->resolutions;
        preferred = destination->defaultResolution;
    } else if (isFilePrinter()) {
        for (const int dpi : FilePrinter::resolutions())
            resolutions.append({QSize(dpi, dpi), {}, {}});
    }
    const QVariant shown = resolutionChooser->property("printer");
    if (shown != printerChooser->currentText() || resolutionChooser->count() != resolutions.size()) {
        resolutionChooser->setProperty("printer", printerChooser->currentText());
        // The driver's settings last printed with on this destination, and the resolution they render.
        const OptionChoices remembered =
            destination ? currentChoices(destination->options, rememberedOptions(destination->displayName()))
                        : OptionChoices();
        if (destination && destination->resolution(renderedResolution(destination->options, remembered)))
            preferred = renderedResolution(destination->options, remembered);
        resolutionChooser->clear();
        for (const ResolutionChoice& resolution : resolutions)
            resolutionChooser->addItem(resolutionText(resolution), resolution.dpi);
        options = remembered;
        const bool startPrinter = printerChooser->currentText() == start.printer;
        const int startResolution = startPrinter ? resolutionChooser->findData(start.resolution) : -1;
        resolutionChooser->setCurrentIndex(
            startResolution >= 0 ? startResolution : std::max(0, resolutionChooser->findData(preferred)));
        copiesSpinBox->setRange(1, destination ? std::max(1, destination->maxCopies) : 1);
        copiesSpinBox->setValue(startPrinter && start.copies > 0 ? start.copies : 1);
    }
    form->setRowVisible(copiesSpinBox, destination != nullptr);
    form->setRowVisible(marginSpinBox, isFilePrinter());
    form->setRowVisible(outputRow, isFilePrinter());
    okButton->setEnabled(isFilePrinter() || destination);
    optionsButton->setEnabled(destination && !destination->options.options.isEmpty());
}

void PrintDialog::editOptions()
{
    const CupsDestination* destination = currentDestination();
    if (!destination)
        return;
    OptionsDialog dialog(*destination, options, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    options = dialog.choices();
    // Other destinations may have answered meanwhile, which renews the list.
    const int rendered =
        resolutionChooser->findData(renderedResolution(currentDestination()->options, options));
    if (rendered >= 0)
        resolutionChooser->setCurrentIndex(rendered);
}

void PrintDialog::accept()
{
    if (isFilePrinter()) {
        const QString problem = outputProblem(outputPathEdit->text());
        if (!problem.isEmpty()) {
            QMessageBox::warning(this, QCoreApplication::translate("Plover::PrintSystem", "Print"),
                                 QCoreApplication::translate("Plover::PrintSystem",
                                                             "The page cannot be printed to this file. %1")
                                     .arg(problem));
            return;
        }
    } else if (!currentDestination()) {
        return;
    } else {
        // Remembered options may no longer agree, with each other or with the resolution chosen here.
        const QStringList conflicts = optionConflicts(currentDestination()->options, options);
        if (!conflicts.isEmpty()) {
            QMessageBox::warning(this, QCoreApplication::translate("Plover::PrintSystem", "Print"),
                                 QCoreApplication::translate("Plover::PrintSystem",
                                                             "The printer's options do not agree. %1 Choose "
                                                             "others in \"Options…\".")
                                     .arg(conflicts.join(u' ')));
            return;
        }
        rememberOptions(currentDestination()->displayName(), options);
    }
    QDialog::accept();
}

PrinterChoice PrintDialog::choice() const
{
    PrinterChoice chosen;
    for (int i = 0; i < resolutionChooser->count(); ++i)
        chosen.resolutions.append(resolutionChooser->itemData(i).toSize());
    chosen.resolution = resolutionChooser->currentData().toSize();
    if (const CupsDestination* destination = currentDestination()) {
        chosen.device = std::make_unique<CupsPrinter>(*destination, jobOptions(destination->options, options),
                                                      parentWidget());
        chosen.copies = copiesSpinBox->value();
    } else {
        chosen.device =
            std::make_unique<FilePrinter>(marginSpinBox->value(), outputPathEdit->text(), parentWidget());
    }
    chosen.pageRange = start.maxPage > 0 && pageRangeButton->isChecked();
    chosen.fromPage = fromPageSpinBox->value();
    chosen.toPage = toPageSpinBox->value();
    return chosen;
}

void PrintDialog::browse()
{
    const QString path = QFileDialog::getSaveFileName(
        this, QCoreApplication::translate("Plover::PrintSystem", "Printed page"), outputPathEdit->text(),
        QCoreApplication::translate("Plover::PrintSystem", "TIFF images (*.tif *.tiff)"));
    if (!path.isEmpty())
        outputPathEdit->setText(path);
}

} // namespace Plover::PrintSystem

#endif
