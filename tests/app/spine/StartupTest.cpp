// Start-up with and without a stored access token (and without a main window), which commands
// run, and closing the window: the state file is written once more, with the URL box's last
// text as the origin, and the exit code is 0.

#include "CaseName.h"
#include "ClientHarness.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"
#include "SpineSupport.h"
#include "VandrethWinApp.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace vandreth::test {
namespace {

constexpr const char* kLinkStartAnswer = R"({"code":"KQ7-4M2","approve_url":""})";

TEST(Startup, WithoutTokenIsReadyToLinkAndSendsNothing)
{
    LoopbackServer server;
    server.reply("POST", kLinkStartPath, ScriptedReply::json(200, kLinkStartAnswer));
    ScopedAppData appData;
    appData.writeState(unlinkedStateFile(server.origin()));
    ClientHarness client;
    ASSERT_TRUE(client.start());

    EXPECT_EQ(client.text(kStatusLine), kReadyToLink);
    EXPECT_TRUE(client.enabled(kGenerateButton));
    EXPECT_TRUE(client.enabled(kPairingButton));
    EXPECT_FALSE(client.enabled(kRefreshButton));
    EXPECT_FALSE(client.enabled(kUnlinkButton));
    EXPECT_FALSE(client.enabled(kCreateButton));
    EXPECT_FALSE(client.enabled(kOpenProjectButton));

    // Anything sent at start-up would reach the server before the request of this click.
    client.click(kGenerateButton);
    ASSERT_TRUE(server.waitForRequests(1, 10s));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /api/pc/link/start HTTP/1.1");
}

TEST(Startup, WithTokenChecksTheSessionOnce)
{
    LoopbackServer server;
    server.reply("GET", kMePath, ScriptedReply::hang());
    server.reply("GET", kInstancesPath, ScriptedReply::hang());
    ScopedAppData appData;
    appData.writeState(linkedStateFile(server.origin()));
    ClientHarness client;
    ASSERT_TRUE(client.start());

    EXPECT_EQ(client.text(kStatusLine), kCheckingSession);
    EXPECT_TRUE(client.enabled(kGenerateButton));
    EXPECT_TRUE(client.enabled(kPairingButton));
    EXPECT_TRUE(client.enabled(kRefreshButton));
    EXPECT_TRUE(client.enabled(kUnlinkButton));
    EXPECT_TRUE(client.enabled(kCreateButton));
    EXPECT_FALSE(client.enabled(kOpenProjectButton));

    ASSERT_TRUE(server.waitForRequests(1, 10s));
    // A second check made at start-up would arrive before the request of this click.
    client.click(kRefreshButton);
    ASSERT_TRUE(server.waitForRequests(2, 10s));
    const auto checks = server.requestsTo(kMePath);
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].requestLine, "GET /api/pc/me HTTP/1.1");
    EXPECT_EQ(checks[0].header("Authorization"), std::string("Bearer ") + kToken);
    EXPECT_NE(checks[0].raw.find(std::string("\r\nAuthorization: Bearer ") + kToken + "\r\n"), std::string::npos)
        << checks[0].raw;
    EXPECT_EQ(checks[0].body, "");
    EXPECT_EQ(server.requestsTo(kInstancesPath).size(), 1u);
}

TEST(Startup, RunsNoCommandForNotificationsOtherThanClicks)
{
    LoopbackServer server;
    server.reply("GET", kMePath, ScriptedReply::hang());
    server.reply("GET", kInstancesPath, ScriptedReply::hang());
    ScopedAppData appData;
    const std::string stored = linkedStateFile(server.origin());
    appData.writeState(stored);
    ClientHarness client;
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(server.waitForRequests(1, 10s));

    for (const WPARAM notification : {MAKEWPARAM(kGenerateButton, BN_DOUBLECLICKED), MAKEWPARAM(kUnlinkButton, 1),
                                      MAKEWPARAM(kRefreshButton, EN_CHANGE)}) {
        EXPECT_EQ(SendMessageA(client.window(), WM_COMMAND, notification, 0), 0);
    }
    EXPECT_EQ(client.text(kStatusLine), kCheckingSession);
    // Still linked: Unlink would have saved an unlinked file.
    EXPECT_TRUE(client.enabled(kUnlinkButton));
    EXPECT_EQ(appData.stateBytes(), stored);

    // A request from any of them would reach the server before this click's.
    client.click(kRefreshButton);
    ASSERT_TRUE(server.waitForRequests(2, 10s));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].requestLine, "GET /api/pc/instances HTTP/1.1");
}

