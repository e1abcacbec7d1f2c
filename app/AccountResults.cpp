#include "VandrethWinApp.h"

#include "AnswerReaders.h"
#include "TextHelpers.h"

#include <utility>

namespace vandreth {

namespace {

constexpr const char* kAccountUnchecked = "Linked, but the account could not be checked";
constexpr const char* kNoPlan = "Plan: -";
constexpr const char* kNoLimit = "Limit: -";

// The service looked at the token and turned it down. Any other failure (no answer, a server
// error, a redirect not followed) says nothing about the token.
bool isRefusal(const HttpResult& http)
{
    return http.statusCode >= 400 && http.statusCode <= 499;
}

}  // namespace

void VandrethWinApp::checkAccount()
{
    // One check at a time: while one made with an earlier token is out, the check of the
    // current token follows its answer.
    if (meBusy) {
        accountCheckWaiting = true;
        return;
    }
    enqueueTask(TaskKind::Me, {});
}

void VandrethWinApp::onMeResult(const HttpResult& http, const std::string& token)
{
    if (token != accessToken) {
        // An approval or Unlink replaced the token meanwhile: this answer says nothing about
        // the current one.
        if (std::exchange(accountCheckWaiting, false) && !accessToken.empty()) {
            enqueueTask(TaskKind::Me, {});
        }
        return;
    }
    accountCheckWaiting = false;
    if (isRefusal(http)) {
        forgetAccount();
        setStatus(http.error);
        saveState();
        return;
    }
    if (!http.error.empty()) {
        // The token may well be good: it stays, in memory and in the file, and Refresh checks again.
        accountChecked = false;
        setAccountSummary(kAccountUnchecked, kNoPlan, kNoLimit);
        setStatus(http.error);
        return;
    }
    accountChecked = true;
    const AccountSummary summary = readAccountSummary(http.json);
    setAccountSummary(summary.account, summary.plan, summary.limit);
    cores = readCores(http.json);
    populateCoreCombo();
    setStatus("Vandreth desktop session ready.");
    enqueueTask(TaskKind::Instances, {});
}

void VandrethWinApp::onInstancesResult(const HttpResult& http)
{
    if (!http.error.empty()) {
        setStatus(http.error);
        return;
    }
    // Emptied first, so that the old and the new list are never held at once.
    projects.clear();
    projects = readProjects(http.json);
    populateProjectsList();
    setStatus("Loaded " + std::to_string(projects.size()) + " Vandreth project(s).");
}

void VandrethWinApp::onCreateInstanceResult(const HttpResult& http)
{
    if (!http.error.empty()) {
        setStatus(http.error);
        return;
    }
    clearForm();
    setStatus(jsonString(http.json, "message", "Vandreth created your RERI from the desktop client."));
    enqueueTask(TaskKind::Instances, {});
}

void VandrethWinApp::resetAccount()
{
    setAccountSummary("Not linked yet", kNoPlan, kNoLimit);
}

void VandrethWinApp::forgetAccount()
{
    accessToken.clear();
    accountChecked = false;
    projects.clear();
    cores.clear();
    populateProjectsList();
    populateCoreCombo();
    resetAccount();
}

}  // namespace vandreth
