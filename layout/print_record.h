#pragma once

#include "imaging/target_set.h"
#include "layout/print_layout.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

namespace Plover {

// What a set was printed on and how, kept beside it so that it can be printed the same way again.
struct PrintRecord
{
    QStringList files; // the set's files by name, in print order, in the record's own folder
    int pages = 0;     // the set's pages
    int firstPage = 0; // the pages printed, counted from 1
    int lastPage = 0;
    QString paper; // the catalogue's name
    PageOrientation orientation = PageOrientation::Portrait;
    PrintAlignment alignment = PrintAlignment::Center;
    QString printer;  // empty where nothing has been printed yet
    QSize resolution; // dots per inch in the printer's own sense
    bool icmOff = false;
    QDateTime printed;                                // UTC
    QList<std::pair<QString, QString>> driverOptions; // the printer's own choices, keyword and choice
};

// The record of the set and the layout as they are now, before anything is printed.
PrintRecord currentPrintChoice(const TargetSet& set, const PrintLayout& layout);

QByteArray printRecordToJson(const PrintRecord& record);
// Nothing when the bytes are not a print record.
std::optional<PrintRecord> printRecordFromJson(const QByteArray& json);

// "<set>.plover.json" in the folder of the set's first page, <set> being the name its files share.
QString printRecordPath(const TargetSet& set);

// Where `current` differs from `recorded`, a sentence each. The printer, resolution, ICM and driver
// options count only where `current` names a printer.
QStringList printRecordDifferences(const PrintRecord& recorded, const PrintRecord& current);

} // namespace Plover
