#pragma once
// The client's state folder: a fresh APPDATA for this process, which the programs it starts
// inherit, removed again at the end.

#include <filesystem>
#include <string>

namespace vandreth::bench {

class StateFolder {
public:
    StateFolder();
    ~StateFolder();
    StateFolder(const StateFolder&) = delete;
    StateFolder& operator=(const StateFolder&) = delete;

    // A state file with this origin, and with the benchmark's token when `linked`.
    void write(const std::string& origin, bool linked) const;

private:
    std::filesystem::path folder_;
};

}  // namespace vandreth::bench
