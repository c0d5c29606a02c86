#include "printing/pdf_page_encoder.h"

#ifndef _WIN32

#include "printing/page_raster.h"
#include "printing/print_device.h"

#include <QByteArray>
#include <QList>
#include <vector>
#include <zlib.h>

namespace Plover::PrintSystem {

namespace {

// Counts what it passes on, for the cross-reference table.
class PdfWriter
{
public:
    explicit PdfWriter(const ByteSink& sink) : sink(sink) {}

    bool write(const char* data, std::size_t size)
    {
        written += static_cast<qint64>(size);
        return sink(data, size);
    }
    bool write(const QByteArray& text)
    {
        return write(text.constData(), static_cast<std::size_t>(text.size()));
    }
    bool startObject()
    {
        offsets.append(written);
        return write(QByteArray::number(offsets.size()) + " 0 obj\n");
    }
    qint64 position() const { return written; }
    const QList<qint64>& objectOffsets() const { return offsets; }

private:
    const ByteSink& sink;
    qint64 written = 0;
    QList<qint64> offsets;
};

QByteArray points(double value)
{
    return QByteArray::number(value, 'f', 4);
}

} // namespace

bool writePdfPage(const PageRaster& page, const PageJob& job, const ByteSink& sink)
{
    const QSize pixels = page.portraitSize(job.landscape);
    const int dpiX = job.landscape ? job.dpiY : job.dpiX;
    const int dpiY = job.landscape ? job.dpiX : job.dpiY;
    const double mediaWidth = job.paperMm.width() / 25.4 * 72.0;
    const double mediaHeight = job.paperMm.height() / 25.4 * 72.0;
    const double imageWidth = pixels.width() * 72.0 / dpiX;
    const double imageHeight = pixels.height() * 72.0 / dpiY;
    // The image's top-left corner on the sheet's top-left corner; PDF counts from the bottom.
    const QByteArray content = "q " + points(imageWidth) + " 0 0 " + points(imageHeight) + " 0 " +
                               points(mediaHeight - imageHeight) + " cm /Im0 Do Q\n";

    PdfWriter pdf(sink);
    bool ok = pdf.write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n", 15) && pdf.startObject() &&
              pdf.write("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n") && pdf.startObject() &&
              pdf.write("<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n") && pdf.startObject() &&
              pdf.write("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + points(mediaWidth) + ' ' +
                        points(mediaHeight) +
                        "] /Resources << /XObject << /Im0 5 0 R >> >> /Contents 4 0 R >>\nendobj\n") &&
              pdf.startObject() &&
              pdf.write("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
                        "endstream\nendobj\n") &&
              pdf.startObject() &&
              pdf.write("<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(pixels.width()) +
                        " /Height " + QByteArray::number(pixels.height()) +
                        " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Interpolate false /Filter /FlateDecode"
                        " /Length 6 0 R >>\nstream\n");
    if (!ok)
        return false;

    const qint64 streamStart = pdf.position();
    z_stream zip{};
    if (deflateInit(&zip, Z_BEST_SPEED) != Z_OK)
        return false;
    std::vector<std::uint8_t> line(static_cast<std::size_t>(pixels.width()) * 3);
    std::vector<char> out(1 << 16);
    for (int y = 0; y < pixels.height() && ok; ++y) {
        page.portraitRow(job.landscape, y, line.data());
        zip.next_in = line.data();
        zip.avail_in = static_cast<uInt>(line.size());
        const int flush = y + 1 == pixels.height() ? Z_FINISH : Z_NO_FLUSH;
        int status = Z_OK;
        do {
            zip.next_out = reinterpret_cast<Bytef*>(out.data());
            zip.avail_out = static_cast<uInt>(out.size());
            status = deflate(&zip, flush);
            ok = pdf.write(out.data(), out.size() - zip.avail_out);
        } while (ok && (zip.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END)));
    }
    deflateEnd(&zip);
    const qint64 streamLength = pdf.position() - streamStart;
    ok = ok && pdf.write("\nendstream\nendobj\n") && pdf.startObject() &&
         pdf.write(QByteArray::number(streamLength) + "\nendobj\n");
    if (!ok)
        return false;

    const qint64 xref = pdf.position();
    QByteArray table =
        "xref\n0 " + QByteArray::number(pdf.objectOffsets().size() + 1) + "\n0000000000 65535 f \n";
    for (const qint64 offset : pdf.objectOffsets())
        table += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    table += "trailer\n<< /Size " + QByteArray::number(pdf.objectOffsets().size() + 1) +
             " /Root 1 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf.write(table);
}

} // namespace Plover::PrintSystem

#endif
