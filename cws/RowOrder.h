#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <vector>

namespace CWS {

// Puts items in the order of their row numbers (rowOf(item), an int), items of one row in the
// order they came. Rows of a layer span about as many numbers as there are edges, so counting
// beats comparing; a few stray far-off rows fall back to a comparison sort.
template <typename Items, typename RowOf> void sortByRow(Items &items, RowOf rowOf)
{
    using Item = typename std::iterator_traits<decltype(items.begin())>::value_type;
    const size_t n = size_t(items.size());
    if (n < 2)
        return;
    int lo = rowOf(*items.begin()), hi = lo;
    for (const Item &item : items) {
        lo = std::min(lo, rowOf(item));
        hi = std::max(hi, rowOf(item));
    }
    const int64_t span = int64_t(hi) - lo + 1;
    if (span > 4 * int64_t(n) + 4096) {
        std::stable_sort(items.begin(), items.end(),
                         [&](const Item &l, const Item &r) { return rowOf(l) < rowOf(r); });
        return;
    }
    std::vector<uint32_t> next(size_t(span) + 1, 0);
    for (const Item &item : items)
        ++next[size_t(rowOf(item) - lo) + 1];
    std::partial_sum(next.begin(), next.end(), next.begin());
    std::vector<uint32_t> order(n);
    uint32_t index = 0;
    for (const Item &item : items)
        order[next[size_t(rowOf(item) - lo)]++] = index++;
    std::vector<Item> sorted;
    sorted.reserve(n);
    for (uint32_t i : order)
        sorted.push_back(std::move(items[i]));
    std::move(sorted.begin(), sorted.end(), items.begin());
}

} // namespace CWS
