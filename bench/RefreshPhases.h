#pragma once
// What a refresh of the largest list is made of, measured inside this process: the client's own
// steps (its HTTP client, its answer reader, its main window) and replays of its window messages,
// then experiments with other ways of taking the same steps, which only this benchmark tries.

#include <cstddef>
#include <memory>
#include <string>

namespace vandreth::bench {

struct PhaseSetting {
    std::string origin;  // of the loopback service, which answers the project list with `count` projects
    std::size_t count = 0;
    int runs = 5;
};

class RefreshPhases {
public:
    explicit RefreshPhases(PhaseSetting setting);
    ~RefreshPhases();
    RefreshPhases(const RefreshPhases&) = delete;
    RefreshPhases& operator=(const RefreshPhases&) = delete;

    // The report's section on where a refresh goes: the worker thread's steps, then the window
    // thread's. The client's window stays up in this process until this object goes.
    void reportWhereARefreshGoes();

    // The experiments' section, after the one above and on what it measured: other ways of
    // reading the rows and filling the list, and the heap bytes each form of the answer takes.
    void reportExperiments() const;

private:
    struct Measured;

    void printWorkerThreadSteps() const;
    void printWindowThreadSteps();
    void printClientsHandling();
    void printOtherWays() const;
    void printHeapBytes() const;

    PhaseSetting setting_;
    std::unique_ptr<Measured> measured_;
};

}  // namespace vandreth::bench
