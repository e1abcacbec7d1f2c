#include "Clock.h"

#include <algorithm>
#include <cmath>

namespace vandreth::bench {

double nowMs()
{
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    return counterMs(counter.QuadPart);
}

double counterMs(LONGLONG counter)
{
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    return static_cast<double>(counter) / ticksPerMs;
}

void sleepMs(double ms)
{
    if (ms > 0) {
        Sleep(static_cast<DWORD>(std::ceil(ms)));
    }
}

Summary summarize(std::vector<double> values)
{
    Summary summary;
    summary.count = values.size();
    if (values.empty()) {
        return summary;
    }
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    summary.median = values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    summary.min = values.front();
    summary.max = values.back();
    return summary;
}

}  // namespace vandreth::bench
