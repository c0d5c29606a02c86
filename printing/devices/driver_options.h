#pragma once

#ifndef _WIN32

#include "printing/devices/ppd_facts.h"

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>

namespace Plover::PrintSystem {

// Option keyword and choice keyword, as a job carries them: PPD options or IPP job attributes.
using OptionChoices = QList<std::pair<QString, QString>>; // as remembered_options.h keeps them

struct OptionChoice
{
    QString keyword;
    QString label;
    QSize renders; // the resolution the choice sets, invalid where it leaves it alone
};

// One setting of a queue as its driver describes it.
struct DriverOption
{
    QString group;
    QString subgroup;
    QString keyword;
    QString label;
    QList<OptionChoice> choices;
    QString defaultChoice;
    // Plover decides it: shown, never the user's. `lockedTo` is the choice the job carries, or empty
    // where Plover sends its own value with every job (paper, copies, resolution).
    bool locked = false;
    QString lockedTo;
    QString lockReason;

    const OptionChoice* choice(const QString& keyword) const;
};

struct DestinationConnection;
struct IppConstraints;

// Every setting a destination offers, with what is needed to check a set of choices against it.
struct DriverOptions
{
    QList<DriverOption> options;
    QString renderingOption; // the option whose choice decides the resolution the driver renders
    QByteArray ppd;          // the queue's PPD, empty for a driverless destination
    std::shared_ptr<IppConstraints> ipp;

    const DriverOption* option(const QString& keyword) const;
};

// Every UI option of a PPD, with its groups, labels, choices and defaults.
std::optional<DriverOptions> readPpdOptions(const QString& path);
// The job attributes a driverless destination supports, with their choices and defaults; keeps the
// connection to check choices against the destination's constraints.
DriverOptions readIppOptions(DestinationConnection connection);

// The choices of every option that is the user's: the remembered one where the queue still offers it,
// else the queue's default; none where the queue has no default.
OptionChoices currentChoices(const DriverOptions& options, const OptionChoices& remembered);
// The resolution the choices render, invalid where no option decides it.
QSize renderedResolution(const DriverOptions& options, const OptionChoices& chosen);
// The choices with the options that decide the resolution set to `resolution`'s, unless they render it
// already.
OptionChoices withResolution(const DriverOptions& options, OptionChoices chosen,
                             const ResolutionChoice& resolution);
// Each choice the queue does not allow with another, in words; empty when the choices agree.
QStringList optionConflicts(const DriverOptions& options, const OptionChoices& chosen);
// What the job carries besides Plover's own attributes: every choice of the user, and the locked
// choices Plover keeps.
OptionChoices jobOptions(const DriverOptions& options, const OptionChoices& chosen);

} // namespace Plover::PrintSystem

#endif
