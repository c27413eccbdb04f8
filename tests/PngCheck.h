#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>

// A second PNG decoder for the tests, beside Qt's: libpng called directly, strict (any warning
// fails the decode), giving the file's own header fields and pixels without conversions.
namespace PngCheck {

struct Chunk
{
    QByteArray type;
    QByteArray data;
};

// Every chunk of the file in order; empty when the signature or a length is wrong.
QVector<Chunk> chunksOf(const QByteArray &png);

struct Decoded
{
    QString error; // empty when the file decoded
    int widthPx = 0;
    int heightPx = 0;
    int bitDepth = 0;
    int colourType = 0;
    // The pixels as grey levels: 8-bit grey as it is, palette images through their palette
    // (whose entries must be grey).
    QImage grey;
};

Decoded decode(const QByteArray &png);

// An image in grey levels, as the PNG shows it: Format_Mono through its colour table (fast,
// unlike QImage's conversion at layer sizes), Format_Grayscale8 as it is.
QImage greyLevels(const QImage &image);

// What a decoder meets before the pixels: IHDR, PLTE for 1-bit images, pHYs, then image
// data and IEND, and nothing else. Empty when the file keeps to that, else what differs.
QString unexpectedChunks(const QByteArray &png);

// Decodes with Qt and with libpng and compares both with each other and with the expected
// grey levels (when given). Empty when all agree, else the first difference.
QString checkPixels(const QByteArray &png, const QImage &expectedGrey = QImage());

// unzip -t on the archive: every entry's checksum and sizes. Empty when it passes, else
// unzip's output.
QString testArchive(const QString &path);

} // namespace PngCheck
