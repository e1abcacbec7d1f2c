#pragma once
// Time from the performance counter, and the summary of repeated runs.

#include <windows.h>

#include <cstddef>
#include <vector>

namespace vandreth::bench {

// Milliseconds on the performance counter (monotonic; its origin means nothing).
double nowMs();

// A reading of the performance counter (QueryPerformanceCounter) in the milliseconds of nowMs.
double counterMs(LONGLONG counter);

// Sleeps at least `ms` milliseconds.
void sleepMs(double ms);

struct Summary {
    std::size_t count = 0;
    double median = 0;
    double min = 0;
    double max = 0;
};

// Median, least and greatest of the values; all zero for none.
Summary summarize(std::vector<double> values);

}  // namespace vandreth::bench
