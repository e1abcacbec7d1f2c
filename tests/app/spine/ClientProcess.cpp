#include "ClientProcess.h"

#include "ClientHarness.h"

#include <cwchar>
#include <cwctype>

namespace vandreth::test {

namespace {

// VANDRETH_CLIENT_PROGRAM is the program's path relative to the folder of this test program.
std::filesystem::path clientProgram()
{
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return (std::filesystem::path(self).parent_path() / std::filesystem::path(VANDRETH_CLIENT_PROGRAM).make_preferred())
        .lexically_normal();
}

bool sameName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i])) {
            return false;
        }
    }
    return true;
}

// This process's environment with the changes applied, as a CreateProcessW block.
std::wstring environmentBlock(const std::vector<EnvironmentChange>& changes)
{
    std::vector<std::wstring> entries;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
            entries.emplace_back(entry);
        }
        FreeEnvironmentStringsW(strings);
    }
    for (const EnvironmentChange& change : changes) {
        std::erase_if(entries, [&](const std::wstring& entry) {
            // Entries such as "=C:=C:\..." begin with '='; their name is not looked for.
            const std::size_t equals = entry.find(L'=', 1);
            return sameName(entry.substr(0, equals), change.name);
        });
        if (change.value) {
            entries.push_back(change.name + L"=" + *change.value);
        }
    }
    std::wstring block;
    for (const std::wstring& entry : entries) {
        block += entry;
        block += L'\0';
    }
    block += L'\0';
    return block;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK findProcessWindow(HWND candidate, LPARAM parameter)
{
    auto& search = *reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(candidate, &owner);
    char className[64] = {};
    GetClassNameA(candidate, className, sizeof(className));
    if (owner == search.processId && std::string(className) == kWindowClass) {
        search.found = candidate;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

ClientProcess::ClientProcess(const std::vector<EnvironmentChange>& changes, const std::filesystem::path& workingFolder)
{
    const std::wstring program = clientProgram().wstring();
    std::wstring commandLine = L"\"" + program + L"\"";
    std::wstring environment = environmentBlock(changes);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), workingFolder.c_str(), &startup, &process_)) {
        startError_ = GetLastError();
        process_ = PROCESS_INFORMATION{};
    }
}

ClientProcess::~ClientProcess()
{
    if (process_.hProcess == nullptr) {
        return;
    }
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 15000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

testing::AssertionResult ClientProcess::waitUntilReady()
{
    if (process_.hProcess == nullptr) {
        return testing::AssertionFailure() << "CreateProcessW failed with error " << startError_;
    }
    const bool ready = ClientHarness::waitFor(
        [this] {
            if (window_ == nullptr) {
                WindowSearch search{process_.dwProcessId, nullptr};
                EnumWindows(findProcessWindow, reinterpret_cast<LPARAM>(&search));
                window_ = search.found;
            }
            return window_ != nullptr && control(kStatusLine) != nullptr && text(kStatusLine) != "Starting...";
        },
        15s);
    if (ready) {
        return testing::AssertionSuccess();
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process_.hProcess, &exitCode);
    return testing::AssertionFailure() << "no first status text after 15 s; window " << window_ << ", process "
                                       << (exitCode == STILL_ACTIVE ? "running" : "ended with " + std::to_string(exitCode));
}

HWND ClientProcess::control(int controlId) const
{
    return GetDlgItem(window_, controlId);
}

std::string ClientProcess::text(int controlId) const
{
    char buffer[512] = {};
    const auto copied = SendMessageA(control(controlId), WM_GETTEXT, sizeof(buffer), reinterpret_cast<LPARAM>(buffer));
    return std::string(buffer, static_cast<std::size_t>(copied));
}

std::wstring ClientProcess::wideText(int controlId) const
{
    wchar_t buffer[512] = {};
    const auto copied = SendMessageW(control(controlId), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer));
    return std::wstring(buffer, static_cast<std::size_t>(copied));
}

void ClientProcess::click(int controlId) const
{
    SendMessageA(control(controlId), BM_CLICK, 0, 0);
}

bool ClientProcess::enabled(int controlId) const
{
    return IsWindowEnabled(control(controlId)) != FALSE;
}

std::optional<DWORD> ClientProcess::close()
{
    if (window_ == nullptr || process_.hProcess == nullptr) {
        return std::nullopt;
    }
    PostMessageA(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 15000) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process_.hProcess, &exitCode);
    return exitCode;
}

}  // namespace vandreth::test
