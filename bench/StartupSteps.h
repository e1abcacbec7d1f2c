#pragma once
// Where the client's start-up goes: runs of StartupProbe.exe (the client with hooks that time
// its steps) and their summary.

#include <map>
#include <string>
#include <vector>

namespace vandreth::bench {

struct ProbeRun {
    bool ok = false;
    std::string failure;
    // Each step's time after the process was started, by the probe's step name.
    std::map<std::string, double> steps;
    double toFirstText = 0;  // as the benchmark saw it, as for the client itself
    int windows = 0;         // created on the client's thread
};

// Starts the probe (the state folder must say "not linked"), reads its times, closes it.
ProbeRun probeOnce(const std::wstring& probe);

// Prints the median of each step's share.
void printStartupSteps(const std::vector<ProbeRun>& runs);

}  // namespace vandreth::bench
