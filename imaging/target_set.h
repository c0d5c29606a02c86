#pragma once

#include <QList>
#include <QString>

namespace Plover {

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

} // namespace Plover
