#include "Responsiveness.h"

#include "Clock.h"

#include <algorithm>

namespace vandreth::bench {

RoundTripSampler::RoundTripSampler(HWND window, Start start)
    : window_(window), start_(start), thread_([this] { sample(); })
{
}

RoundTripSampler::~RoundTripSampler()
{
    stop();
}

std::vector<RoundTrip> RoundTripSampler::stop()
{
    stopping_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
    return samples_;
}

void RoundTripSampler::sample()
{
    samples_.reserve(4096);
    // Whether a window is visible is kept by the system: asking sends the window nothing.
    while (start_ == Start::OnceShown && !stopping_ && !IsWindowVisible(window_)) {
        Sleep(1);
    }
    while (!stopping_) {
        RoundTrip trip;
        trip.sentAt = nowMs();
        DWORD_PTR ignored = 0;
        trip.answered = SendMessageTimeoutA(window_, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, &ignored) != 0;
        trip.answeredAt = nowMs();
        samples_.push_back(trip);
        // A late answer starts the next round trip at once; otherwise keep the 10 ms beat.
        sleepMs(trip.sentAt + kPeriodMs - nowMs());
    }
}

double longestRoundTrip(const std::vector<RoundTrip>& samples, const std::function<bool(const RoundTrip&)>& include)
{
    double longest = 0;
    for (const RoundTrip& trip : samples) {
        if (include(trip)) {
            longest = std::max(longest, trip.ms());
        }
    }
    return longest;
}

}  // namespace vandreth::bench
