#pragma once

#include "cws/CosmeticLine.h"
#include "cws/EdgeStepper.h"
#include "cws/LayerRaster.h"

#include <QImage>
#include <QLine>
#include <QSize>
#include <QVector>

#include <vector>

class QPen;

namespace CWS {

// The white pixels that drawing segment lists centred on an image gives (each list's outline
// and its even-odd fill, lists united), a row at a time as sorted runs, without the image.
// Outline edges that reach outside the image are left to QPainter, which clips them.
//
// Rows are made a band at a time as bits: each edge marks its crossings on the band's rows and
// each outline line sets its pixels, so nothing is sorted or merged. A pixel is filled where a
// crossing lies on it or where an odd number of its list's crossings lie to its left.
class SectionRows
{
public:
    // Rows come a band at a time; with blockRows of 2 to 32, bands are a multiple of it high
    // and start at multiples of their height, so the rows of a block that starts at a multiple
    // of blockRows are at hand together.
    explicit SectionRows(QSize imageSize, int blockRows = 1);

    // One list's edges in whole pixels, uncentred. Call before the first row().
    void addList(const QVector<LayerRaster::PixelEdge> &edges);

    // Outline edges, centred, with an end outside the image: their pixels are not in the rows.
    const QVector<QLine> &outsideLines() const { return m_outsideLines; }

    // Has QPainter draw the outside lines with pen, clipped to the image, and puts their
    // pixels in the rows. Call after the last addList() and before the first row(); throws
    // std::bad_alloc when no image can be had.
    void drawOutsideLines(const QPen &pen);

    // Rows outside [firstRow(), endRow()) hold nothing.
    int firstRow() const { return m_firstRow; }
    int endRow() const { return m_endRow; }

    // Row y's white pixels: sorted runs inside the image, apart from each other by at least a
    // black pixel. y must not decrease from call to call; the runs stay valid until the next.
    const std::vector<LayerRaster::PixelRun> &row(int y);
    // The same runs appended to runs as the island analysis keeps them, without a copy.
    void appendRuns(int y, std::vector<IslandAnalysis::PixelRun> &runs);
    // Row y as bits, 64 columns a word with the first in the lowest bit, and in usedWords a
    // mask of the words that may hold white; nullptr where the row holds nothing. Same order
    // as row(); the rows of a block (see the constructor) stay valid together.
    const quint64 *rowBits(int y, const quint64 *&usedWords);

private:
    static constexpr int kMaxBandRows = 32;

    // One list's fill: its edges by upper end, the rows it scans (uncentred) and the words of
    // a row its crossings can reach.
    struct ListFill
    {
        QVector<LayerRaster::PixelEdge> edges;
        int firstRow = 0;
        int endRow = 0;
        int next = 0;
        std::vector<EdgeStepper> active;
        int firstWord = 0;
        int lastWord = -1;
    };
    void start();
    void buildBandsTo(int y);
    template <typename Take> void forEachRun(int y, Take take);
    void buildBand(int firstRow);
    void fillList(ListFill &list, int fromRow, int toRow);
    void setRun(int bandRow, int from, int to);
    void markWords(int bandRow, int first, int last);
    void addOutsidePixels(int firstRow, int endRow);

    QSize m_size;
    int m_bandRows;
    int m_halfWidth;
    int m_halfHeight;
    int m_wordsPerRow;
    int m_maskWordsPerRow;
    int m_firstRow;
    int m_endRow;
    bool m_started = false;
    int m_builtRow;
    std::vector<ListFill> m_lists; // by first row once started
    size_t m_nextList = 0;
    std::vector<ListFill *> m_activeLists;
    std::vector<CosmeticLine> m_lines; // by first row once started
    size_t m_nextLine = 0;
    std::vector<quint32> m_activeLines; // into m_lines, stepped where they lie
    QVector<QLine> m_outsideLines;
    // Their pixels as QPainter drew them, and per row the bytes they may reach.
    QImage m_outsidePixels;
    std::vector<int> m_outsideFirstByte;
    std::vector<int> m_outsideLastByte;
    // The band's rows as bits, the first column in the lowest bit, and per row a mask of the
    // words that may hold white.
    int m_bandStart;
    std::vector<quint64> m_band;
    std::vector<quint64> m_bandMask;
    // One list's crossings on the band: toggled and set bits, the words they touched, counts,
    // and the parity of those left of the image.
    std::vector<quint64> m_toggled;
    std::vector<quint64> m_crossed;
    std::vector<quint64> m_touched;
    int m_crossings[kMaxBandRows];
    bool m_leftParity[kMaxBandRows];
    std::vector<LayerRaster::PixelRun> m_runs;
};

} // namespace CWS
