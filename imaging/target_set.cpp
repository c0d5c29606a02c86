#include "imaging/target_set.h"

#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <vector>

namespace Plover {

namespace {

// A file's place in a set: the name with its last run of digits taken out, and that number.
struct OrderKey
{
    QString stem;
    qint64 number = -1; // -1 for a name without digits
    QString name;
};

OrderKey orderKey(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    static const QRegularExpression lastNumber(QStringLiteral("^(.*?)(\\d+)(\\D*)$"));
    const QRegularExpressionMatch match = lastNumber.match(name);
    if (!match.hasMatch() || match.capturedLength(2) > 18)
        return {name.toLower(), -1, name};
    return {(match.captured(1) + match.captured(3)).toLower(), match.captured(2).toLongLong(), name};
}

bool isTiff(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("tif") || suffix == QLatin1String("tiff");
}

} // namespace

TargetSet targetSetFromPaths(const QStringList& paths)
{
    std::vector<std::pair<OrderKey, QString>> files;
    for (const QString& path : paths)
        files.emplace_back(orderKey(path), path);
    std::stable_sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        const OrderKey& x = a.first;
        const OrderKey& y = b.first;
        if (x.stem != y.stem)
            return x.stem < y.stem;
        if (x.number != y.number)
            return x.number < y.number;
        return x.name < y.name;
    });
    TargetSet set;
    for (const auto& file : files) {
        const int pages = isTiff(file.second) ? ImageLoader::tiffPageCount(file.second) : 1;
        for (int page = 0; page < pages; ++page)
            set.pages.append({file.second, page, pages});
    }
    return set;
}

QString targetPageName(const TargetPageSource& page)
{
    const QString name = QFileInfo(page.filePath).fileName();
    if (page.pagesInFile <= 1)
        return name;
    return QCoreApplication::translate("Plover::TargetSet", "%1, page %2").arg(name).arg(page.pageIndex + 1);
}

TargetImage withStandIn(TargetImage page)
{
    const QImage& full = page.image;
    const int shrink = (std::max(full.width(), full.height()) + standInSide - 1) / standInSide;
    if (shrink <= 1)
        return page;
    const QImage::Format format = full.format();
    if (format != QImage::Format_ARGB32 && format != QImage::Format_RGB32) {
        page.image = full.scaled(standInSide, standInSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return page;
    }
    // Averages whole blocks straight from the page: Qt's smooth scaling would first make a
    // premultiplied copy of it, a second page's worth of memory.
    QImage standIn(std::max(1, full.width() / shrink), std::max(1, full.height() / shrink), format);
    std::vector<quint32> sums(std::size_t(standIn.width()) * 4);
    const quint32 area = quint32(shrink * shrink);
    for (int y = 0; y < standIn.height(); ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int row = y * shrink; row < (y + 1) * shrink; ++row) {
            const auto* pixels = reinterpret_cast<const QRgb*>(full.constScanLine(row));
            for (int x = 0; x < standIn.width(); ++x) {
                quint32* sum = &sums[std::size_t(x) * 4];
                for (const QRgb* pixel = pixels + x * shrink; pixel < pixels + (x + 1) * shrink; ++pixel) {
                    sum[0] += quint32(qAlpha(*pixel));
                    sum[1] += quint32(qRed(*pixel));
                    sum[2] += quint32(qGreen(*pixel));
                    sum[3] += quint32(qBlue(*pixel));
                }
            }
        }
        auto* out = reinterpret_cast<QRgb*>(standIn.scanLine(y));
        for (int x = 0; x < standIn.width(); ++x) {
            const quint32* sum = &sums[std::size_t(x) * 4];
            out[x] = qRgba(int(sum[1] / area), int(sum[2] / area), int(sum[3] / area), int(sum[0] / area));
        }
    }
    page.image = standIn;
    return page;
}

std::optional<LoadedTargetSet> loadTargetSet(const ImageLoader& loader, const TargetSet& set,
                                             std::atomic<int>& pagesDone, const std::atomic<bool>& cancelled)
{
    LoadedTargetSet loaded;
    loaded.set = set;
    loaded.pages.resize(set.pages.size());
    // The first page comes last, so that its full pixels are never held beside another page's.
    std::vector<int> order;
    for (int i = 1; i < set.pages.size(); ++i)
        order.push_back(i);
    if (!set.pages.isEmpty())
        order.push_back(0);
    for (const int i : order) {
        if (cancelled)
            return std::nullopt;
        const TargetPageSource& source = set.pages[i];
        try {
            TargetImage page = loader.loadTargetPage(source);
            if (i == 0)
                loaded.firstPage = page;
            loaded.pages[i] = withStandIn(std::move(page));
        } catch (const ImageLoadException& error) {
            if (set.pages.size() == 1)
                throw;
            throw ImageLoadException(QCoreApplication::translate("Plover::TargetSet", "%1: %2")
                                         .arg(targetPageName(source), error.message()));
        }
        ++pagesDone;
    }
    return loaded;
}

} // namespace Plover
