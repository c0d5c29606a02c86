#include "printing/devices/ppd_facts.h"

#ifndef _WIN32

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <map>
#include <memory>

// The PPD interface is deprecated in favour of IPP attributes, which do not say what a driver's own
// choices render; it is what CUPS filters read.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>

namespace Plover::PrintSystem {

std::optional<QSize> renderedResolution(const char* code)
{
    static const QRegularExpression hwResolution(QStringLiteral(R"(/HWResolution\s*\[\s*(\d+)\s+(\d+)\s*\])"));
    const QRegularExpressionMatch found = hwResolution.match(QString::fromLatin1(code ? code : ""));
    if (!found.hasMatch())
        return std::nullopt;
    return QSize(found.captured(1).toInt(), found.captured(2).toInt());
}

namespace {

struct DecidingOption
{
    ppd_option_t* option;
    std::map<std::pair<int, int>, QList<ppd_choice_t*>> choicesByDpi;
};

} // namespace

std::optional<PpdFacts> readPpd(const QString& path)
{
    const std::unique_ptr<ppd_file_t, void (*)(ppd_file_t*)> ppd(ppdOpenFile(QFile::encodeName(path).constData()),
                                                                ppdClose);
    if (!ppd)
        return std::nullopt;
    ppdMarkDefaults(ppd.get());
    PpdFacts facts;

    std::vector<DecidingOption> deciding;
    for (ppd_option_t* option = ppdFirstOption(ppd.get()); option; option = ppdNextOption(ppd.get())) {
        DecidingOption found{option, {}};
        for (int i = 0; i < option->num_choices; ++i) {
            if (const std::optional<QSize> dpi = renderedResolution(option->choices[i].code))
                found.choicesByDpi[{dpi->width(), dpi->height()}].append(&option->choices[i]);
        }
        if (!found.choicesByDpi.empty())
            deciding.push_back(found);
    }
    // The labels come from Resolution where the driver has it, else from the first deciding option.
    std::stable_partition(deciding.begin(), deciding.end(),
                          [](const DecidingOption& o) { return qstrcmp(o.option->keyword, "Resolution") == 0; });

    // Options of equal order are emitted sorted by keyword, and the last HWResolution set is the one
    // the rasteriser uses: what the defaults render is the last deciding option's default.
    const auto emitted = std::max_element(deciding.begin(), deciding.end(), [](const auto& a, const auto& b) {
        return a.option->order != b.option->order ? a.option->order < b.option->order
                                                  : qstrcmp(a.option->keyword, b.option->keyword) < 0;
    });
    if (emitted != deciding.end()) {
        facts.renderingOption = emitted->option->keyword;
        const ppd_choice_t* marked = ppdFindMarkedChoice(ppd.get(), emitted->option->keyword);
        facts.defaultResolution = marked ? renderedResolution(marked->code).value_or(QSize()) : QSize();
    }

    if (!deciding.empty()) {
        for (const auto& [dpi, choices] : deciding.front().choicesByDpi) {
            ResolutionChoice resolution{QSize(dpi.first, dpi.second), {}, {}};
            for (const DecidingOption& o : deciding) {
                const auto here = o.choicesByDpi.find(dpi);
                if (here == o.choicesByDpi.end()) {
                    resolution.ppdOptions.clear();
                    break;
                }
                // The driver's default where it renders this resolution, else its first such choice.
                const auto marked = std::find_if(here->second.begin(), here->second.end(),
                                                 [](const ppd_choice_t* c) { return c->marked; });
                const ppd_choice_t* choice = marked != here->second.end() ? *marked : here->second.front();
                if (resolution.label.isEmpty())
                    resolution.label = QString::fromUtf8(choice->text);
                resolution.ppdOptions.append({QByteArray(o.option->keyword), QByteArray(choice->choice)});
            }
            if (!resolution.ppdOptions.isEmpty())
                facts.resolutions.append(resolution);
        }
        std::sort(facts.resolutions.begin(), facts.resolutions.end(), [](const auto& a, const auto& b) {
            return a.dpi.width() * a.dpi.height() < b.dpi.width() * b.dpi.height();
        });
    }

    for (int i = 0; i < ppd->num_sizes; ++i) {
        const ppd_size_t& size = ppd->sizes[i];
        if (qstrcmp(size.name, "Custom") != 0)
            facts.papers.append({QString::fromUtf8(size.name), QSizeF(size.width, size.length) * (25.4 / 72.0)});
    }
    return facts;
}

} // namespace Plover::PrintSystem

#pragma GCC diagnostic pop

#endif
