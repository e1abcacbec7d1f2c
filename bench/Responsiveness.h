#pragma once
// How quickly a window's thread answers: a WM_NULL sent with SendMessageTimeout every 10 ms
// from a thread of the benchmark's own; each round trip is kept with its send and answer times.

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace vandreth::bench {

struct RoundTrip {
    double sentAt = 0;
    double answeredAt = 0;
    bool answered = false;  // false: the time-out ran out or the window was gone

    double ms() const { return answeredAt - sentAt; }
};

class RoundTripSampler {
public:
    static constexpr double kPeriodMs = 10;
    static constexpr UINT kTimeoutMs = 10000;

    enum class Start { AtOnce, OnceShown };

    // Starts sampling at once, or once the window is visible (a window nobody can see yet has
    // nobody to answer).
    explicit RoundTripSampler(HWND window, Start start = Start::AtOnce);
    ~RoundTripSampler();
    RoundTripSampler(const RoundTripSampler&) = delete;
    RoundTripSampler& operator=(const RoundTripSampler&) = delete;

    // Stops (after the round trip in flight) and gives every round trip in order.
    std::vector<RoundTrip> stop();

private:
    void sample();

    HWND window_;
    Start start_;
    std::atomic<bool> stopping_{false};
    std::vector<RoundTrip> samples_;
    std::thread thread_;
};

// The longest round trip among those that `include` accepts; 0 for none.
double longestRoundTrip(const std::vector<RoundTrip>& samples,
                        const std::function<bool(const RoundTrip&)>& include = [](const RoundTrip&) { return true; });

}  // namespace vandreth::bench
