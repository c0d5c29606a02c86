#include "printing/tiff_page_encoder.h"

#ifndef _WIN32

#include "printing/page_raster.h"
#include "printing/print_device.h"

#include <QFile>
#include <cstdint>
#include <memory>
#include <tiffio.h>
#include <vector>

namespace Plover::PrintSystem {

bool writeTiffPage(const QString& path, const PageRaster& page, const PageJob& job)
{
    const std::unique_ptr<TIFF, void (*)(TIFF*)> file(TIFFOpen(QFile::encodeName(path).constData(), "w"),
                                                      TIFFClose);
    if (!file)
        return false;
    TIFF* tiff = file.get();
    const auto width = static_cast<std::uint32_t>(page.size().width());
    const auto height = static_cast<std::uint32_t>(page.size().height());
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<double>(job.dpiX));
    TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<double>(job.dpiY));
    TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    const QByteArray name = job.documentName.toUtf8();
    TIFFSetField(tiff, TIFFTAG_DOCUMENTNAME, name.constData());
    TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, job.icmOff ? "ICM: off" : "ICM: on");
    TIFFSetField(tiff, TIFFTAG_SOFTWARE, "Plover Virtual Printer");

    // libtiff gathers the scan lines into strips, so only one strip is buffered at a time.
    std::vector<std::uint8_t> line(static_cast<std::size_t>(width) * 3);
    for (std::uint32_t y = 0; y < height; ++y) {
        page.portraitRow(false, static_cast<int>(y), line.data());
        if (TIFFWriteScanline(tiff, line.data(), y, 0) < 0)
            return false;
    }
    return TIFFWriteDirectory(tiff) != 0;
}

} // namespace Plover::PrintSystem

#endif
