#pragma once

#include <cstddef>
#include <thread>

// Runs work(begin, end) over [0, count) in two halves, the first on a second thread, when the
// range is large enough to pay for the thread. Each half must touch only its own elements.
template <typename Work> void splitInTwo(size_t count, Work work)
{
    constexpr size_t kWorthASecondThread = 200000;
    if (count < kWorthASecondThread || std::thread::hardware_concurrency() < 2) {
        work(size_t(0), count);
        return;
    }
    const size_t half = count / 2;
    std::thread first([&work, half] { work(size_t(0), half); });
    work(half, count);
    first.join();
}
