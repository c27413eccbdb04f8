#include "cws/RunLabels.h"

#include <algorithm>
#include <numeric>

namespace CWS::RunLabels {

namespace {

int findRoot(std::vector<int> &parent, int i)
{
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

// The smaller index stays the root, so a region's root is its first run.
void unite(std::vector<int> &parent, int a, int b)
{
    a = findRoot(parent, a);
    b = findRoot(parent, b);
    if (a != b)
        parent[size_t(std::max(a, b))] = std::min(a, b);
}

} // namespace

int label(const std::vector<PixelRun> &runs, std::vector<int> &componentOfRun)
{
    const int n = int(runs.size());
    std::vector<int> parent(static_cast<size_t>(n));
    std::iota(parent.begin(), parent.end(), 0);

    int prevBegin = 0, prevEnd = 0;
    for (int i = 0; i < n;) {
        const int row = runs[size_t(i)].row;
        int rowEnd = i;
        while (rowEnd < n && runs[size_t(rowEnd)].row == row)
            ++rowEnd;
        if (prevEnd > prevBegin && runs[size_t(prevBegin)].row == row - 1) {
            int j = prevBegin;
            for (int k = i; k < rowEnd; ++k) {
                const PixelRun &cur = runs[size_t(k)];
                while (j < prevEnd && runs[size_t(j)].x1 <= cur.x0)
                    ++j;
                for (int m = j; m < prevEnd && runs[size_t(m)].x0 < cur.x1; ++m)
                    unite(parent, k, m);
            }
        }
        prevBegin = i;
        prevEnd = rowEnd;
        i = rowEnd;
    }

    componentOfRun.assign(size_t(n), -1);
    int count = 0;
    for (int k = 0; k < n; ++k) {
        const int root = findRoot(parent, k);
        // Roots come first in their region, so their number is given before any other run's.
        if (root == k)
            componentOfRun[size_t(k)] = count++;
        else
            componentOfRun[size_t(k)] = componentOfRun[size_t(root)];
    }
    return count;
}

bool overlapsAny(const PixelRun &run, const std::vector<PixelRun> &below, size_t &cursor)
{
    auto before = [&](const PixelRun &b) {
        return b.row < run.row || (b.row == run.row && b.x1 <= run.x0);
    };
    while (cursor < below.size() && before(below[cursor]))
        ++cursor;
    return cursor < below.size() && below[cursor].row == run.row && below[cursor].x0 < run.x1;
}

} // namespace CWS::RunLabels
