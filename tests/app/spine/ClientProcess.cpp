#include "ClientProcess.h"

#include "ClientHarness.h"
#include "ClientTexts.h"

namespace vandreth::test {

// VANDRETH_CLIENT_PROGRAM is the program's path relative to the folder of this test program.
std::filesystem::path clientProgram()
{
    return besideThisProgram(VANDRETH_CLIENT_PROGRAM);
}

ClientProcess::ClientProcess(const std::vector<EnvironmentChange>& changes, const std::filesystem::path& workingFolder)
    : child_(clientProgram(), ChildSetup{changes, workingFolder})
{
}

testing::AssertionResult ClientProcess::waitUntilReady()
{
    if (!child_.started()) {
        return testing::AssertionFailure() << "CreateProcessW failed with error " << child_.startError();
    }
    const bool ready = ClientHarness::waitFor(
        [this] {
            if (window_ == nullptr) {
                window_ = findProcessWindow(child_.id());
            }
            return window_ != nullptr && control(kStatusLine) != nullptr && text(kStatusLine) != kStarting;
        },
        15s);
    if (ready) {
        return testing::AssertionSuccess();
    }
    const std::optional<DWORD> exitCode = child_.exitCode();
    return testing::AssertionFailure() << "no first status text after 15 s; window " << window_ << ", process "
                                       << (exitCode ? "ended with " + std::to_string(*exitCode) : "running");
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
    if (window_ == nullptr) {
        return std::nullopt;
    }
    return child_.close(window_, 15000);
}

}  // namespace vandreth::test
