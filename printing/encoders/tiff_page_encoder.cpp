#include "printing/encoders/page_encoder.h"

#ifndef _WIN32

#include <QFile>
#include <tiffio.h>

namespace Plover::PrintSystem {

namespace {

class TiffEncoder : public PageEncoder
{
public:
    explicit TiffEncoder(TIFF* file) : tiff(file) {}
    ~TiffEncoder() override
    {
        if (tiff)
            TIFFClose(tiff);
    }

    bool beginPage(const PageFormat& page) override
    {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(page.pixels.width()));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(page.pixels.height()));
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
        TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<double>(page.dpiX));
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<double>(page.dpiY));
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
        const QByteArray name = page.documentName.toUtf8();
        TIFFSetField(tiff, TIFFTAG_DOCUMENTNAME, name.constData());
        TIFFSetField(tiff, TIFFTAG_IMAGEDESCRIPTION, page.icmOff ? "ICM: off" : "ICM: on");
        TIFFSetField(tiff, TIFFTAG_SOFTWARE, "Plover Virtual Printer");
        bytesPerLine = static_cast<std::size_t>(page.pixels.width()) * 3;
        row = 0;
        return true;
    }

    // libtiff gathers the scan lines into strips, so only one strip is buffered at a time.
    bool writeRows(const std::uint8_t* rows, int count) override
    {
        for (int i = 0; i < count; ++i, ++row) {
            if (TIFFWriteScanline(tiff, const_cast<std::uint8_t*>(rows) + bytesPerLine * i, row, 0) < 0)
                return false;
        }
        return true;
    }

    bool endPage() override { return TIFFWriteDirectory(tiff) != 0; }
    bool endDocument() override
    {
        // Closing flushes what is still buffered, so a full disk can show only here.
        const bool flushed = TIFFFlush(tiff) != 0;
        TIFFClose(tiff);
        tiff = nullptr;
        return flushed;
    }

private:
    TIFF* tiff;
    std::size_t bytesPerLine = 0;
    std::uint32_t row = 0;
};

} // namespace

std::unique_ptr<PageEncoder> makeTiffEncoder(const QString& path)
{
    TIFF* file = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!file)
        return nullptr;
    return std::make_unique<TiffEncoder>(file);
}

} // namespace Plover::PrintSystem

#endif
