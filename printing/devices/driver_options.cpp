#include "printing/devices/driver_options.h"

#ifndef _WIN32

#include "printing/devices/cups_destinations.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>
#include <algorithm>
#include <cups/cups.h>

// The PPD interface is deprecated in favour of IPP attributes; it is what the drivers' options and
// their constraints are written in.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

namespace Plover::PrintSystem {

// A driverless destination's constraints are checked against what it said of itself; libcups does
// not ask it again, so the check may run on the GUI thread.
struct IppConstraints
{
    DestinationConnection connection;
};

namespace {

QString text(const char* source)
{
    return QCoreApplication::translate("Plover::PrintSystem", source);
}

// What Plover sends with every job itself, and why the user cannot change it.
struct PloverSetting
{
    const char* keyword;
    const char* lockedTo; // empty: a value of this job (its paper, copies, resolution)
    const char* reason;
};

constexpr const char* paperReason =
    QT_TRANSLATE_NOOP("Plover::PrintSystem", "Plover sends the paper of its layout.");
constexpr const char* colourReason = QT_TRANSLATE_NOOP(
    "Plover::PrintSystem", "Plover sends the target's colours unchanged and keeps colour management off.");

constexpr PloverSetting ppdSettings[] = {
    {"PageSize", "", paperReason},
};

constexpr PloverSetting ippSettings[] = {
    {"media", "", paperReason},
    {"copies", "", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Chosen in the print dialog.")},
    {"printer-resolution", "", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Chosen in the print dialog.")},
    {"print-scaling", "none",
     QT_TRANSLATE_NOOP("Plover::PrintSystem", "Plover prints the target at its own size, never scaled.")},
    {"print-color-mode", "color", colourReason},
};

// A driver's colour model is the PPD's print-color-mode; a choice that lets the printing system match
// colours is colour management under another name.
bool isColourModel(const QString& keyword)
{
    return keyword == QLatin1String("ColorModel");
}

bool managesColour(const QString& keyword)
{
    static const QRegularExpression managed(QStringLiteral("ColorMatch|ColorManage|ICM|ICC|ColorProfile"),
                                            QRegularExpression::CaseInsensitiveOption);
    return managed.match(keyword).hasMatch();
}

// The choice that keeps colours as they are: RGB for a colour model, "off" for colour matching.
QString unmanagedChoice(const DriverOption& option)
{
    static const QRegularExpression rgb(QStringLiteral("^(RGB|Color|RGB24)$"));
    static const QRegularExpression off(QStringLiteral("^(Off|None|No|False)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    for (const OptionChoice& choice : option.choices) {
        if ((isColourModel(option.keyword) ? rgb : off).match(choice.keyword).hasMatch())
            return choice.keyword;
    }
    return option.defaultChoice;
}

void lock(DriverOption& option, const QString& lockedTo, const char* reason)
{
    option.locked = true;
    option.lockedTo = lockedTo;
    option.lockReason = text(reason);
}

// libcups reads a PPD from a file only.
std::unique_ptr<ppd_file_t, void (*)(ppd_file_t*)> openPpd(const QByteArray& ppd)
{
    QTemporaryFile file;
    const bool written = file.open() && file.write(ppd) == ppd.size() && file.flush();
    return {written ? ppdOpenFile(QFile::encodeName(file.fileName()).constData()) : nullptr, ppdClose};
}

QString choiceOf(const OptionChoices& chosen, const QString& keyword)
{
    for (const auto& [option, choice] : chosen) {
        if (option == keyword)
            return choice;
    }
    return {};
}

QString describe(const DriverOptions& options, const QString& keyword, const QString& choice)
{
    const DriverOption* option = options.option(keyword);
    const OptionChoice* chosen = option ? option->choice(choice) : nullptr;
    return QStringLiteral("%1: %2").arg(option ? option->label : keyword, chosen ? chosen->label : choice);
}

} // namespace

const OptionChoice* DriverOption::choice(const QString& keyword) const
{
    const auto found = std::find_if(choices.begin(), choices.end(),
                                    [&](const OptionChoice& c) { return c.keyword == keyword; });
    return found == choices.end() ? nullptr : &*found;
}

const DriverOption* DriverOptions::option(const QString& keyword) const
{
    const auto found = std::find_if(options.begin(), options.end(),
                                    [&](const DriverOption& o) { return o.keyword == keyword; });
    return found == options.end() ? nullptr : &*found;
}

std::optional<DriverOptions> readPpdOptions(const QString& path)
{
    QFile file(path);
    const std::optional<PpdFacts> facts = readPpd(path);
    if (!facts || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    DriverOptions read;
    read.ppd = file.readAll();
    read.renderingOption = QString::fromLatin1(facts->renderingOption);
    const auto ppd = openPpd(read.ppd);
    if (!ppd)
        return std::nullopt;
    ppdLocalize(ppd.get());
    const auto add = [&](const ppd_group_t& group, const ppd_group_t* subgroup) {
        const ppd_group_t& holder = subgroup ? *subgroup : group;
        for (int i = 0; i < holder.num_options; ++i) {
            const ppd_option_t& o = holder.options[i];
            DriverOption option{QString::fromUtf8(group.text),
                                subgroup ? QString::fromUtf8(subgroup->text) : QString(),
                                QString::fromLatin1(o.keyword),
                                QString::fromUtf8(*o.text ? o.text : o.keyword),
                                {},
                                QString::fromLatin1(o.defchoice),
                                false,
                                {},
                                {}};
            for (int c = 0; c < o.num_choices; ++c) {
                // A custom value needs parameters the dialog does not ask for.
                if (qstrcmp(o.choices[c].choice, "Custom") != 0)
                    option.choices.append(
                        {QString::fromLatin1(o.choices[c].choice),
                         QString::fromUtf8(*o.choices[c].text ? o.choices[c].text : o.choices[c].choice),
                         renderedResolution(o.choices[c].code).value_or(QSize())});
            }
            for (const PloverSetting& setting : ppdSettings) {
                if (option.keyword == QLatin1String(setting.keyword))
                    lock(option, QString::fromLatin1(setting.lockedTo), setting.reason);
            }
            if (isColourModel(option.keyword) || managesColour(option.keyword))
                lock(option, unmanagedChoice(option), colourReason);
            // PageRegion is PageSize again, for manual feed; CUPS sets it from PageSize.
            if (!option.choices.isEmpty() && option.keyword != QLatin1String("PageRegion"))
                read.options.append(option);
        }
    };
    for (int g = 0; g < ppd->num_groups; ++g) {
        add(ppd->groups[g], nullptr);
        for (int s = 0; s < ppd->groups[g].num_subgroups; ++s)
            add(ppd->groups[g], &ppd->groups[g].subgroups[s]);
    }
    return read;
}

DriverOptions readIppOptions(DestinationConnection connection)
{
    http_t* http = connection.http.get();
    cups_dest_t* dest = connection.dest.get();
    cups_dinfo_t* info = connection.info.get();
    struct Attribute
    {
        const char* keyword;
        const char* group;
    };
    static const Attribute attributes[] = {
        {"media", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Paper")},
        {"media-type", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Paper")},
        {"media-source", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Paper")},
        {"print-quality", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Quality")},
        {"printer-resolution", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Quality")},
        {"print-content-optimize", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Quality")},
        {"print-color-mode", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Colour")},
        {"print-scaling", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Output")},
        {"copies", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Output")},
        {"sides", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Output")},
        {"output-bin", QT_TRANSLATE_NOOP("Plover::PrintSystem", "Output")},
    };
    const auto valueOf = [](ipp_attribute_t* attribute, int i) {
        if (ippGetValueTag(attribute) == IPP_TAG_ENUM || ippGetValueTag(attribute) == IPP_TAG_INTEGER)
            return QString::number(ippGetInteger(attribute, i));
        if (ippGetValueTag(attribute) == IPP_TAG_RESOLUTION) {
            int y = 0;
            ipp_res_t units = IPP_RES_PER_INCH;
            const int x = ippGetResolution(attribute, i, &y, &units);
            return x == y ? QStringLiteral("%1dpi").arg(x) : QStringLiteral("%1x%2dpi").arg(x).arg(y);
        }
        return QString::fromUtf8(ippGetString(attribute, i, nullptr));
    };
    DriverOptions read;
    for (const Attribute& attribute : attributes) {
        ipp_attribute_t* supported = cupsFindDestSupported(http, dest, info, attribute.keyword);
        if (!supported)
            continue;
        const char* label = cupsLocalizeDestOption(http, dest, info, attribute.keyword);
        DriverOption option{text(attribute.group),
                            {},
                            QString::fromLatin1(attribute.keyword),
                            QString::fromUtf8(label ? label : attribute.keyword),
                            {},
                            {},
                            false,
                            {},
                            {}};
        const bool listed = ippGetValueTag(supported) != IPP_TAG_RANGE;
        for (int i = 0; listed && i < ippGetCount(supported); ++i) {
            const QString value = valueOf(supported, i);
            const QByteArray named =
                ippGetValueTag(supported) == IPP_TAG_ENUM
                    ? QByteArray(ippEnumString(attribute.keyword, ippGetInteger(supported, i)))
                    : value.toUtf8();
            const char* shown = cupsLocalizeDestValue(http, dest, info, attribute.keyword, named.constData());
            option.choices.append({value, QString::fromUtf8(shown ? shown : named.constData()), {}});
        }
        if (ipp_attribute_t* byDefault = cupsFindDestDefault(http, dest, info, attribute.keyword))
            option.defaultChoice = valueOf(byDefault, 0);
        for (const PloverSetting& setting : ippSettings) {
            if (option.keyword == QLatin1String(setting.keyword))
                lock(option, QString::fromLatin1(setting.lockedTo), setting.reason);
        }
        if (!option.choices.isEmpty() || option.locked)
            read.options.append(option);
    }
    read.ipp = std::make_shared<IppConstraints>(IppConstraints{std::move(connection)});
    return read;
}

OptionChoices currentChoices(const DriverOptions& options, const OptionChoices& remembered)
{
    OptionChoices current;
    for (const DriverOption& option : options.options) {
        if (option.locked || option.choices.isEmpty())
            continue;
        const QString wanted = choiceOf(remembered, option.keyword);
        // A queue without a default of its own (a generated PPD's "Unknown") is left to the printer.
        const QString choice = option.choice(wanted) ? wanted : option.defaultChoice;
        if (option.choice(choice))
            current.append({option.keyword, choice});
    }
    return current;
}

QSize renderedResolution(const DriverOptions& options, const OptionChoices& chosen)
{
    const DriverOption* rendering = options.option(options.renderingOption);
    const OptionChoice* choice =
        rendering ? rendering->choice(choiceOf(chosen, rendering->keyword)) : nullptr;
    return choice ? choice->renders : QSize();
}

OptionChoices withResolution(const DriverOptions& options, OptionChoices chosen,
                             const ResolutionChoice& resolution)
{
    const bool agree =
        std::all_of(resolution.ppdOptions.begin(), resolution.ppdOptions.end(), [&](const auto& setting) {
            const DriverOption* option = options.option(QString::fromLatin1(setting.first));
            const OptionChoice* choice = option ? option->choice(choiceOf(chosen, option->keyword)) : nullptr;
            return choice && choice->renders == resolution.dpi;
        });
    if (agree)
        return chosen;
    for (const auto& [keyword, choice] : resolution.ppdOptions) {
        const QString option = QString::fromLatin1(keyword);
        const auto found =
            std::find_if(chosen.begin(), chosen.end(), [&](const auto& c) { return c.first == option; });
        if (found != chosen.end())
            found->second = QString::fromLatin1(choice);
        else
            chosen.append({option, QString::fromLatin1(choice)});
    }
    return chosen;
}

QStringList optionConflicts(const DriverOptions& options, const OptionChoices& chosen)
{
    QStringList found;
    QSet<QString> told;
    const auto tell = [&](const QString& a, const QString& b) {
        const QString pair = a < b ? a + u'\n' + b : b + u'\n' + a;
        if (told.contains(pair))
            return;
        told.insert(pair);
        found << QCoreApplication::translate("Plover::PrintSystem", "\"%1\" cannot be combined with \"%2\".")
                     .arg(a, b);
    };
    if (!options.ppd.isEmpty()) {
        const auto ppd = openPpd(options.ppd);
        if (!ppd)
            return found;
        ppdMarkDefaults(ppd.get());
        for (const auto& [option, choice] : chosen)
            ppdMarkOption(ppd.get(), option.toLatin1().constData(), choice.toLatin1().constData());
        // libcups names every option of an active constraint, also to an option outside it: a pair is
        // a conflict where each names the other.
        QSet<std::pair<QString, QString>> named;
        for (const auto& [option, choice] : chosen) {
            cups_option_t* conflicts = nullptr;
            const int count = cupsGetConflicts(ppd.get(), option.toLatin1().constData(),
                                               choice.toLatin1().constData(), &conflicts);
            for (int i = 0; i < count; ++i) {
                const QString other = QString::fromLatin1(conflicts[i].name);
                if (named.contains({other, option}))
                    tell(describe(options, option, choice),
                         describe(options, other, QString::fromLatin1(conflicts[i].value)));
                named.insert({option, other});
            }
            cupsFreeOptions(count, conflicts);
        }
    } else if (options.ipp && options.ipp->connection.isOpen()) {
        const DestinationConnection& c = options.ipp->connection;
        for (const auto& [option, choice] : chosen) {
            cups_option_t* others = nullptr;
            int count = 0;
            for (const auto& [otherOption, otherChoice] : chosen) {
                if (otherOption != option)
                    count = cupsAddOption(otherOption.toUtf8().constData(), otherChoice.toUtf8().constData(),
                                          count, &others);
            }
            int conflicting = 0, resolved = 0;
            cups_option_t *conflicts = nullptr, *resolution = nullptr;
            if (cupsCopyDestConflicts(c.http.get(), c.dest.get(), c.info.get(), count, others,
                                      option.toUtf8().constData(), choice.toUtf8().constData(), &conflicting,
                                      &conflicts, &resolved, &resolution) == 1) {
                for (int i = 0; i < conflicting; ++i) {
                    if (option != QLatin1String(conflicts[i].name))
                        tell(describe(options, option, choice),
                             describe(options, QString::fromUtf8(conflicts[i].name),
                                      QString::fromUtf8(conflicts[i].value)));
                }
            }
            cupsFreeOptions(count, others);
            cupsFreeOptions(conflicting, conflicts);
            cupsFreeOptions(resolved, resolution);
        }
    }
    return found;
}

OptionChoices jobOptions(const DriverOptions& options, const OptionChoices& chosen)
{
    OptionChoices job;
    for (const DriverOption& option : options.options) {
        const QString choice = option.locked ? option.lockedTo : choiceOf(chosen, option.keyword);
        if (!choice.isEmpty())
            job.append({option.keyword, choice});
    }
    return job;
}

} // namespace Plover::PrintSystem

#pragma GCC diagnostic pop

#endif
