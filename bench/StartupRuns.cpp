#include "StartupRuns.h"

#include "ChildProcess.h"
#include "Clock.h"
#include "DriverSetting.h"
#include "Responsiveness.h"

#include <vector>

namespace vandreth::bench {

StartupRun startOnce(const std::wstring& program, const char* className, int textId, const std::string& firstText,
                     const std::string& settledText)
{
    StartupRun run;
    test::ChildProcess child(program);
    if (!child.started()) {
        run.failure = "could not start the program";
        return run;
    }
    HWND window = child.waitForWindow(test::WindowState::Listed, kWindowTimeoutMs, className);
    if (window == nullptr) {
        run.failure = "no window appeared";
        return run;
    }
    const double madeAt = nowMs();
    RoundTripSampler sampler(window, RoundTripSampler::Start::OnceShown);
    HWND textWindow = textId != 0 ? waitForControl(window, textId, kWindowTimeoutMs) : window;
    const auto shown = textWindow != nullptr ? waitForText(textWindow, firstText, kWindowTimeoutMs) : std::nullopt;
    if (!shown) {
        run.failure = "the first text never showed (it says \"" + windowText(textWindow) + "\")";
        return run;
    }
    run.toFirstText = *shown - counterMs(child.startCounter());
    if (!settledText.empty() && !waitForText(textWindow, settledText, kAnswerTimeoutMs)) {
        run.failure = "\"" + settledText + "\" never showed";
        return run;
    }
    sleepMs(kSettleMs);
    const std::vector<RoundTrip> samples = sampler.stop();
    if (!samples.empty()) {
        run.madeUntilLoop = samples.front().answeredAt - madeAt;
        run.shownUntilLoop = samples.front().ms();
        run.afterwards = longestRoundTrip(samples, [&](const RoundTrip& trip) { return &trip != &samples.front(); });
    }
    run.memory = memoryOf(child.handle());
    const auto exitCode = child.close(window, kCloseTimeoutMs);
    if (exitCode != DWORD{0}) {
        run.failure = exitCode ? "exit code " + std::to_string(*exitCode) : "it did not end when closed";
        return run;
    }
    run.ok = true;
    return run;
}

}  // namespace vandreth::bench
