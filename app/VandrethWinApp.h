#pragma once
// The desktop client: one object that owns the main window, its controls, the persisted state,
// the link-and-poll state, one busy flag per background task and the two lists the service fills.
//
// Everything here runs on the window thread. Workers never touch this object: each gets copies
// of what its request needs and sends its result back as kAsyncMessage.

#include "AppTypes.h"
#include "GdiFont.h"
#include "HttpClient.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vandreth {

class VandrethWinApp {
public:
    VandrethWinApp();
    // The same, with the HTTP client that every request goes through (tests shorten its limits).
    explicit VandrethWinApp(const HttpClient& client);
    ~VandrethWinApp() = default;
    VandrethWinApp(const VandrethWinApp&) = delete;
    VandrethWinApp& operator=(const VandrethWinApp&) = delete;

    // Loads the state, opens the main window, pumps messages until it is closed, saves the state
    // once more (unless the file was there but could not be read). Returns the exit code: 0 after
    // the window closed, 1 when it could not be created.
    int run(HINSTANCE instance, int showCommand);

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

private:
    // Start-up, message dispatch and the window updates everything else uses (AppWindow.cpp).
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void onDestroy();
    void onPollTimer(WPARAM timerId);
    void setStatus(const std::string& text);
    void setAccountSummary(const std::string& account, const std::string& plan, const std::string& limit);
    void syncBusyState();
    void enableButton(HWND button, bool enable);

    // Origin and state file (AppState.cpp).
    std::string currentOrigin() const;
    // The origin that link-code requests, the pairing page and saves without a token use: the
    // box's text normalised, or, once the box is gone, the origin it held last (normalised
    // already: normalising twice would change it).
    std::string serviceOrigin() const;
    // False, with the status line saying why, when the box names another origin than the one
    // that issued the held token: the token and the account's requests go nowhere else.
    bool boxNamesTheTokensOrigin();
    void loadState();
    // True when the file now holds the present state. Saving is best effort: only Unlink, which
    // must not claim a forgotten token while the file still holds it, looks at the result.
    bool saveState();

    // Background tasks (BackgroundTasks.cpp).
    void enqueueTask(TaskKind kind, FormFields fields);
    // Where `kind`'s request goes: the token's origin, the code's, or the box's for a new code.
    std::string requestOrigin(TaskKind kind) const;
    LinkSnapshot heldLink() const;
    // Starts the account check or the project list for the held token. While a request of that
    // kind is out, this one follows its answer when that answer turns out to be outdated; a
    // current one serves for both.
    void requestForHeldToken(TaskKind kind);
    void markBusy(TaskKind kind, bool busy);
    bool& busyFlag(TaskKind kind);
    TaskResult*& outstandingResult(TaskKind kind);
    std::unique_ptr<TaskResult> takeResult(WPARAM wParam, LPARAM lParam);
    void handleTaskResult(WPARAM wParam, LPARAM lParam);
    // An answer made for a link the window no longer holds.
    void onOutdatedResult(const TaskResult& result);

    // Answers of the link requests (LinkFlow.cpp).
    void onLinkStartResult(const HttpResult& http, const std::string& origin);
    void onLinkPollResult(const HttpResult& http, const std::string& origin);
    // Takes the token of an approval from `origin`, forgets the previous account and checks the new one.
    void linkWith(std::string token, const std::string& origin);

    // Answers of the account requests (AccountResults.cpp).
    void onMeResult(const HttpResult& http);
    void onInstancesResult(const HttpResult& http);
    void onCreateInstanceResult(const HttpResult& http);
    void resetAccount();
    // Empties the account's summary and both lists: nothing of an earlier account stays shown.
    void clearAccountView();
    // Forgets the token and its origin, the account's summary and both lists (the state file is
    // not saved).
    void forgetAccount();

    // Controls and lists (MainWindow.cpp).
    void createUi();
    HWND createControl(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y, int width,
                       int height, int id);
    void populateCoreCombo();
    void populateProjectsList();
    std::optional<std::int32_t> selectedProjectIndex() const;
    void clearForm();
    // The colours of a label or check box (WM_CTLCOLORSTATIC): those of the window beneath it.
    LRESULT staticControlColours(HDC dc, HWND control) const;
    // The background of a push button (WM_CTLCOLORBTN): a themed button shows it around its
    // rounded corners, so it is the window's own. Classic buttons paint over all of it.
    static LRESULT pushButtonBackground();
    // WM_ACTIVATE: keeps the focused control while the window is inactive and gives it back.
    void onActivate(WPARAM state);

    // Create form (CreateForm.cpp).
    void submitCreate();
    std::string selectedCoreKey() const;
    std::string selectedPresetName() const;

    // Buttons (Commands.cpp).
    void onCommand(int id);
    void refresh();
    void openPairingPage();
    void openSelectedProject();
    // Opens `url` in the browser when it is a web address; otherwise shows `refusal`.
    void openServicePage(const std::string& url, const char* refusal);
    void unlink();

    HINSTANCE moduleHandle = nullptr;
    HWND window = nullptr;
    GdiFont font;
    HWND originEdit = nullptr;
    HWND linkCodeEdit = nullptr;
    HWND statusLine = nullptr;
    HWND accountLine = nullptr;
    HWND planLine = nullptr;
    HWND limitLine = nullptr;
    HWND projectList = nullptr;
    HWND nameEdit = nullptr;
    HWND descriptionEdit = nullptr;
    HWND emojiEdit = nullptr;
    HWND accentEdit = nullptr;
    HWND tagsEdit = nullptr;
    HWND coreCombo = nullptr;
    HWND presetCombo = nullptr;
    HWND publicListingCheck = nullptr;
    HWND maintenanceCheck = nullptr;
    HWND generateButton = nullptr;
    HWND pairingButton = nullptr;
    HWND refreshButton = nullptr;
    HWND unlinkButton = nullptr;
    HWND openProjectButton = nullptr;
    HWND createButton = nullptr;
    // The control that gets the focus when the window is activated; the URL box at first.
    HWND focusOnActivation = nullptr;

    HttpClient httpClient;
    std::string storedOrigin;
    std::string deviceId;
    std::string accessToken;
    // The origin that issued the access token: its requests go there and nowhere else.
    std::string tokenOrigin;
    // The state file was there at start but could not be read (another program held it): what
    // it holds is unknown to this run, so the save at exit leaves it alone until a save of this
    // run has replaced it.
    bool stateFileUnread = false;
    std::string linkCode;
    // The origin that issued the link code: its polls go there and nowhere else.
    std::string linkCodeOrigin;
    std::string approveUrl;
    // Counts new codes, approvals and Unlinks: the answer to a link-code request or a poll sent
    // before one of them is outdated.
    std::uint64_t linkChanges = 0;
    bool polling = false;
    std::uint64_t nextPollAt = 0;
    bool linkStartBusy = false;
    bool linkPollBusy = false;
    bool meBusy = false;
    bool instancesBusy = false;
    bool createInstanceBusy = false;
    // The result handed to the worker of each kind in flight, by TaskKind: the only addresses
    // that a result message may carry. Compared, never followed, until one matches.
    std::array<TaskResult*, kTaskKindCount> outstandingResults{};
    // The account was checked successfully since the token was last set.
    bool accountChecked = false;
    // By TaskKind: a request for the held token waits for the answer of one still out.
    std::array<bool, kTaskKindCount> followsBusyRequest{};
    std::vector<ProjectRow> projects;
    std::vector<CoreOption> cores;
};

}  // namespace vandreth
