#pragma once
// Wall-clock figures for the benchmarks: one piece of work in milliseconds, and the median of
// repeated runs.
#include <algorithm>
#include <chrono>
#include <vector>

template <typename Work> double Milliseconds(Work work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
