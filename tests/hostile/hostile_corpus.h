#pragma once

// The hostile corpus that the build writes (tools/make_hostile_corpus.cpp), and what a load of
// one of its files may end in.
#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"
#include "imaging/target_image.h"

#include <QColorSpace>
#include <QDir>
#include <QStringList>
#include <cmath>
#include <exception>
#include <optional>

namespace PloverTest {

inline QString hostileCorpusDir()
{
    return QStringLiteral(PLOVER_HOSTILE_CORPUS);
}

// Every entry: files, directories and sockets alike.
inline QStringList hostileCorpusNames()
{
    return QDir(hostileCorpusDir())
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

inline const QStringList& loadMessages()
{
    static const QStringList messages = {
        QStringLiteral("Choose a TIFF, JPEG, or PNG image."),
        QStringLiteral("The file could not be read as an image."),
        QStringLiteral("The file could not be read as a TIFF image."),
        QStringLiteral("The TIFF image size could not be read."),
        QStringLiteral("Unsupported color model. Use an RGB, grayscale, or CMYK target image."),
        QStringLiteral("The TIFF image data could not be decoded."),
        QStringLiteral("The TIFF image is too large to load."),
    };
    return messages;
}

// A sentence a user can read: a capital first, a full stop last, words between.
inline bool isSentence(const QString& text)
{
    return text.size() > 8 && text.front().isUpper() && text.endsWith(QLatin1Char('.')) &&
           text.contains(QLatin1Char(' ')) && !text.contains(QLatin1String("::"));
}

// The load's outcome: the record, or the text the window would show.
struct LoadOutcome
{
    std::optional<Plover::TargetImage> record;
    QString message;
    bool ownException = false;
};

inline LoadOutcome loadOutcome(const QString& path)
{
    LoadOutcome outcome;
    try {
        outcome.record = Plover::ImageLoader().loadTargetImage(path);
    } catch (const Plover::ImageLoadException& failure) {
        outcome.message = failure.message();
        outcome.ownException = true;
    } catch (const std::exception& failure) {
        outcome.message = QString::fromUtf8(failure.what());
    }
    return outcome;
}

// What every record a loader returns satisfies; empty when it does, else the broken rule.
inline QString brokenRecordRule(const Plover::TargetImage& record)
{
    if (record.image.isNull() || record.pixelWidth != record.image.width() ||
        record.pixelHeight != record.image.height())
        return QStringLiteral("size equals image size");
    if (!std::isfinite(record.dpiX) || !std::isfinite(record.dpiY) || record.dpiX <= 0 || record.dpiY <= 0)
        return QStringLiteral("resolution finite and positive");
    if (!Plover::ImageLoader::isSupportedColorModel(record.colorModel))
        return QStringLiteral("colour model");
    if (record.image.colorSpace().isValid())
        return QStringLiteral("no colour space on the image");
    return {};
}

} // namespace PloverTest
