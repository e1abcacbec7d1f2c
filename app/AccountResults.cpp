#include "VandrethWinApp.h"

#include "AnswerReaders.h"

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

void VandrethWinApp::onMeResult(const HttpResult& http)
{
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
    requestForHeldToken(TaskKind::Instances);
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
    setStatus(createOutcomeText(http));
    if (!http.error.empty()) {
        return;
    }
    clearForm();
    requestForHeldToken(TaskKind::Instances);
}

void VandrethWinApp::resetAccount()
{
    setAccountSummary("Not linked yet", kNoPlan, kNoLimit);
}

void VandrethWinApp::forgetAccount()
{
    accessToken.clear();
    tokenOrigin.clear();
    clearAccountView();
}

void VandrethWinApp::clearAccountView()
{
    accountChecked = false;
    projects.clear();
    cores.clear();
    populateProjectsList();
    populateCoreCombo();
    resetAccount();
}

}  // namespace vandreth
