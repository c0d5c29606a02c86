// Feeds arbitrary bytes to loadTargetImage as a file with the suffix named by the environment
// variable PLOVER_FUZZ_SUFFIX (tif, png or jpg). Refusals are the expected outcome; anything
// else (a crash, a sanitizer report, a hang, runaway memory) is a finding.
#include "imaging/image_load_exception.h"
#include "imaging/image_loader.h"

#include <QByteArray>
#include <QColorSpace>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

QString inputPath;

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "record invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Image format plugins are found through the application object.
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir dir;
    const char* suffix = std::getenv("PLOVER_FUZZ_SUFFIX");
    if (!dir.isValid() || !suffix) {
        std::fprintf(stderr, "set PLOVER_FUZZ_SUFFIX to tif, png or jpg\n");
        std::exit(2);
    }
    inputPath = dir.filePath(QStringLiteral("input.") + QString::fromLatin1(suffix));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    {
        QFile file(inputPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    try {
        const Plover::TargetImage record = Plover::ImageLoader().loadTargetImage(inputPath);
        check(record.pixelWidth == record.image.width() && record.pixelHeight == record.image.height(),
              "size equals image size");
        check(std::isfinite(record.dpiX) && record.dpiX > 0.0 && std::isfinite(record.dpiY) &&
                  record.dpiY > 0.0,
              "finite positive resolution");
        check(Plover::ImageLoader::isSupportedColorModel(record.colorModel), "colour model");
        check(!record.image.colorSpace().isValid(), "no colour space on the image");
    } catch (const Plover::ImageLoadException&) {
    } catch (const std::exception&) {
    }
    return 0;
}
