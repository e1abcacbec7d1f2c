#include "VandrethWinApp.h"

#include "AnswerReaders.h"
#include "TextHelpers.h"

namespace vandreth {

void VandrethWinApp::onMeResult(const HttpResult& http)
{
    if (!http.error.empty()) {
        // Whatever the cause, a failed account check ends the link.
        accessToken.clear();
        projects.clear();
        cores.clear();
        populateProjectsList();
        populateCoreCombo();
        resetAccount();
        setStatus(http.error);
        saveState();
        return;
    }
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
    setAccountSummary("Not linked yet", "Plan: -", "Limit: -");
}

}  // namespace vandreth
