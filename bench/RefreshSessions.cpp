#include "RefreshSessions.h"

#include "ChildProcess.h"
#include "Clock.h"
#include "DriverSetting.h"
#include "FloorRequest.h"
#include "Responsiveness.h"
#include "ServiceAnswers.h"
#include "WindowIds.h"

#include <nlohmann/json.hpp>

namespace vandreth::bench {

namespace {

using test::LoopbackServer;
using test::ScriptedReply;

constexpr double kHangMs = 2000;

// The client's window and the two controls a refresh goes through.
struct RefreshControls {
    HWND window = nullptr;
    HWND status = nullptr;
    HWND refresh = nullptr;
};

RefreshControls waitForRefreshControls(const test::ChildProcess& child)
{
    RefreshControls controls;
    controls.window = child.waitForWindow(test::WindowState::Listed, kWindowTimeoutMs);
    if (controls.window != nullptr) {
        controls.status = waitForControl(controls.window, kStatusLine, kWindowTimeoutMs);
        controls.refresh = waitForControl(controls.window, kRefreshButton, kWindowTimeoutMs);
    }
    return controls;
}

// The floor of a refresh: a bare GET of the same answer from the same server, parsed.
std::optional<double> floorRefresh(INTERNET_PORT port, std::size_t count)
{
    const double start = nowMs();
    const FetchedBody body = fetchProjectList(port);
    if (!body.ok || body.status != 200) {
        return std::nullopt;
    }
    const nlohmann::json answer = nlohmann::json::parse(body.bytes, nullptr, false);
    const double end = nowMs();
    if (!answer.is_object() || !answer.contains("instances") || answer["instances"].size() != count) {
        return std::nullopt;
    }
    return end - start;
}

// Clicks Refresh; the moment the click was sent. The click is handled before SendMessage
// returns, so the status already says that the refresh started, or (for a small list) that it
// has already ended.
std::optional<double> clickRefresh(const RefreshControls& client, const std::string& loaded)
{
    const double clickedAt = nowMs();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(client.refresh, BM_CLICK, 0, 0, SMTO_NORMAL, kCloseTimeoutMs, &ignored);
    const std::string status = windowText(client.status);
    if (status != kRefreshing && status != loaded) {
        return std::nullopt;
    }
    return clickedAt;
}

// One refresh of the client, after the floor's request.
RefreshRun refreshOnce(const LoopbackServer& server, const RefreshControls& client, std::size_t count)
{
    RefreshRun figures;
    const auto floor = floorRefresh(server.port(), count);
    if (!floor) {
        figures.failure = "the floor's request failed";
        return figures;
    }
    figures.floorMs = *floor;
    sleepMs(100);

    const std::string loaded = loadedStatus(count);
    const std::size_t requestsBefore = server.requestsTo(kInstancesPath).size();
    RoundTripSampler sampler(client.window);
    sleepMs(50);
    const auto clickedAt = clickRefresh(client, loaded);
    const auto loadedAt = clickedAt ? waitForText(client.status, loaded, kAnswerTimeoutMs) : std::nullopt;
    sleepMs(kSettleMs);
    const std::vector<RoundTrip> samples = sampler.stop();
    if (!loadedAt || server.requestsTo(kInstancesPath).size() != requestsBefore + 1) {
        figures.failure = "a refresh ended with \"" + windowText(client.status) + "\"";
        return figures;
    }
    figures.clientMs = *loadedAt - *clickedAt;
    // The window thread refills the list and then sets the status text: the round trip in
    // flight around that moment (or the first one sent right after it) waited for the refill.
    const auto duringRefill = [&](const RoundTrip& trip) {
        return trip.sentAt <= *loadedAt + RoundTripSampler::kPeriodMs + 2 && trip.answeredAt >= *loadedAt - 2;
    };
    figures.refill = longestRoundTrip(samples, duringRefill);
    figures.outsideRefill = longestRoundTrip(samples, [&](const RoundTrip& trip) { return !duringRefill(trip); });
    return figures;
}

// The longest round trip while a refresh waits for an answer that never comes; nothing when the
// refresh did not start. The server answers again afterwards.
std::optional<double> longestWhileHanging(LoopbackServer& server, const RefreshControls& client, std::size_t count)
{
    server.reply("GET", kInstancesPath, ScriptedReply::hang());
    RoundTripSampler sampler(client.window);
    sleepMs(50);
    const auto clickedAt = clickRefresh(client, loadedStatus(count));
    sleepMs(kHangMs);
    const std::vector<RoundTrip> samples = sampler.stop();
    const bool hung = clickedAt && windowText(client.status) == kRefreshing;
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, projectsAnswer(count, server.origin())));
    return hung ? std::optional<double>(longestRoundTrip(samples)) : std::nullopt;
}

}  // namespace

RefreshSession refreshSession(const std::wstring& client, LoopbackServer& server, const StateFolder& state,
                              std::size_t count, int runs, bool withHang)
{
    RefreshSession session;
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, projectsAnswer(count, server.origin())));
    state.write(server.origin(), true);

    test::ChildProcess child(client);
    const RefreshControls controls = child.started() ? waitForRefreshControls(child) : RefreshControls{};
    if (controls.status == nullptr || controls.refresh == nullptr) {
        session.failure = "the client's window did not come up";
        return session;
    }
    if (!waitForText(controls.status, loadedStatus(count), kAnswerTimeoutMs)) {
        session.failure = "the first load ended with \"" + windowText(controls.status) + "\"";
        return session;
    }
    sleepMs(kSettleMs);

    for (int run = 0; run < runs; ++run) {
        session.runs.push_back(refreshOnce(server, controls, count));
        if (!session.runs.back().failure.empty()) {
            session.failure = session.runs.back().failure;
            session.runs.pop_back();
            return session;
        }
        sleepMs(200);
    }
    session.memory = memoryOf(child.handle());
    if (withHang) {
        session.hanging = longestWhileHanging(server, controls, count);
    }
    if (child.close(controls.window, kCloseTimeoutMs) != DWORD{0}) {
        session.failure = "the client did not end cleanly when closed";
    }
    return session;
}

}  // namespace vandreth::bench
