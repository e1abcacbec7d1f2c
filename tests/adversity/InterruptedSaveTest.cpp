// A process killed in the middle of its saves must never leave the state file empty or half
// written: whatever moment the kill comes, the file holds one complete state or the other. Nor
// may two processes that save at the same time, as two running clients do.
#include "ChildProcess.h"
#include "ClientHarness.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>

namespace vandreth::test {
namespace {

constexpr int kRounds = 30;
constexpr int kLongestPauseMs = 40;
constexpr int kLeastConcurrentReads = 2000;
constexpr int kMostConcurrentReads = 100000;

struct SavedState {
    std::string origin;
    std::string deviceId;
    std::string token;
};

const SavedState kLinked{"https://vandreth.example", "vdwin-18c3f2a91b0", "tok-adversity-7f3a"};
const SavedState kUnlinked{"http://127.0.0.1:8080", "vdwin-9d0c1e2f3a4", ""};
// A second client's states, of other lengths, so that one written over the other shows.
const SavedState kOtherLinked{"https://lab.vandreth.example/base", "vdwin-1", "tok-other-client-0123456789abcdef"};
const SavedState kOtherUnlinked{"https://x.test", "vdwin-2b", ""};

std::string bytesOf(const SavedState& state)
{
    return stateFileBytes(state.origin, state.deviceId, state.token);
}

std::wstring saverPath()
{
    return besideThisProgram(VANDRETH_STATE_SAVER).wstring();
}

std::wstring argument(const std::string& text)
{
    return L" \"" + std::filesystem::path(text).wstring() + L"\"";
}

// The saver, saving `first` and `second` in turn, with its standard output on a pipe of ours.
class Saver {
public:
    Saver(const SavedState& first, const SavedState& second)
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
        for (const SavedState* state : {&first, &second}) {
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
    const std::string linked = bytesOf(kLinked);
    const std::string unlinked = bytesOf(kUnlinked);
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> pause(0, kLongestPauseMs);
    for (int round = 0; round < kRounds; ++round) {
        const int pauseMs = pause(random);
        SCOPED_TRACE("round " + std::to_string(round) + ", killed " + std::to_string(pauseMs) +
                     " ms after its first save");
        const Saver saver(kLinked, kUnlinked);
        ASSERT_EQ(saver.firstLine(), "saving");
        Sleep(static_cast<DWORD>(pauseMs));
        saver.kill();
        const auto bytes = appData.stateBytes();
        ASSERT_TRUE(bytes.has_value());
        EXPECT_TRUE(*bytes == linked || *bytes == unlinked) << "the file holds: " << *bytes;
    }
}

// The whole file as a program that reads it while it may be replaced sees it: sharing
// everything, so that the savers' moves never make the open fail. Nothing when it cannot be
// opened or read, with the reason in `error`.
std::optional<std::string> readSharingAll(const std::filesystem::path& path, DWORD& error)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return std::nullopt;
    }
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    BOOL ok = TRUE;
    while ((ok = ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) && read > 0) {
        bytes.append(buffer, read);
    }
    error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(file);
    return ok ? std::optional<std::string>(bytes) : std::nullopt;
}

TEST(ConcurrentSaves, OfTwoProcessesNeverTearTheFile)
{
    const ScopedAppData appData;
    const std::set<std::string> whole{bytesOf(kLinked), bytesOf(kUnlinked), bytesOf(kOtherLinked),
                                      bytesOf(kOtherUnlinked)};
    const Saver first(kLinked, kUnlinked);
    const Saver second(kOtherLinked, kOtherUnlinked);
    ASSERT_EQ(first.firstLine(), "saving");
    ASSERT_EQ(second.firstLine(), "saving");
    // Both save without pause from here on. Reads go on at least until every state has been
    // seen, so that they fall among the saves of both.
    std::set<std::string> seen;
    int read = 0;
    for (; read < kLeastConcurrentReads || (seen.size() < whole.size() && read < kMostConcurrentReads); ++read) {
        DWORD error = ERROR_SUCCESS;
        const auto bytes = readSharingAll(appData.stateFile(), error);
        ASSERT_TRUE(bytes.has_value()) << "read " << read << ": error " << error;
        ASSERT_EQ(whole.count(*bytes), 1u) << "read " << read << ": the file holds: " << *bytes;
        seen.insert(*bytes);
    }
    EXPECT_EQ(seen, whole) << "after " << read << " reads";
    first.kill();
    second.kill();
    const auto bytes = appData.stateBytes();
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(whole.count(*bytes), 1u) << "the file holds: " << *bytes;
}

}  // namespace
}  // namespace vandreth::test
