#pragma once
// The client's main window and message loop on a thread of this process, unlinked, so that an
// answer can be handed to its window thread and timed there exactly.

#include <windows.h>

#include <nlohmann/json.hpp>

#include <string>
#include <thread>

namespace vandreth::bench {

class InProcessClient {
public:
    // Starts the thread and waits for the window and its status line.
    InProcessClient();
    // Closes the window and waits for the thread.
    ~InProcessClient();
    InProcessClient(const InProcessClient&) = delete;
    InProcessClient& operator=(const InProcessClient&) = delete;

    bool ready() const { return status_ != nullptr; }

    // Hands over a project-list answer as a worker does, but sent rather than posted, so the
    // call returns when the window thread has finished with it (its freeing included); the
    // milliseconds that took.
    double deliver(nlohmann::json answer) const;

    std::string status() const;

private:
    HWND window_ = nullptr;
    HWND status_ = nullptr;
    std::thread thread_;
};

}  // namespace vandreth::bench
