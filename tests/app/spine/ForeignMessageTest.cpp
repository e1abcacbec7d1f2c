// Messages that reach the client's window from someone else: a result message that no worker of
// the client posted, from another program or another thread, and a second creation message.
// None of them may change what the window shows, take a busy kind's result away or crash it.

#include "AppTypes.h"
#include "CaseName.h"
#include "ClientHarness.h"
#include "ClientProcess.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"
#include "SpineSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Set on the client's thread by the test that wants to know where its task results lie.
thread_local bool noteResultAllocations = false;
std::atomic<void*> lastResultAllocation{nullptr};

}  // namespace

// Every allocation of this program passes here; on a thread that asks for it, the address of
// each object of a task result's size is noted, so that a test can forge a post of the very
// result that a worker is still filling in.
void* operator new(std::size_t size)
{
    void* memory = HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    if (noteResultAllocations && size == sizeof(vandreth::TaskResult)) {
        lastResultAllocation = memory;
    }
    return memory;
}

void operator delete(void* memory) noexcept
{
    if (memory != nullptr) {
        HeapFree(GetProcessHeap(), 0, memory);
    }
}

void operator delete(void* memory, std::size_t) noexcept
{
    operator delete(memory);
}

namespace vandreth::test {
namespace {

constexpr const char* kMeAnswer =
    R"({"user":{"display_name":"Mira","plan_name":"Pro","reri_limit_label":"3 of 5"},)"
    R"("available_cores":[{"key":"core-1","label":"Forge One"}]})";
constexpr const char* kTwoProjects = R"({"instances":[{"slug":"a"},{"slug":"b"}]})";
constexpr const char* kNoProjectPage = "This project has no page to open.";

// Every wParam a forger might pair with an lParam.
constexpr WPARAM kForgedWParams[] = {0, 1, static_cast<WPARAM>(-1)};

struct ForgedAddress {
    const char* name;
    LPARAM lParam;
};

void PrintTo(const ForgedAddress& row, std::ostream* out)
{
    *out << row.name;
}

const ForgedAddress kForgedAddresses[] = {
    {"Null", 0},
    {"One", 1},
    {"HighHalf", static_cast<LPARAM>(0x7FFF0000)},
    {"DeadBeef", static_cast<LPARAM>(0xDEADBEEF)},
};

// The service of these tests: an account, one project at first (without pages: Open Selected
// Project then only says so), two at every later Refresh.
void serveAccount(LoopbackServer& server)
{
    server.reply("GET", kMePath, ScriptedReply::json(200, kMeAnswer));
    server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer));
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, kTwoProjects));
}

bool answersWmNull(HWND window)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result) != 0;
}

class ForeignResultPost : public testing::TestWithParam<ForgedAddress> {};

TEST_P(ForeignResultPost, FromAnotherProgramChangesNothing)
{
    LoopbackServer server;
    serveAccount(server);
    const ScopedAppData appData;
    appData.writeState(linkedStateFile(server.origin()));
    std::filesystem::create_directories(appData.folder() / "work");
    ClientProcess program({}, appData.folder() / "work");
    ASSERT_TRUE(program.waitUntilReady());
    ASSERT_TRUE(ClientHarness::waitFor([&] { return program.text(kStatusLine) == loadedStatus(1); }))
        << program.text(kStatusLine);

    for (const WPARAM wParam : kForgedWParams) {
        ASSERT_TRUE(PostMessageA(program.window(), kAsyncMessage, wParam, GetParam().lParam));
    }
    // Handled after the forged messages, in the order of posting.
    ASSERT_TRUE(PostMessageA(program.window(), WM_COMMAND, MAKEWPARAM(kOpenProjectButton, 0), 0));
    ASSERT_TRUE(ClientHarness::waitFor([&] { return program.text(kStatusLine) == kNoProjectPage; }))
        << program.text(kStatusLine);

    EXPECT_TRUE(answersWmNull(program.window()));
    EXPECT_EQ(program.text(kAccountLine), "Signed in as Mira");
    EXPECT_EQ(SendMessageA(program.control(kProjectList), LB_GETCOUNT, 0, 0), 1);
    for (const int button : {kGenerateButton, kRefreshButton, kUnlinkButton, kOpenProjectButton, kCreateButton}) {
        EXPECT_TRUE(program.enabled(button)) << button;
    }
    program.click(kRefreshButton);
    EXPECT_TRUE(ClientHarness::waitFor([&] { return program.text(kStatusLine) == loadedStatus(2); }))
        << program.text(kStatusLine);
    EXPECT_EQ(server.requestsTo(kInstancesPath).size(), 2u);
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));
}

