#include "ReportTable.h"

#include <cstdio>

namespace vandreth::bench {

std::string ratio(double value, double floor)
{
    if (floor <= 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%.2fx", value / floor);
    return text;
}

std::string spread(const Summary& summary, const char* unit)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%8.1f %s (%.1f-%.1f)", summary.median, unit, summary.min, summary.max);
    return text;
}

std::string single(double value, const char* unit, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%8.*f %s", decimals, value, unit);
    return text;
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

double megabytes(std::size_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void printRow(const std::string& name, const std::string& client, const std::string& floor, const std::string& ratio,
              const char* goal)
{
    if (goal == nullptr) {
        std::printf("   %-40s %-28s %-28s %-8s\n", name.c_str(), client.c_str(), floor.c_str(), ratio.c_str());
    } else {
        std::printf("   %-40s %-28s %-28s %-8s %s\n", name.c_str(), client.c_str(), floor.c_str(), ratio.c_str(), goal);
    }
}

}  // namespace vandreth::bench
