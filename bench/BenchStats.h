#pragma once

#include <algorithm>
#include <cstdio>
#include <vector>

// Median and 99th percentile of a series of microsecond figures.
inline void printPercentiles(const char *what, std::vector<double> us)
{
    if (us.empty()) {
        std::printf("%-44s no samples\n", what);
        return;
    }
    std::sort(us.begin(), us.end());
    const auto at = [&us](double q) { return us[size_t(q * double(us.size() - 1))]; };
    std::printf("%-44s median %8.1f us   p99 %8.1f us   (n=%zu)\n", what, at(0.5), at(0.99),
                us.size());
}