INSTANTIATE_TEST_SUITE_P(Addresses, ForeignResultPost, testing::ValuesIn(kForgedAddresses), CaseName());

TEST(ForeignResultPost, WhileARequestIsOutLeavesItsKindBusy)
{
    LoopbackServer server;
    serveAccount(server);
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, kTwoProjects).heldUntil("list"));
    ScopedAppData appData;
    appData.writeState(linkedStateFile(server.origin()));
    ClientHarness client;
    ASSERT_TRUE(client.start([] { noteResultAllocations = true; }));
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
    // The first project list's result, received and freed.
    const LPARAM received = client.lastResultTaken();
    client.click(kRefreshButton);
    ASSERT_TRUE(server.waitForRequests(3, 10s));
    ASSERT_FALSE(client.enabled(kRefreshButton));
    // The held request's own result, which its worker has not finished.
    const auto unfinished = reinterpret_cast<LPARAM>(lastResultAllocation.load());

    // A well-formed result of the busy kind that no worker of the client made.
    auto lookalike = std::make_unique<TaskResult>();
    lookalike->kind = TaskKind::Instances;
    lookalike->http.statusCode = 200;
    lookalike->http.json = nlohmann::json::parse(R"({"instances":[{"slug":"x"},{"slug":"y"},{"slug":"z"}]})");
    std::vector<LPARAM> forged{reinterpret_cast<LPARAM>(lookalike.get()), received, unfinished};
    for (const ForgedAddress& address : kForgedAddresses) {
        forged.push_back(address.lParam);
    }
    std::size_t posted = 0;
    for (const LPARAM lParam : forged) {
        for (const WPARAM wParam : kForgedWParams) {
            ASSERT_TRUE(PostMessageA(client.window(), kAsyncMessage, wParam, lParam));
            ++posted;
        }
    }
    // The account check and the first project list came before them.
    ASSERT_TRUE(client.waitForResultsHandled(2 + posted));

    EXPECT_EQ(client.text(kStatusLine), kRefreshing);
    EXPECT_FALSE(client.enabled(kRefreshButton));
    EXPECT_EQ(client.listLines(), std::vector<std::string>{kOneProjectLine});

    server.release("list");
    ASSERT_TRUE(client.waitForStatus(loadedStatus(2))) << client.text(kStatusLine);
    EXPECT_EQ(client.listLines(), (std::vector<std::string>{"  [a]  ", "  [b]  "}));
    EXPECT_TRUE(client.enabled(kRefreshButton));
    EXPECT_EQ(client.close(), 0);
}

struct CreationParameter {
    const char* name;
    bool decoy;
};

void PrintTo(const CreationParameter& row, std::ostream* out)
{
    *out << row.name;
}

class SecondCreationMessage : public testing::TestWithParam<CreationParameter> {};

TEST_P(SecondCreationMessage, NeitherRebindsNorRenamesTheWindow)
{
    LoopbackServer server;
    serveAccount(server);
    ScopedAppData appData;
    appData.writeState(linkedStateFile(server.origin()));
    ClientHarness client;
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);

    // Zeroed memory in place of an application object.
    std::vector<std::byte> decoy(1 << 16);
    CREATESTRUCTA creation{};
    creation.lpCreateParams = GetParam().decoy ? decoy.data() : nullptr;
    creation.lpszName = "Hijacked";
    creation.lpszClass = kWindowClass;
    SendMessageA(client.window(), WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&creation));

    char title[64] = {};
    GetWindowTextA(client.window(), title, sizeof(title));
    EXPECT_EQ(std::string(title), "Vandreth Client");
    EXPECT_EQ(client.text(kStatusLine), loadedStatus(1));
    client.click(kRefreshButton);
    EXPECT_TRUE(client.waitForStatus(loadedStatus(2))) << client.text(kStatusLine);
    EXPECT_EQ(client.text(kAccountLine), "Signed in as Mira");
    EXPECT_EQ(client.close(), 0);
}

INSTANTIATE_TEST_SUITE_P(Parameters, SecondCreationMessage,
                         testing::Values(CreationParameter{"NoObject", false}, CreationParameter{"Decoy", true}),
                         CaseName());

}  // namespace
}  // namespace vandreth::test
