// A process killed in the middle of its saves must never leave the state file empty or half
// written: whatever moment the kill comes, the file holds one complete state or the other.
#include "ClientHarness.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace vandreth::test {
namespace {

constexpr int kRounds = 30;
constexpr int kLongestPauseMs = 40;

struct SavedState {
    std::string origin;
    std::string deviceId;
    std::string token;
};

const SavedState kLinked{"https://vandreth.example", "vdwin-18c3f2a91b0", "tok-adversity-7f3a"};
const SavedState kUnlinked{"http://127.0.0.1:8080", "vdwin-9d0c1e2f3a4", ""};

std::wstring saverPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / VANDRETH_STATE_SAVER).wstring();
}

std::wstring argument(const std::string& text)
{
    return L" \"" + std::filesystem::path(text).wstring() + L"\"";
}

// The saver, running, with its standard output on a pipe of ours.
class Saver {
public:
    Saver()
    {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE write = nullptr;
        if (!CreatePipe(&read_, &write, &inherit, 0)) {
            return;
        }
        SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::wstring commandLine = L"\"" + saverPath() + L"\"";
        for (const SavedState* state : {&kLinked, &kUnlinked}) {
            commandLine += argument(state->origin) + argument(state->deviceId) + argument(state->token);
        }
        if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                           &info_)) {
            CloseHandle(info_.hThread);
        }
        CloseHandle(write);
    }
    ~Saver()
    {
        if (info_.hProcess != nullptr) {
            TerminateProcess(info_.hProcess, 1);
            WaitForSingleObject(info_.hProcess, INFINITE);
            CloseHandle(info_.hProcess);
        }
        if (read_ != nullptr) {
            CloseHandle(read_);
        }
    }
    Saver(const Saver&) = delete;
    Saver& operator=(const Saver&) = delete;

    // The first line the saver printed, without its line end; empty when it ended first.
    std::string firstLine() const
    {
        std::string line;
        char c = 0;
        DWORD read = 0;
        while (ReadFile(read_, &c, 1, &read, nullptr) && read == 1 && c != '\n') {
            if (c != '\r') {
                line += c;
            }
        }
        return line;
    }

    void kill() const
    {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, INFINITE);
    }

private:
    HANDLE read_ = nullptr;
    PROCESS_INFORMATION info_{};
};

TEST(InterruptedSaves, NeverLeaveAnEmptyOrHalfWrittenFile)
{
    const ScopedAppData appData;
    const std::string linked = stateFileBytes(kLinked.origin, kLinked.deviceId, kLinked.token);
    const std::string unlinked = stateFileBytes(kUnlinked.origin, kUnlinked.deviceId, kUnlinked.token);
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> pause(0, kLongestPauseMs);
    for (int round = 0; round < kRounds; ++round) {
        const int pauseMs = pause(random);
        SCOPED_TRACE("round " + std::to_string(round) + ", killed " + std::to_string(pauseMs) +
                     " ms after its first save");
        const Saver saver;
        ASSERT_EQ(saver.firstLine(), "saving");
        Sleep(static_cast<DWORD>(pauseMs));
        saver.kill();
        const auto bytes = appData.stateBytes();
        ASSERT_TRUE(bytes.has_value());
        EXPECT_TRUE(*bytes == linked || *bytes == unlinked) << "the file holds: " << *bytes;
    }
}

}  // namespace
}  // namespace vandreth::test
