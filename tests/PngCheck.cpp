#include "PngCheck.h"

#include <QProcess>

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace PngCheck {

namespace {

quint32 be32(const uchar *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

struct Reader
{
    const QByteArray *data;
    int at = 0;
    QString error;
};

void readBytes(png_structp png, png_bytep out, png_size_t length)
{
    auto *r = static_cast<Reader *>(png_get_io_ptr(png));
    if (r->at + qint64(length) > r->data->size())
        png_error(png, "file ends early");
    std::memcpy(out, r->data->constData() + r->at, length);
    r->at += int(length);
}

void onError(png_structp png, png_const_charp message)
{
    auto *r = static_cast<Reader *>(png_get_error_ptr(png));
    r->error = QString::fromLatin1(message);
    png_longjmp(png, 1);
}

// A printer's decoder may stop where libpng only warns: a warning fails the check too.
void onWarning(png_structp png, png_const_charp message)
{
    auto *r = static_cast<Reader *>(png_get_error_ptr(png));
    if (r->error.isEmpty())
        r->error = QStringLiteral("warning: ") + QString::fromLatin1(message);
}

QString firstDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return QStringLiteral("size %1x%2 against %3x%4")
            .arg(a.width())
            .arg(a.height())
            .arg(b.width())
            .arg(b.height());
    for (int y = 0; y < a.height(); ++y) {
        const uchar *ra = a.constScanLine(y);
        const uchar *rb = b.constScanLine(y);
        if (std::memcmp(ra, rb, size_t(a.width())) == 0)
            continue;
        for (int x = 0; x < a.width(); ++x)
            if (ra[x] != rb[x])
                return QStringLiteral("pixel (%1, %2): %3 against %4")
                    .arg(x)
                    .arg(y)
                    .arg(ra[x])
                    .arg(rb[x]);
    }
    return QString();
}

} // namespace

QVector<Chunk> chunksOf(const QByteArray &png)
{
    static const char signature[8] = {char(137), 'P', 'N', 'G', '\r', '\n', 26, '\n'};
    QVector<Chunk> out;
    if (!png.startsWith(QByteArray(signature, 8)))
        return out;
    int at = 8;
    while (at + 12 <= png.size()) {
        const quint32 length = be32(reinterpret_cast<const uchar *>(png.constData() + at));
        if (length > quint32(png.size() - at - 12))
            return {};
        out.append({png.mid(at + 4, 4), png.mid(at + 8, int(length))});
        at += 12 + int(length);
    }
    return at == png.size() ? out : QVector<Chunk>();
}

Decoded decode(const QByteArray &png)
{
    Decoded d;
    Reader reader{&png, 0, QString()};
    png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reader, onError, onWarning);
    png_infop info = p ? png_create_info_struct(p) : nullptr;
    if (!info) {
        png_destroy_read_struct(&p, nullptr, nullptr);
        d.error = QStringLiteral("libpng could not start");
        return d;
    }
    std::vector<uchar> pixels;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_read_struct(&p, &info, nullptr);
        d.error = reader.error;
        return d;
    }
    png_set_read_fn(p, &reader, readBytes);
    png_set_benign_errors(p, 0);
    png_set_crc_action(p, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_read_info(p, info);
    d.widthPx = int(png_get_image_width(p, info));
    d.heightPx = int(png_get_image_height(p, info));
    d.bitDepth = png_get_bit_depth(p, info);
    d.colourType = png_get_color_type(p, info);
    const size_t rowBytes = png_get_rowbytes(p, info);
    pixels.resize(rowBytes * size_t(d.heightPx));
    for (int y = 0; y < d.heightPx; ++y)
        rows.push_back(pixels.data() + rowBytes * size_t(y));
    png_read_image(p, rows.data());
    png_read_end(p, nullptr);

    const bool palette = d.colourType == PNG_COLOR_TYPE_PALETTE;
    const bool grey = d.colourType == PNG_COLOR_TYPE_GRAY && d.bitDepth == 8;
    std::vector<uchar> levels(256, 0);
    if (palette) {
        png_colorp entries = nullptr;
        int count = 0;
        png_get_PLTE(p, info, &entries, &count);
        for (int i = 0; i < count; ++i) {
            if (entries[i].red != entries[i].green || entries[i].red != entries[i].blue)
                reader.error = QStringLiteral("palette entry %1 is not grey").arg(i);
            levels[size_t(i)] = entries[i].red;
        }
    }
    png_destroy_read_struct(&p, &info, nullptr);
    if (!reader.error.isEmpty()) {
        d.error = reader.error;
        return d;
    }
    if (!palette && !grey) {
        d.error = QStringLiteral("colour type %1, bit depth %2").arg(d.colourType).arg(d.bitDepth);
        return d;
    }
    d.grey = QImage(d.widthPx, d.heightPx, QImage::Format_Grayscale8);
    for (int y = 0; y < d.heightPx; ++y) {
        uchar *out = d.grey.scanLine(y);
        const uchar *in = rows[size_t(y)];
        for (int x = 0; x < d.widthPx; ++x) {
            if (grey) {
                out[x] = in[x];
                continue;
            }
            const int shift = 8 - d.bitDepth - (x * d.bitDepth) % 8;
            const int index = (in[x * d.bitDepth / 8] >> shift) & ((1 << d.bitDepth) - 1);
            out[x] = levels[size_t(index)];
        }
    }
    return d;
}

