#include "model/SkylineLayout.h"

#include <QDebug>

#include <algorithm>

namespace SkylineLayout {

namespace {

constexpr int kGapPx = 20;

struct Line
{
    int y, x0, x1;
};

struct Candidate
{
    int first, last, x, y;
    bool rotated;
    int width, top;
};

// Walks the lines from i while they are no higher than line i, until the footprint fits.
bool tryAt(const QVector<Line> &lines, int i, int fw, int fd, bool rotated, int plateDepthPx,
           Candidate *out)
{
    const int baseY = lines[i].y;
    long long sum = 0;
    for (int j = i; j < lines.size(); ++j) {
        if (lines[j].y > baseY) {
            qDebug() << "the next line is too high";
            return false;
        }
        sum += lines[j].x1 - lines[j].x0;
        if (sum >= fw + kGapPx && baseY + fd < plateDepthPx) {
            *out = Candidate{i,           j,         lines[i].x0 + kGapPx, baseY + kGapPx, rotated,
                             fw + kGapPx, baseY + fd};
            return true;
        }
    }
    return false;
}

void updateSkyline(QVector<Line> &lines, const Candidate &c)
{
    Line &first = lines[c.first];
    const int oldY = first.y;
    const int oldX1 = first.x1;
    first.y = c.top + kGapPx;
    first.x1 = first.x0 + c.width;
    const int newX1 = first.x1;
    if (c.first == c.last) {
        lines.insert(c.first + 1, Line{oldY, newX1, oldX1}); // the uncovered rest
    } else {
        lines[c.last].x0 = newX1;
        lines.erase(lines.begin() + c.first + 1, lines.begin() + c.last);
    }
    qDebug() << "update boundary lines end";
}

} // namespace

Result pack(const QVector<Footprint> &footprints, int plateWidthPx, int plateDepthPx)
{
    Result result;
    QVector<Line> lines{Line{0, 0, int(plateWidthPx * 0.999)}};
    for (const Footprint &f : footprints) {
        QVector<Candidate> candidates;
        for (int i = 0; i < lines.size(); ++i) {
            qDebug() << "test line" << i;
            Candidate c;
            if (tryAt(lines, i, f.widthPx, f.depthPx, false, plateDepthPx, &c))
                candidates.append(c);
            if (tryAt(lines, i, f.depthPx, f.widthPx, true, plateDepthPx, &c))
                candidates.append(c);
        }
        if (candidates.isEmpty()) {
            qWarning() << "No space left to layout";
            break;
        }
        qDebug() << "find available positions" << candidates.size();
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const Candidate &a, const Candidate &b) { return a.top < b.top; });
        const Candidate &best = candidates.first();
        const Line &line = lines[best.first];
        qDebug() << "select lowest point" << best.first << line.y << line.x0 << line.x1;
        result.usedWidthPx = std::max(result.usedWidthPx, line.x0 + best.width);
        result.usedDepthPx = std::max(result.usedDepthPx, best.top);
        result.placements.append(Placement{best.x, best.y, best.rotated});
        updateSkyline(lines, best);
    }
    return result;
}

} // namespace SkylineLayout