// Refuses the creation of the client's main window, as the system may.
LRESULT CALLBACK refuseMainWindow(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const char* className = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs->lpszClass;
        if (!IS_INTRESOURCE(className) && std::string(className) == kWindowClass) {
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(Startup, WithoutAWindowExitsWithOneAndSavesNothing)
{
    ScopedAppData appData;
    const HHOOK hook = SetWindowsHookExA(WH_CBT, &refuseMainWindow, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    VandrethWinApp app;
    const int exitCode = app.run(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
    UnhookWindowsHookEx(hook);

    EXPECT_EQ(exitCode, 1);
    // The state was loaded (which makes the folder), and nothing was written.
    EXPECT_TRUE(std::filesystem::is_directory(appData.folder() / "Vandreth"));
    EXPECT_FALSE(appData.stateBytes().has_value());
}

TEST(Closing, WritesTheStateOnceMoreAndExitsWithZero)
{
    ScopedAppData appData;
    const std::uint64_t before = systemMs();
    ClientHarness client;
    ASSERT_TRUE(client.start());
    const std::uint64_t after = systemMs();

    // Loading makes the folder but writes nothing.
    EXPECT_TRUE(std::filesystem::is_directory(appData.folder() / "Vandreth"));
    EXPECT_FALSE(appData.stateBytes().has_value());

    EXPECT_EQ(client.close(), 0);
    const auto saved = appData.stateBytes();
    ASSERT_TRUE(saved.has_value());
    // The device id made at this start is the one written.
    const std::string id = savedDeviceId(*saved);
    EXPECT_TRUE(isDeviceIdMadeBetween(id, before, after)) << id;
    EXPECT_EQ(*saved, stateFileBytes(kDefaultOrigin, id));

    // The next start reads that id back and writes it again.
    ClientHarness again;
    ASSERT_TRUE(again.start());
    EXPECT_EQ(again.close(), 0);
    EXPECT_EQ(appData.stateBytes(), saved);
}

struct TypedOrigin {
    const char* name;
    std::string typed;
    std::string saved;
};

// Failure messages name the row.
void PrintTo(const TypedOrigin& row, std::ostream* out)
{
    *out << row.name;
}

class ClosingAfterEdit : public testing::TestWithParam<TypedOrigin> {};

TEST_P(ClosingAfterEdit, SavesTheUrlBoxNormalised)
{
    ScopedAppData appData;
    appData.writeState(unlinkedStateFile("https://stored.vandreth.test"));
    ClientHarness client;
    ASSERT_TRUE(client.start());
    ASSERT_EQ(client.text(kOriginEdit), "https://stored.vandreth.test");

    client.setText(kOriginEdit, GetParam().typed);
    // A save while the window exists takes the box's text (Unlink saves; its button is
    // disabled while unlinked, but the command runs all the same) ...
    client.command(kUnlinkButton);
    ASSERT_EQ(client.text(kStatusLine), kUnlinked);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(GetParam().saved, kDeviceId));
    // ... and so does the save at exit, after the box is gone; the box itself is left as typed.
    EXPECT_EQ(client.text(kOriginEdit), GetParam().typed);
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(GetParam().saved, kDeviceId));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClosingAfterEdit,
    testing::Values(TypedOrigin{"PaddedHostAndPath", "  lab.vandreth.test/base/  ", "https://lab.vandreth.test/base"},
                    TypedOrigin{"PlainHttpWithSlashes", "http://lab.vandreth.test:8080///",
                                "http://lab.vandreth.test:8080"},
                    TypedOrigin{"Emptied", "", kDefaultOrigin},
                    TypedOrigin{"Blanked", " \t ", kDefaultOrigin},
                    // Normalised once: a second pass would make more of these.
                    TypedOrigin{"OnlySlashes", "///", "https:"},
                    TypedOrigin{"PlainHttpSchemeOnly", "http://", "http:"},
                    TypedOrigin{"BlankBeforeSlash", "lab.vandreth.test /", "https://lab.vandreth.test "}),
    CaseName());

}  // namespace
}  // namespace vandreth::test
