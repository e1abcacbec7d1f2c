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

std::string pairingPageName()
{
    return std::string(kServiceHost) + "/link/pc.";
}

}  // namespace

void VandrethWinApp::onLinkStartResult(const HttpResult& http)
{
    if (!http.error.empty()) {
        setStatus(http.error);
        return;
    }
    linkCode = jsonString(http.json, "code", "");
    approveUrl = jsonString(http.json, "approve_url", "");
    setWindowTextUtf8(linkCodeEdit, linkCode);
    polling = !linkCode.empty();
    nextPollAt = nowMs() + kFirstPollDelayMs;
    saveState();
    setStatus("Code ready. Approve it at " + pairingPageName());
}

void VandrethWinApp::onLinkPollResult(const HttpResult& http)
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
            approveUrl.clear();
            setWindowTextUtf8(linkCodeEdit, "");
        }
        return;
    }
    // An approval without a token links nothing, and must not cost the token already held.
    std::string token = trim(jsonString(http.json, "access_token", ""));
    polling = false;
    if (token.empty()) {
        setStatus(kApprovedWithoutToken);
        return;
    }
    accessToken = std::move(token);
    accountChecked = false;
    setStatus(jsonString(http.json, "message", "Vandreth desktop client linked."));
    saveState();
    checkAccount();
}

}  // namespace vandreth
