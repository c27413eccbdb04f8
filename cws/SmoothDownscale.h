#pragma once

#include "cws/LayerRaster.h"

#include <QImage>
#include <QSize>

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace CWS {

// QImage::scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation) for a reduction in
// both directions, in Qt's own fixed-point arithmetic, straight from a grey or 1-bit image to
// a grey one. Every output pixel is a weighted sum over a block of source pixels: 14-bit
// weights along a row, the row sums shifted down by 4, then 14-bit weights down the column,
// the total shifted down by 24.
class SmoothDownscale
{
public:
    SmoothDownscale(QSize source, QSize target);

    // One plan per size pair, shared by every layer of a job.
    static std::shared_ptr<const SmoothDownscale> forSizes(QSize source, QSize target);

    // False where Qt takes another road (no reduction, or a small image that Qt paints
    // bilinearly instead): use QImage::scaled there.
    bool exact() const { return m_exact; }
    QSize source() const { return m_source; }
    QSize target() const { return m_target; }

    // From Format_Grayscale8, one source pixel at a time: the plain form of the arithmetic.
    QImage fromGrey(const QImage &grey) const;
    // From Format_Mono (index 0 black, 1 white), skipping blocks that are all black or all
    // white; the same pixels as fromGrey on the image drawn in 0 and 255.
    QImage fromMono(const QImage &mono) const;

    // The source rows' white pixels as sorted runs, apart from each other by a black pixel.
    // Rows are asked for from the top down, a row shared by two output rows twice in a row.
    using RowRuns = std::function<const std::vector<LayerRaster::PixelRun> &(int sourceRow)>;
    // Whether fromRuns can stand in for fromMono at these sizes.
    bool readsRuns() const { return m_readsRuns; }
    // fromMono's pixels from the runs of each row of a 1-bit image that is never drawn: a
    // column's taps all white add one sum to the whole stretch of such columns, and only the
    // columns at the runs' ends add up their white taps one by one.
    QImage fromRuns(const RowRuns &rowRuns) const;

    // A source row's pixels as bits, 64 columns a word with the first in the lowest bit, and in
    // usedWords a mask of the words that may hold white (bit i of mask word m stands for word
    // 64 m + i; the others are 0); nullptr for a row with nothing white. Rows are asked for from
    // the top down, an output row's source rows in turn, and each must stay valid while the
    // rest of them are read.
    using RowBits = std::function<const quint64 *(int sourceRow, const quint64 *&usedWords)>;
    // Whether fromBits can stand in for fromMono: a reduction by a whole factor from 2 to 5 both
    // ways, where every output pixel weighs the square block under it alike.
    bool readsBits() const { return m_bitFactor != 0; }
    // The source rows under one output row that fromBits reads together (0 when it reads none).
    int bitBlockRows() const { return m_bitFactor; }
    // fromMono's pixels from the bits of a 1-bit image that is never drawn: by halves, two
    // output pixels at a time looked up by the four source columns under them in their two
    // rows; by quarters, each output pixel by the number of white pixels in its block; by 3 and
    // 5, each by the sums of its rows' bits, looked up.
    QImage fromBits(const RowBits &rowBits) const;

private:
    // The source pixels under one output pixel along one axis and their weights.
    struct Taps
    {
        int first = 0;
        int count = 0;
        int weightOffset = 0; // into m_weights (x) or m_rowWeights (y)
    };

    static void buildTaps(int sourceLength, int targetLength, std::vector<Taps> &taps,
                          std::vector<int> &weights);
    void monoRow(const QImage &mono, int y, uchar *out, std::vector<uchar> &anyRow,
                 std::vector<uchar> &allRow) const;
    void buildRunTables();
    void buildBitValues();
    void halveRow(const quint64 *const *rows, const quint64 *const *used, uchar *dst) const;
    void quarterRow(const quint64 *const *rows, const quint64 *const *used, uchar *dst) const;
    void blockRow(const quint64 *const *rows, const quint64 *const *used, uchar *dst) const;
    struct RunSums;
    void addRuns(const std::vector<LayerRaster::PixelRun> &runs, quint32 rowWeight,
                 RunSums &sums) const;

    QSize m_source;
    QSize m_target;
    bool m_exact = false;
    std::vector<Taps> m_columns;
    std::vector<int> m_weights;
    std::vector<Taps> m_rows;
    std::vector<int> m_rowWeights;
    int m_maxColumnTaps = 0;
    // Per output column: the row sum (shifted down by 4) of white on each pattern of its taps,
    // indexed by the taps' bits, first tap in the highest bit.
    std::vector<quint32> m_patternSums;
    // The first output column whose taps reach past source column c.
    std::vector<int> m_firstColumnEndingAfter;
    // For runs, per source column c: the first output column whose taps reach c or beyond,
    // the last whose taps start at c or before, the first whose taps all lie at c or beyond,
    // the last whose taps all lie at c or before.
    bool m_readsRuns = false;
    std::vector<int> m_firstReaching;
    std::vector<int> m_lastStartingBy;
    std::vector<int> m_firstStartingFrom;
    std::vector<int> m_lastEndingBy;
    // Per output column, its taps' running sums of 255 times their weight (count + 1 each,
    // from weightOffset + column on).
    std::vector<quint32> m_columnPrefix;
    // The factor of a reduction read from bits (0: none). By 2: two output pixels by the bits of
    // the four source columns under them, the upper row's in the low nibble (first column in
    // the lowest bit). By 4: an output pixel by the white pixels in its block, 0 to 16.
    // By 3 or 5: a source row's sum (shifted down by 4) by its bits under an output pixel, and
    // the rows' weights.
    static constexpr int kMaxBitFactor = 5;
    int m_bitFactor = 0;
    std::vector<std::array<uchar, 2>> m_pairValues;
    std::array<uchar, 17> m_countValues{};
    std::array<quint32, 1 << kMaxBitFactor> m_blockRowSums{};
    std::array<quint32, kMaxBitFactor> m_blockRowWeights{};
    std::array<uchar, 64> m_bitPixel{}; // bit / factor: whole blocks before a bit of a word
};

} // namespace CWS
