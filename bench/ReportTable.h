#pragma once
// The report's tables: a row is a figure's name, the client's figure, the floor's, their ratio
// and, where the figure has a goal, whether it is met.

#include "Clock.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vandreth::bench {

// "client / floor" as "1.23x"; "-" when there is no floor.
std::string ratio(double value, double floor);

// The median, then the least and greatest in brackets: " 123.4 ms (120.0-130.2)".
std::string spread(const Summary& summary, const char* unit = "ms");

// One figure with no spread: " 123.4 MB" with `decimals` places.
std::string single(double value, const char* unit, int decimals = 1);

const char* verdict(bool met);

// MB = 2^20 bytes.
double megabytes(std::size_t bytes);

// A row of four columns, and the goal's column when `goal` is given.
void printRow(const std::string& name, const std::string& client, const std::string& floor, const std::string& ratio,
              const char* goal = nullptr);

// The summary of one field of every run.
template <typename Run, typename Field>
Summary summaryOf(const std::vector<Run>& runs, Field field)
{
    std::vector<double> values;
    for (const Run& run : runs) {
        values.push_back(field(run));
    }
    return summarize(std::move(values));
}

}  // namespace vandreth::bench
