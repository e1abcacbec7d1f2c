#include "ChildProcess.h"

#include <cwchar>
#include <cwctype>

namespace vandreth::test {

namespace {

// How long a child that is ended (TerminateProcess) may take to go.
constexpr DWORD kEndTimeoutMs = 15000;

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

}  // namespace

std::filesystem::path besideThisProgram(const std::filesystem::path& relative)
{
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    return (std::filesystem::path(self).parent_path() / std::filesystem::path(relative).make_preferred())
        .lexically_normal();
}

ChildProcess::ChildProcess(const std::filesystem::path& program) : ChildProcess(program, ChildSetup{}) {}

ChildProcess::ChildProcess(const std::filesystem::path& program, const ChildSetup& setup)
{
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    std::wstring environment = setup.environment.empty() ? std::wstring() : environmentBlock(setup.environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (setup.standardOutput != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = setup.standardOutput;
    }
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    startCounter_ = counter.QuadPart;
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, setup.standardOutput != nullptr,
                        environment.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                        environment.empty() ? nullptr : environment.data(),
                        setup.workingFolder.empty() ? nullptr : setup.workingFolder.c_str(), &startup, &process_)) {
        startError_ = GetLastError();
        process_ = PROCESS_INFORMATION{};
        return;
    }
    CloseHandle(process_.hThread);
    process_.hThread = nullptr;
}

ChildProcess::~ChildProcess()
{
    if (!started()) {
        return;
    }
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, kEndTimeoutMs);
    }
    CloseHandle(process_.hProcess);
}

std::optional<DWORD> ChildProcess::exitCode() const
{
    if (!started() || WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process_.hProcess, &exitCode);
    return exitCode;
}

HWND ChildProcess::waitForWindow(WindowState state, DWORD timeoutMs, const char* className) const
{
    return waitForProcessWindow(id(), handle(), className, state, timeoutMs);
}

std::optional<DWORD> ChildProcess::close(HWND window, DWORD timeoutMs)
{
    if (!started()) {
        return std::nullopt;
    }
    if (window != nullptr) {
        PostMessageA(window, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    return exitCode();
}

}  // namespace vandreth::test
