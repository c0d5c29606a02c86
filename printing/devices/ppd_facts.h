#pragma once

#ifndef _WIN32

#include <QByteArray>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <optional>
#include <utility>

namespace Plover::PrintSystem {

// One resolution a driver renders at, with its own label and the PPD choices that select it. Where
// several options decide the resolution (a quality mode besides Resolution), each is set to a choice
// that renders the same, so that no option overrides another.
struct ResolutionChoice
{
    QSize dpi;
    QString label;
    QList<std::pair<QByteArray, QByteArray>> ppdOptions; // option keyword, choice keyword
};

struct PpdPaper
{
    QString keyword; // the PageSize choice
    QSizeF sizeMm;   // as the PPD writes it, often in whole points
};

// What Plover needs to know of a queue's PPD.
struct PpdFacts
{
    // Only resolutions every deciding option can render, smallest first. A choice is known by what
    // it renders (its HWResolution), never by its keyword, which drivers name as they please.
    QList<ResolutionChoice> resolutions;
    QSize defaultResolution; // what the driver's defaults render, where they agree
    QList<PpdPaper> papers;
    // The deciding option applied last, whose choice the raster's resolution follows.
    QByteArray renderingOption;
};

// What a choice's PostScript asks the rasteriser for, or nothing when it leaves the resolution alone.
std::optional<QSize> renderedResolution(const char* code);

std::optional<PpdFacts> readPpd(const QString& path);

} // namespace Plover::PrintSystem

#endif
