#include "VandrethWinApp.h"

#include "Origin.h"
#include "TextHelpers.h"
#include "WindowText.h"

namespace vandreth {

namespace {

constexpr std::uint64_t kFirstPollDelayMs = 1000;
constexpr std::uint64_t kNextPollDelayMs = 2000;

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
    accessToken = trim(jsonString(http.json, "access_token", ""));
    accountChecked = false;
    polling = false;
    setStatus(jsonString(http.json, "message", "Vandreth desktop client linked."));
    saveState();
    checkAccount();
}

}  // namespace vandreth
