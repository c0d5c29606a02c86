#include "imaging/image_header_probe.h"
#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"

#include <QColorSpace>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <cmath>

namespace Plover {

namespace {

constexpr double dotsPerMetrePerInch = 39.37007874015748;
constexpr double fallbackDpi = 72.0;

// Qt's allocation limit, in megabytes, for a file whose data cannot be vouched for: one too short
// to hold the image its header declares (decoders make up the missing rest), or one whose content
// is neither PNG nor JPEG, so that its header is not checked at all. Only a modest image (the
// size of a small real target) is worth the memory then.
constexpr int unverifiedDataLimitMb = 64;

// Targets are large by nature, so Qt's guard against huge allocations is set for the one read
// (0 lifts it) and put back afterwards.
class AllocationLimitScope
{
public:
    explicit AllocationLimitScope(int megabytes) : previous(QImageReader::allocationLimit())
    {
        QImageReader::setAllocationLimit(megabytes);
    }
    ~AllocationLimitScope() { QImageReader::setAllocationLimit(previous); }
    AllocationLimitScope(const AllocationLimitScope&) = delete;
    AllocationLimitScope& operator=(const AllocationLimitScope&) = delete;

private:
    int previous;
};

// Qt fills an undeclared axis with the screen's resolution, so a value counts only when the
// file's own header declares it.
double resolutionOf(int dotsPerMetre, bool declared)
{
    if (!declared)
        return fallbackDpi;
    const double dpi = dotsPerMetre > 0 ? dotsPerMetre / dotsPerMetrePerInch : fallbackDpi;
    return std::isfinite(dpi) && dpi > 0.0 ? dpi : fallbackDpi;
}

} // namespace

TargetImage ImageLoader::readQtImage(const QString& path) const
{
    // Content that is neither PNG nor JPEG (a misnamed file) keeps the values Qt found.
    const ImageHeaderFacts header = probeImageHeader(path);

    QImage image;
    if (!header.headerRunsPastEnd) {
        const bool verified = header.recognized && header.dataMayHoldImage;
        const AllocationLimitScope limit(verified ? 0 : unverifiedDataLimitMb);
        QImageReader reader(path, QByteArray());
        reader.setAutoTransform(false);
        image = reader.read();
    }
    if (image.isNull())
        throw ImageLoadException(
            QCoreApplication::translate("Plover::ImageLoader", "The file could not be read as an image."));

    TargetImage record;
    record.filePath = path;
    record.fileName = QFileInfo(path).fileName();
    record.pixelWidth = image.width();
    record.pixelHeight = image.height();
    record.dpiX = resolutionOf(image.dotsPerMeterX(), !header.recognized || header.declaresDpiX);
    record.dpiY = resolutionOf(image.dotsPerMeterY(), !header.recognized || header.declaresDpiY);

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    const bool cmyk = image.format() == QImage::Format_CMYK8888;
#else
    // Before Qt 6.8 a four-component JPEG arrives already turned into RGB.
    const bool cmyk = header.fourComponentFrame;
#endif
    if (cmyk)
        record.colorModel = QStringLiteral(QT_TRANSLATE_NOOP("Plover::TargetImage", "CMYK"));
    else if (image.isGrayscale())
        record.colorModel = QStringLiteral(QT_TRANSLATE_NOOP("Plover::TargetImage", "Grayscale"));
    else
        record.colorModel = QStringLiteral(QT_TRANSLATE_NOOP("Plover::TargetImage", "RGB"));

    const QColorSpace space = image.colorSpace();
    record.hasIccProfile = space.isValid() && !space.iccProfile().isEmpty();
    if (record.hasIccProfile)
        record.iccProfileDescription = space.description();

    // The profile is reported, never applied: the pixels go out exactly as stored.
    image.setColorSpace(QColorSpace());
    record.image = image;
    return record;
}

} // namespace Plover
