#include "VandrethWinApp.h"

#include "Origin.h"
#include "TextHelpers.h"
#include "WindowText.h"

#include <utility>

namespace vandreth {

namespace {

constexpr std::uint64_t kFirstPollDelayMs = 1000;
constexpr std::uint64_t kNextPollDelayMs = 2000;

constexpr const char* kApprovedWithoutToken =
    "Vandreth approved the code but sent no access token. Generate a new link code to try again.";
constexpr const char* kApprovedWithUnusableToken =
    "Vandreth approved the code but sent an access token that this PC cannot use. Generate a new link code to try "
    "again.";

std::string pairingPageName()
{
    return std::string(kServiceHost) + "/link/pc.";
}

}  // namespace

void VandrethWinApp::onLinkStartResult(const HttpResult& http, const std::string& origin)
{
    if (!http.error.empty()) {
        setStatus(http.error);
        return;
    }
    ++linkChanges;
    linkCode = jsonString(http.json, "code", "");
    linkCodeOrigin = origin;
    approveUrl = jsonString(http.json, "approve_url", "");
    setWindowTextUtf8(linkCodeEdit, linkCode);
    polling = !linkCode.empty();
    nextPollAt = nowMs() + kFirstPollDelayMs;
    saveState();
    setStatus("Code ready. Approve it at " + pairingPageName());
}

void VandrethWinApp::onLinkPollResult(const HttpResult& http, const std::string& origin)
{
    if (http.statusCode == 202) {
        setStatus(jsonString(http.json, "message", "Waiting for approval at " + pairingPageName()));
        nextPollAt = nowMs() + kNextPollDelayMs;
        return;
    }
    if (!http.error.empty()) {
        setStatus(http.error);
        polling = false;
        if (http.statusCode == 404 || http.statusCode == 410) {
            linkCode.clear();
            linkCodeOrigin.clear();
            approveUrl.clear();
            setWindowTextUtf8(linkCodeEdit, "");
        }
        return;
    }
    // An approval without a token that can be sent links nothing, and must not cost the token
    // already held.
    std::string token = trim(jsonString(http.json, "access_token", ""));
    polling = false;
    if (token.empty()) {
        setStatus(kApprovedWithoutToken);
        return;
    }
    if (headerSafeToken(token) != token) {
        setStatus(kApprovedWithUnusableToken);
        return;
    }
    setStatus(jsonString(http.json, "message", "Vandreth desktop client linked."));
    linkWith(std::move(token), origin);
}

void VandrethWinApp::linkWith(std::string token, const std::string& origin)
{
    ++linkChanges;
    accessToken = std::move(token);
    tokenOrigin = origin;
    // Nothing of the previous account may stay shown, or go out with the new token.
    clearAccountView();
    saveState();
    requestForHeldToken(TaskKind::Me);
}

}  // namespace vandreth
