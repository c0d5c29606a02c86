#include "layout/print_record.h"
#include "main_window.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QSaveFile>

#ifndef _WIN32
#include "printing/devices/remembered_options.h"
#endif

namespace Plover {

namespace {

// A record is a few hundred bytes; a larger file is not one.
constexpr qint64 largestRecord = 1 << 20;

// The driver's own settings as the print dialog keeps them for a printer. A Windows driver keeps its
// own in its device mode, out of the record's reach.
QList<std::pair<QString, QString>> driverOptionsOf(const QString& printer)
{
#ifndef _WIN32
    return PrintSystem::rememberedOptions(printer);
#else
    Q_UNUSED(printer);
    return {};
#endif
}

void restoreDriverOptions(const QString& printer, const QList<std::pair<QString, QString>>& options)
{
#ifndef _WIN32
    if (!options.isEmpty())
        PrintSystem::rememberOptions(printer, options);
#else
    Q_UNUSED(printer);
    Q_UNUSED(options);
#endif
}

} // namespace

void MainWindow::rememberPrint(const TargetSet& set, const PrintedDocument& printed)
{
    // Reprinting a spoilt page of the set starts from the printer and resolution it went out on.
    printerPreset = {printed.printer, printed.resolution};

    PrintRecord record = currentPrintChoice(set, printLayout);
    record.firstPage = printed.firstPage;
    record.lastPage = printed.lastPage;
    record.printer = printed.printer;
    record.resolution = printed.resolution;
    record.icmOff = printed.icmOff;
    record.driverOptions = driverOptionsOf(printed.printer);
    record.printed = QDateTime::currentDateTimeUtc();
    const QString path = printRecordPath(set);
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(printRecordToJson(record)) >= 0 && file.commit())
        return;
    QMessageBox::warning(this, tr("Print record"),
                         tr("The set was printed, but its print record could not be written to \"%1\": %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
}

void MainWindow::offerPrintRecord(const TargetSet& set)
{
    printerPreset = {};
    if (set.pages.size() < 2)
        return;
    QFile file(printRecordPath(set));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const std::optional<PrintRecord> record = printRecordFromJson(file.read(largestRecord));
    if (!record)
        return;

    const QString orientation =
        record->orientation == PageOrientation::Landscape ? tr("Landscape") : tr("Portrait");
    const QString resolution =
        tr("%1 x %2 dpi").arg(record->resolution.width()).arg(record->resolution.height());
    // The next print dialog starts on the recorded printer, with the settings it keeps for it now.
    PrintRecord current = currentPrintChoice(set, printLayout);
    current.printer = record->printer;
    current.resolution = record->resolution;
    current.icmOff = record->icmOff;
    current.driverOptions = driverOptionsOf(record->printer);
    const QStringList differences = printRecordDifferences(*record, current);
    QString details = differences.isEmpty()
                          ? tr("The current choice is the same.")
                          : tr("The current choice differs:\n%1").arg(differences.join(u'\n'));
    if (record->firstPage != 1 || record->lastPage != record->pages)
        details +=
            u'\n' + tr("Only pages %1 to %2 were printed then.").arg(record->firstPage).arg(record->lastPage);
    QMessageBox question(
        QMessageBox::Question, tr("Print record"),
        tr("This set was printed on %1 on \"%2\" at %3, on %4, %5, %6. Print it the same way again?")
            .arg(QLocale::c().toString(record->printed.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm")),
                 record->printer, resolution, record->paper, orientation,
                 QCoreApplication::translate("Plover::PrintAlignment",
                                             alignmentName(record->alignment).toUtf8().constData())),
        QMessageBox::Yes | QMessageBox::No, this);
    question.setInformativeText(details);
    question.setDefaultButton(QMessageBox::Yes);
    if (question.exec() != QMessageBox::Yes)
        return;

    for (const PaperSize& paper : paperSizes()) {
        if (paper.name == record->paper)
            printLayout.paper = paper;
    }
    printLayout.orientation = record->orientation;
    printLayout.alignment = record->alignment;
    if (naturalOrientation)
        printLayout.rotationDegrees = printLayout.orientation == *naturalOrientation ? 0 : 90;
    printerPreset = {record->printer, record->resolution};
    restoreDriverOptions(record->printer, record->driverOptions);
    saveSettings();
    syncControls();
    updateImageInfo();
    refreshPreview();
}

} // namespace Plover
