// Timing for the benchmark programs: each figure is the median of several runs, taken in
// the same run as its baseline so that the machine's load cancels out.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace winhush::test {

inline double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename F>
double MedianMs(int runs, F&& f) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        auto start = std::chrono::steady_clock::now();
        f();
        times.push_back(Ms(std::chrono::steady_clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace winhush::test
