#include "printing/encoders/page_encoder.h"

#ifndef _WIN32

#include <QByteArray>
#include <map>
#include <vector>
#include <zlib.h>

namespace Plover::PrintSystem {

namespace {

QByteArray points(double value)
{
    return QByteArray::number(value, 'f', 4);
}

class PdfEncoder : public PageEncoder
{
public:
    explicit PdfEncoder(ByteSink sink) : sink(std::move(sink)) {}
    ~PdfEncoder() override
    {
        if (zipOpen)
            deflateEnd(&zip);
    }

    bool beginPage(const PageFormat& page) override
    {
        if (written == 0 && !write(QByteArray("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n")))
            return false;
        width = page.pixels.width();
        const int first = 3 + 4 * static_cast<int>(pageObjects.size());
        pageObjects.push_back(first);
        // The page is the sheet in whole device pixels, so a driver's whole-point sheet is matched
        // exactly and no filter centres or scales it.
        const double mediaWidth = page.pixels.width() * 72.0 / page.dpiX;
        const double mediaHeight = page.pixels.height() * 72.0 / page.dpiY;
        const QByteArray content = "q " + points(mediaWidth) + " 0 0 " + points(mediaHeight) + " 0 0 cm /Im0 Do Q\n";
        const QByteArray image = QByteArray::number(first + 2);
        bool ok = startObject(first) &&
                  write("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + points(mediaWidth) + ' ' +
                        points(mediaHeight) + "] /Resources << /XObject << /Im0 " + image +
                        " 0 R >> >> /Contents " + QByteArray::number(first + 1) + " 0 R >>\nendobj\n") &&
                  startObject(first + 1) &&
                  write("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content +
                        "endstream\nendobj\n") &&
                  startObject(first + 2) &&
                  write("<< /Type /XObject /Subtype /Image /Width " + QByteArray::number(page.pixels.width()) +
                        " /Height " + QByteArray::number(page.pixels.height()) +
                        " /ColorSpace /DeviceRGB /BitsPerComponent 8 /Interpolate false /Filter /FlateDecode"
                        " /Length " + QByteArray::number(first + 3) + " 0 R >>\nstream\n");
        if (!ok || deflateInit(&zip, Z_BEST_SPEED) != Z_OK)
            return false;
        zipOpen = true;
        streamStart = written;
        return true;
    }

    bool writeRows(const std::uint8_t* rows, int count) override
    {
        const std::size_t bytes = static_cast<std::size_t>(count) * rowBytes();
        zip.next_in = const_cast<Bytef*>(rows);
        zip.avail_in = static_cast<uInt>(bytes);
        return deflateAll(Z_NO_FLUSH);
    }

    bool endPage() override
    {
        zip.avail_in = 0;
        const bool ok = deflateAll(Z_FINISH);
        deflateEnd(&zip);
        zipOpen = false;
        const qint64 length = written - streamStart;
        return ok && write("\nendstream\nendobj\n") && startObject(pageObjects.back() + 3) &&
               write(QByteArray::number(length) + "\nendobj\n");
    }

    bool endDocument() override
    {
        QByteArray kids;
        for (const int page : pageObjects)
            kids += QByteArray::number(page) + " 0 R ";
        if (!startObject(1) || !write("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n") || !startObject(2) ||
            !write("<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(int(pageObjects.size())) +
                   " >>\nendobj\n"))
            return false;
        const qint64 xref = written;
        const int objects = static_cast<int>(offsets.size()) + 1;
        QByteArray table = "xref\n0 " + QByteArray::number(objects) + "\n0000000000 65535 f \n";
        for (const auto& [number, offset] : offsets)
            table += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
        table += "trailer\n<< /Size " + QByteArray::number(objects) + " /Root 1 0 R >>\nstartxref\n" +
                 QByteArray::number(xref) + "\n%%EOF\n";
        return write(table);
    }

private:
    std::size_t rowBytes() const { return static_cast<std::size_t>(width) * 3; }

    // zlib hands out empty chunks while it gathers input; those are not passed on, since a write of
    // nothing ends the document for libcups.
    bool deflateAll(int flush)
    {
        int status = Z_OK;
        do {
            zip.next_out = reinterpret_cast<Bytef*>(out.data());
            zip.avail_out = static_cast<uInt>(out.size());
            status = deflate(&zip, flush);
            if (status == Z_STREAM_ERROR)
                return false;
            const std::size_t produced = out.size() - zip.avail_out;
            if (produced > 0 && !write(out.data(), produced))
                return false;
        } while (zip.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END));
        return true;
    }

    bool write(const char* data, std::size_t size)
    {
        written += static_cast<qint64>(size);
        return sink(data, size);
    }
    bool write(const QByteArray& text) { return write(text.constData(), static_cast<std::size_t>(text.size())); }
    bool startObject(int number)
    {
        offsets[number] = written;
        return write(QByteArray::number(number) + " 0 obj\n");
    }

    ByteSink sink;
    qint64 written = 0;
    std::map<int, qint64> offsets; // by object number, for the cross-reference table
    std::vector<int> pageObjects;
    z_stream zip{};
    bool zipOpen = false;
    qint64 streamStart = 0;
    int width = 0;
    std::vector<char> out = std::vector<char>(1 << 16);
};

} // namespace

std::unique_ptr<PageEncoder> makePdfEncoder(ByteSink sink)
{
    return std::make_unique<PdfEncoder>(std::move(sink));
}

} // namespace Plover::PrintSystem

#endif
