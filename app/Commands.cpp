#include "VandrethWinApp.h"

#include "Origin.h"
#include "WebAddress.h"
#include "WindowIds.h"
#include "WindowText.h"

#include <shellapi.h>

namespace vandreth {

namespace {

constexpr const char* kNotAWebPage =
    "Vandreth opens only web pages (http or https addresses), so this address was not opened.";
constexpr const char* kBadOrigin = "The Vandreth URL above is not a web address, so the pairing page was not opened.";
constexpr const char* kNoProjectPage = "This project has no page to open.";
// The token is forgotten in memory, but the file may still hold it and the next start read it.
constexpr const char* kUnlinkedButNotSaved = "Unlinked for this session, but Vandreth could not update its state file, "
                                             "so this PC may be linked again at the next start.";

// Hands a web address to the user's browser; what the shell does with it is not reported.
void openUrl(const std::string& url)
{
    ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void VandrethWinApp::onCommand(int id)
{
    switch (id) {
    case kGenerateButton:
        setStatus("Requesting a new Vandreth PC link code...");
        enqueueTask(TaskKind::LinkStart, {});
        break;
    case kPairingButton:
        openPairingPage();
        break;
    case kRefreshButton:
        refresh();
        break;
    case kUnlinkButton:
        unlink();
        break;
    case kOpenProjectButton:
        openSelectedProject();
        break;
    case kCreateButton:
        submitCreate();
        break;
    default:
        break;
    }
}

void VandrethWinApp::refresh()
{
    if (accessToken.empty()) {
        setStatus("Link the desktop client first.");
        return;
    }
    if (!boxNamesTheTokensOrigin()) {
        return;
    }
    // An account not yet checked for this token (the service could not be reached, say) is
    // checked first, and the check's success loads the projects. While a check is out, its
    // success will do that anyway, and Refresh loads the projects as before.
    if (!accountChecked && !meBusy) {
        setStatus("Checking linked Vandreth session...");
        enqueueTask(TaskKind::Me, {});
        return;
    }
    setStatus("Refreshing your Vandreth projects...");
    enqueueTask(TaskKind::Instances, {});
}

void VandrethWinApp::openPairingPage()
{
    if (!approveUrl.empty()) {
        openServicePage(approveUrl, kNotAWebPage);
    } else {
        // A code is approved at the service that issued it, whatever the box says by now.
        openServicePage((linkCode.empty() ? serviceOrigin() : linkCodeOrigin) + "/link/pc", kBadOrigin);
    }
}

void VandrethWinApp::openSelectedProject()
{
    const std::optional<std::int32_t> index = selectedProjectIndex();
    if (!index || *index < 0 || static_cast<std::size_t>(*index) >= projects.size()) {
        setStatus("Select a project first.");
        return;
    }
    const ProjectRow& project = projects[static_cast<std::size_t>(*index)];
    const std::string& page = !project.manageUrl.empty() ? project.manageUrl : project.publicUrl;
    if (page.empty()) {
        setStatus(kNoProjectPage);
        return;
    }
    openServicePage(page, kNotAWebPage);
}

void VandrethWinApp::openServicePage(const std::string& url, const char* refusal)
{
    if (!isWebAddress(url)) {
        setStatus(refusal);
        return;
    }
    openUrl(url);
}

void VandrethWinApp::unlink()
{
    ++linkChanges;
    polling = false;
    linkCode.clear();
    linkCodeOrigin.clear();
    approveUrl.clear();
    setWindowTextUtf8(linkCodeEdit, "");
    forgetAccount();
    setStatus(saveState() ? "Vandreth desktop client unlinked." : kUnlinkedButNotSaved);
}

}  // namespace vandreth
