#pragma once
// Where a refresh spends its time, step by step, measured inside this process on the client's
// own code (its HTTP client, its answer reader, its main window) and on variants of the one
// step that blocks the window longest.

#include <cstddef>
#include <string>

namespace vandreth::bench {

struct PhaseSetting {
    std::string origin;  // of the loopback service, which answers /api/pc/instances with `count` projects
    std::string token;
    std::size_t count = 0;
    int runs = 5;
};

// Measures and prints the phases.
void reportRefreshPhases(const PhaseSetting& setting);

}  // namespace vandreth::bench
