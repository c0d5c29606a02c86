#include "layout/print_record.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>

namespace Plover {

namespace {

const QString formatName = QStringLiteral("Plover print record");

// Kept in English in the file; shown translated.
const char* const orientationNames[] = {QT_TRANSLATE_NOOP("Plover::PrintRecord", "Portrait"),
                                        QT_TRANSLATE_NOOP("Plover::PrintRecord", "Landscape")};

QString orientationName(PageOrientation orientation)
{
    return QString::fromLatin1(orientationNames[orientation == PageOrientation::Landscape ? 1 : 0]);
}

std::optional<PrintAlignment> alignmentNamed(const QString& name)
{
    for (int value = 0; value < 9; ++value) {
        if (alignmentName(PrintAlignment(value)) == name)
            return PrintAlignment(value);
    }
    return std::nullopt;
}

QString shown(const char* context, const QString& english)
{
    return QCoreApplication::translate(context, english.toUtf8().constData());
}

QString dpiText(QSize dpi)
{
    return QCoreApplication::translate("Plover::PrintRecord", "%1 x %2 dpi")
        .arg(dpi.width())
        .arg(dpi.height());
}

QString icmText(bool off)
{
    return off ? QCoreApplication::translate("Plover::PrintRecord", "off")
               : QCoreApplication::translate("Plover::PrintRecord", "on");
}

} // namespace

PrintRecord currentPrintChoice(const TargetSet& set, const PrintLayout& layout)
{
    PrintRecord record;
    for (const TargetPageSource& page : set.pages) {
        const QString name = QFileInfo(page.filePath).fileName();
        if (!record.files.contains(name))
            record.files << name;
    }
    record.pages = static_cast<int>(set.pages.size());
    record.firstPage = 1;
    record.lastPage = record.pages;
    record.paper = layout.paper.name;
    record.orientation = layout.orientation;
    record.alignment = layout.alignment;
    return record;
}

QByteArray printRecordToJson(const PrintRecord& record)
{
    QJsonArray options;
    for (const auto& [keyword, choice] : record.driverOptions)
        options.append(QJsonObject{{QStringLiteral("keyword"), keyword}, {QStringLiteral("choice"), choice}});
    const QJsonObject json{
        {QStringLiteral("format"), formatName},
        {QStringLiteral("version"), 1},
        {QStringLiteral("files"), QJsonArray::fromStringList(record.files)},
        {QStringLiteral("pages"), record.pages},
        {QStringLiteral("printedPages"),
         QJsonObject{{QStringLiteral("from"), record.firstPage}, {QStringLiteral("to"), record.lastPage}}},
        {QStringLiteral("paper"), record.paper},
        {QStringLiteral("orientation"), orientationName(record.orientation)},
        {QStringLiteral("alignment"), alignmentName(record.alignment)},
        {QStringLiteral("printer"), record.printer},
        {QStringLiteral("resolution"), QJsonObject{{QStringLiteral("x"), record.resolution.width()},
                                                   {QStringLiteral("y"), record.resolution.height()}}},
        {QStringLiteral("icm"), record.icmOff ? QStringLiteral("off") : QStringLiteral("on")},
        {QStringLiteral("printed"), record.printed.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("driverOptions"), options}};
    return QJsonDocument(json).toJson(QJsonDocument::Indented);
}

std::optional<PrintRecord> printRecordFromJson(const QByteArray& json)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    const QString orientation = object.value(QStringLiteral("orientation")).toString();
    const std::optional<PrintAlignment> alignment =
        alignmentNamed(object.value(QStringLiteral("alignment")).toString());
    if (object.value(QStringLiteral("format")).toString() != formatName || !alignment ||
        (orientation != orientationName(PageOrientation::Portrait) &&
         orientation != orientationName(PageOrientation::Landscape)))
        return std::nullopt;
    PrintRecord record;
    for (const QJsonValue file : object.value(QStringLiteral("files")).toArray())
        record.files << file.toString();
    record.pages = object.value(QStringLiteral("pages")).toInt();
    const QJsonObject printedPages = object.value(QStringLiteral("printedPages")).toObject();
    record.firstPage = printedPages.value(QStringLiteral("from")).toInt();
    record.lastPage = printedPages.value(QStringLiteral("to")).toInt();
    record.paper = object.value(QStringLiteral("paper")).toString();
    record.orientation = orientation == orientationName(PageOrientation::Landscape)
                             ? PageOrientation::Landscape
                             : PageOrientation::Portrait;
    record.alignment = *alignment;
    record.printer = object.value(QStringLiteral("printer")).toString();
    const QJsonObject resolution = object.value(QStringLiteral("resolution")).toObject();
    record.resolution =
        QSize(resolution.value(QStringLiteral("x")).toInt(), resolution.value(QStringLiteral("y")).toInt());
    record.icmOff = object.value(QStringLiteral("icm")).toString() == QLatin1String("off");
    record.printed = QDateTime::fromString(object.value(QStringLiteral("printed")).toString(), Qt::ISODate);
    for (const QJsonValue option : object.value(QStringLiteral("driverOptions")).toArray()) {
        record.driverOptions.append(
            {option[QStringLiteral("keyword")].toString(), option[QStringLiteral("choice")].toString()});
    }
    return record;
}

