#pragma once

#include "imaging/target_image.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

namespace Plover {

class ImageLoader;

// Where one page of a target set is read from: a file and, in a multi-page TIFF, the page's directory.
struct TargetPageSource
{
    QString filePath;
    int pageIndex = 0;   // the TIFF directory; 0 for every other file
    int pagesInFile = 1; // more than one only in a multi-page TIFF
};

// The pages of one chart in print order. A single image is a set of one page.
struct TargetSet
{
    QList<TargetPageSource> pages;
};

// The files in print order: numbered files by their number (chart_2 before chart_10), the rest by
// name; a multi-page TIFF stands for each of its pages in turn.
TargetSet targetSetFromPaths(const QStringList& paths);

// How a page is named to the user: its file name, and in a multi-page TIFF the page too.
QString targetPageName(const TargetPageSource& page);

// A set whose every page loaded. Only the first page keeps all its pixels; the others are held as
// a stand-in small enough for the screen, so that a set costs about one page of memory.
struct LoadedTargetSet
{
    TargetSet set;
    QList<TargetImage> pages; // each page's facts, with a stand-in image
    TargetImage firstPage;    // the first page with all its pixels
};

// Longest side of a page's stand-in, in pixels.
constexpr int standInSide = 1024;

// The record with its image shrunk (area-averaged) to fit standInSide, when it is larger.
TargetImage withStandIn(TargetImage page);

// Loads every page under the rules of a single image, one at a time, counting them in `pagesDone`.
// A page that fails refuses the whole set: its ImageLoadException is thrown again naming the page
// (a set of one page keeps the message as it was). Empty when `cancelled` turned true.
std::optional<LoadedTargetSet> loadTargetSet(const ImageLoader& loader, const TargetSet& set,
                                             std::atomic<int>& pagesDone, const std::atomic<bool>& cancelled);

} // namespace Plover