QImage greyLevels(const QImage &image)
{
    if (image.format() == QImage::Format_Grayscale8)
        return image;
    if (image.format() != QImage::Format_Mono)
        return image.convertToFormat(QImage::Format_Grayscale8);
    const uchar black = uchar(qGray(image.color(0)));
    const uchar white = uchar(qGray(image.color(1)));
    QImage grey(image.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y) {
        const uchar *in = image.constScanLine(y);
        uchar *out = grey.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            out[x] = (in[x >> 3] >> (7 - (x & 7))) & 1 ? white : black;
    }
    return grey;
}

QString unexpectedChunks(const QByteArray &png)
{
    const QVector<Chunk> chunks = chunksOf(png);
    if (chunks.isEmpty())
        return QStringLiteral("not a whole PNG file");
    QByteArray order;
    for (const Chunk &c : chunks) {
        if (c.type == "IDAT" && order.endsWith("IDAT "))
            continue;
        order += c.type + ' ';
    }
    const bool palette = chunks.first().data.size() == 13 && chunks.first().data.at(9) == 3;
    const QByteArray expected = palette ? "IHDR PLTE pHYs IDAT IEND " : "IHDR pHYs IDAT IEND ";
    return order == expected ? QString() : QString::fromLatin1(order.trimmed());
}

QString checkPixels(const QByteArray &png, const QImage &expectedGrey)
{
    const QImage qt = QImage::fromData(png, "PNG");
    if (qt.isNull())
        return QStringLiteral("Qt cannot read it");
    const Decoded d = decode(png);
    if (!d.error.isEmpty())
        return QStringLiteral("libpng: ") + d.error;
    const QString qtAgainstLibpng = firstDifference(greyLevels(qt), d.grey);
    if (!qtAgainstLibpng.isEmpty())
        return QStringLiteral("Qt against libpng: ") + qtAgainstLibpng;
    if (expectedGrey.isNull())
        return QString();
    const QString against = firstDifference(d.grey, expectedGrey);
    return against.isEmpty() ? QString() : QStringLiteral("against the expected image: ") + against;
}

QString testArchive(const QString &path)
{
    QProcess unzip;
    unzip.setProcessChannelMode(QProcess::MergedChannels);
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), path});
    if (!unzip.waitForFinished(120000))
        return QStringLiteral("unzip did not finish: ") + unzip.errorString();
    if (unzip.exitStatus() == QProcess::NormalExit && unzip.exitCode() == 0)
        return QString();
    return QStringLiteral("unzip -t %1: exit %2: %3")
        .arg(path)
        .arg(unzip.exitCode())
        .arg(QString::fromLocal8Bit(unzip.readAll()));
}

} // namespace PngCheck