QString printRecordPath(const TargetSet& set)
{
    if (set.pages.isEmpty())
        return {};
    const QFileInfo first(set.pages.first().filePath);
    QString name = first.completeBaseName();
    const bool oneFile =
        std::all_of(set.pages.cbegin(), set.pages.cend(), [&set](const TargetPageSource& page) {
            return page.filePath == set.pages.first().filePath;
        });
    if (!oneFile) {
        // Numbered files share what comes before their numbers: chart_01.tif and chart_02.tif make "chart".
        static const QRegularExpression number(QStringLiteral("[\\s_.-]*\\d+$"));
        const QString shared = QString(name).remove(number);
        name = shared.isEmpty() ? name : shared;
    }
    return first.path() + QLatin1Char('/') + name + QStringLiteral(".plover.json");
}

QStringList printRecordDifferences(const PrintRecord& recorded, const PrintRecord& current)
{
    QStringList differences;
    const auto differ = [&differences](const char* what, const QString& then, const QString& now) {
        if (then != now)
            differences << QCoreApplication::translate("Plover::PrintRecord", what).arg(then, now);
    };
    const QString separator = QStringLiteral(", ");
    differ(QT_TRANSLATE_NOOP("Plover::PrintRecord", "Files: %1 then, %2 now"), recorded.files.join(separator),
           current.files.join(separator));
    differ(QT_TRANSLATE_NOOP("Plover::PrintRecord", "Pages: %1 then, %2 now"),
           QString::number(recorded.pages), QString::number(current.pages));
    differ(QT_TRANSLATE_NOOP("Plover::PrintRecord", "Paper: %1 then, %2 now"), recorded.paper, current.paper);
    differ(QT_TRANSLATE_NOOP("Plover::PrintRecord", "Orientation: %1 then, %2 now"),
           shown("Plover::PrintRecord", orientationName(recorded.orientation)),
           shown("Plover::PrintRecord", orientationName(current.orientation)));
    differ(QT_TRANSLATE_NOOP("Plover::PrintRecord", "Alignment: %1 then, %2 now"),
           shown("Plover::PrintAlignment", alignmentName(recorded.alignment)),
           shown("Plover::PrintAlignment", alignmentName(current.alignment)));
    if (current.printer.isEmpty())
        return differences;
    differ(QT_TRANSLATE_NOOP("Plover::PrintRecord", "Printer: \"%1\" then, \"%2\" now"), recorded.printer,
           current.printer);
    differ(QT_TRANSLATE_NOOP("Plover::PrintRecord", "Resolution: %1 then, %2 now"),
           dpiText(recorded.resolution), dpiText(current.resolution));
    differ(QT_TRANSLATE_NOOP("Plover::PrintRecord", "ICM: %1 then, %2 now"), icmText(recorded.icmOff),
           icmText(current.icmOff));
    // Every keyword either side knows, in the order the record has them, then the new ones.
    const auto choiceOf = [](const PrintRecord& record, const QString& keyword) {
        for (const auto& [key, choice] : record.driverOptions) {
            if (key == keyword)
                return choice;
        }
        return QCoreApplication::translate("Plover::PrintRecord", "not set");
    };
    QStringList keywords;
    for (const PrintRecord* record : {&recorded, &current}) {
        for (const auto& option : record->driverOptions) {
            if (!keywords.contains(option.first))
                keywords << option.first;
        }
    }
    for (const QString& keyword : keywords) {
        const QString then = choiceOf(recorded, keyword), now = choiceOf(current, keyword);
        if (then != now)
            differences << QCoreApplication::translate("Plover::PrintRecord",
                                                       "Driver option %1: %2 then, %3 now")
                               .arg(keyword, then, now);
    }
    return differences;
}

} // namespace Plover
