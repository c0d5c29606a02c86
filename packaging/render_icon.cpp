// Renders an SVG at build time, so the SVG stays the only artwork: the application icon as PNGs and
// as the Windows .ico, and the toolbar icons where the Qt built against has no SVG module. The
// drawing keeps its proportions within a square of the given size, as Qt's SVG icon engine draws it.
// Painting into a QImage needs no application object, so no platform plugin is involved.
#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>
#include <cstdio>

namespace {

QImage render(QSvgRenderer& renderer, int size)
{
    QImage image(renderer.defaultSize().scaled(size, size, Qt::KeepAspectRatio),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// One image of an .ico: PNG at 256 px, as Windows stores its large icons; below that a 32-bit
// bottom-up DIB (BGRA with straight alpha), whose header counts the rows of the colour image and of
// the AND mask, which stays all zero because the alpha channel says what is transparent.
QByteArray iconImage(const QImage& rendered)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    if (rendered.width() >= 256) {
        rendered.save(&buffer, "PNG");
        return data;
    }
    const QImage image = rendered.convertToFormat(QImage::Format_ARGB32);
    const int w = image.width(), h = image.height();
    QDataStream out(&buffer);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32) << quint32(0)
        << quint32(0) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = h - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < w; ++x)
            out << quint32(line[x]);
    }
    const int maskStride = (w + 31) / 32 * 4;
    buffer.write(QByteArray(maskStride * h, '\0'));
    return data;
}

bool writeIco(const QList<QImage>& images, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(images.size());
    QList<QByteArray> data;
    auto offset = quint32(6 + 16 * images.size());
    for (const QImage& image : images) {
        data << iconImage(image);
        // 0 stands for 256 in the directory's one-byte sizes.
        out << quint8(image.width() & 0xff) << quint8(image.height() & 0xff) << quint8(0) << quint8(0)
            << quint16(1) << quint16(32) << quint32(data.last().size()) << offset;
        offset += quint32(data.last().size());
    }
    for (const QByteArray& bytes : data)
        out.writeRawData(bytes.constData(), bytes.size());
    return out.status() == QDataStream::Ok;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <icon.svg> <size>[,<size>...] <out.png|out.ico>\n", argv[0]);
        return 2;
    }
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    QList<QImage> images;
    for (const QString& size : QString::fromLocal8Bit(argv[2]).split(u',')) {
        if (!renderer.isValid() || size.toInt() <= 0 || size.toInt() > 256) {
            std::fprintf(stderr, "cannot render %s at size %s\n", argv[1], argv[2]);
            return 1;
        }
        images << render(renderer, size.toInt());
    }
    const QString out = QString::fromLocal8Bit(argv[3]);
    const bool written = out.endsWith(QLatin1String(".ico")) ? writeIco(images, out)
                         : images.size() == 1 && images.first().save(out, "PNG");
    if (!written) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
