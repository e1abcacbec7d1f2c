// The state file held open without sharing by another program (a backup, an indexer, a virus
// scan) while the real program, VandrethClient.exe, starts: a hold of a moment costs nothing,
// and a file that could not be read is never replaced unless the user saves.
#include "AdversityFixture.h"
#include "CaseName.h"
#include "ChildProcess.h"

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

namespace vandreth::test {
namespace {

using namespace std::chrono_literals;

// Short enough that a start that tries again for about two seconds outlasts it.
constexpr auto kMoment = 700ms;
constexpr DWORD kWindowTimeoutMs = 15000;

// The file opened with no sharing at all, until release() or the end of the object.
class HeldFile {
public:
    explicit HeldFile(const std::filesystem::path& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }
    void release()
    {
        if (held()) {
            CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
        }
    }

private:
    HANDLE handle_;
};

// True once `process` has loaded `moduleName`: a program's imports are loaded before any of its
// own code runs, so from then on its start is a matter of milliseconds.
bool hasLoaded(HANDLE process, const wchar_t* moduleName)
{
    HMODULE modules[512];
    DWORD bytes = 0;
    if (!EnumProcessModules(process, modules, sizeof(modules), &bytes)) {
        return false;
    }
    for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
        wchar_t name[MAX_PATH] = {};
        if (GetModuleBaseNameW(process, modules[i], name, MAX_PATH) != 0 && _wcsicmp(name, moduleName) == 0) {
            return true;
        }
    }
    return false;
}

std::string controlText(HWND window, int id)
{
    char buffer[512] = {};
    const auto copied =
        SendMessageA(GetDlgItem(window, id), WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
    return std::string(buffer, static_cast<std::size_t>(copied));
}

bool waitForStatus(HWND window, const std::string& status)
{
    return ClientHarness::waitFor([&] { return controlText(window, kStatusLine) == status; }, 15s);
}

// When the other program lets go of the file.
enum class LetGo {
    AfterAMoment,      // a moment after the program's imports are loaded, while it starts
    OnceTheWindowShows,  // after the program gave up reading it
    AfterTheExit,
};

struct HeldCase {
    std::string name;
    LetGo letGo;
    bool startsLinked;
};

void PrintTo(const HeldCase& row, std::ostream* out)
{
    *out << row.name;
}

class HeldStateFile : public testing::TestWithParam<HeldCase> {
protected:
    void SetUp() override
    {
        serveHealthyService(server);
        appData.writeState(saved);
    }

    // The real program, with this test's APPDATA.
    ChildProcess startProgram() const
    {
        ChildSetup setup;
        setup.environment = {{L"APPDATA", appData.folder().wstring()}};
        return ChildProcess(besideThisProgram(VANDRETH_CLIENT_PROGRAM), setup);
    }

    ScopedAppData appData;
    LoopbackServer server;
    const std::string saved = stateFileBytes(server.origin(), kDeviceId, kToken);
};

TEST_P(HeldStateFile, KeepsItsBytesAndTheLinkWhenItCanBeRead)
{
    const HeldCase& c = GetParam();
    HeldFile hold(appData.stateFile());
    ASSERT_TRUE(hold.held());
    ChildProcess program = startProgram();
    ASSERT_TRUE(program.started()) << program.startError();

    if (c.letGo == LetGo::AfterAMoment) {
        ASSERT_TRUE(ClientHarness::waitFor([&] { return hasLoaded(program.handle(), L"winhttp.dll"); }, 15s));
        std::this_thread::sleep_for(kMoment);
        hold.release();
    }
    const HWND window = program.waitForWindow(WindowState::Visible, kWindowTimeoutMs);
    ASSERT_NE(window, nullptr);
    if (c.letGo == LetGo::OnceTheWindowShows) {
        hold.release();
    }
    if (c.startsLinked) {
        EXPECT_TRUE(waitForStatus(window, loadedStatus(1))) << controlText(window, kStatusLine);
        for (const RecordedRequest& check : server.requestsTo(kMePath)) {
            EXPECT_EQ(check.header("Authorization"), std::string("Bearer ") + kToken);
        }
    } else {
        EXPECT_TRUE(waitForStatus(window, kReadyToLink)) << controlText(window, kStatusLine);
        EXPECT_EQ(controlText(window, kOriginEdit), kDefaultOrigin);
    }
    EXPECT_EQ(program.close(window, kWindowTimeoutMs), std::optional<DWORD>(0));
    hold.release();

    EXPECT_EQ(listing(appData.folder()), (FolderListing{{"Vandreth", std::nullopt},
                                                        {"Vandreth/pc-client-state.json", saved}}));
}

INSTANTIATE_TEST_SUITE_P(Rows, HeldStateFile,
                         testing::Values(HeldCase{"ForAMomentAtStart", LetGo::AfterAMoment, true},
                                         HeldCase{"ThroughTheStart", LetGo::OnceTheWindowShows, false},
                                         HeldCase{"ForTheWholeRun", LetGo::AfterTheExit, false}),
                         CaseName());

// What the user does is saved, read file or not: a link code's save replaces the file, and from
// then on the file is this run's, which the save at exit brings up to date.
TEST_F(HeldStateFile, ThroughTheStartStillLetsALinkCodeBeSaved)
{
    HeldFile hold(appData.stateFile());
    ChildProcess program = startProgram();
    const HWND window = program.waitForWindow(WindowState::Visible, kWindowTimeoutMs);
    ASSERT_NE(window, nullptr);
    hold.release();
    ASSERT_TRUE(waitForStatus(window, kReadyToLink)) << controlText(window, kStatusLine);

    SendMessageA(GetDlgItem(window, kOriginEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(server.origin().c_str()));
    SendMessageA(GetDlgItem(window, kGenerateButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(waitForStatus(window, kCodeReady)) << controlText(window, kStatusLine);
    const auto starts = server.requestsTo(kLinkStartPath);
    ASSERT_EQ(starts.size(), 1u);
    const std::string deviceId = starts.front().body.substr(std::string("device_id=").size());
    EXPECT_NE(deviceId, kDeviceId);
    const std::string written = stateFileBytes(server.origin(), deviceId);
    EXPECT_EQ(appData.stateBytes(), written);

    const std::string typed = "https://typed.vandreth.test";
    SendMessageA(GetDlgItem(window, kOriginEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
    EXPECT_EQ(program.close(window, kWindowTimeoutMs), std::optional<DWORD>(0));
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(typed, deviceId));
}

}  // namespace
}  // namespace vandreth::test
