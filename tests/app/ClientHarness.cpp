#include "ClientHarness.h"

#include "ClientTexts.h"
#include "ProcessWindow.h"
#include "TextHelpers.h"
#include "VandrethWinApp.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vandreth::test {

namespace {

std::filesystem::path uniqueFolder()
{
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::ostringstream name;
    name << "vandreth-test-" << GetCurrentProcessId() << '-' << stamp << '-' << counter++;
    auto folder = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(folder);
    return folder;
}

void setAppData(const char* value)
{
    _putenv_s("APPDATA", value != nullptr ? value : "");
}

// One line of a list box or one entry of a combo box, through its length and text messages, in
// UTF-8 as the client's code page gives it. Read as the UTF-16 that the common controls version
// 6 hold: Wine's 8-bit forms of these two messages crash on an item of more than 512 characters.
std::string itemText(HWND control, UINT lengthMessage, UINT textMessage, int index)
{
    const auto length = SendMessageW(control, lengthMessage, static_cast<WPARAM>(index), 0);
    if (length < 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(control, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return narrow(text);
}

// Where the harness whose client runs on this thread counts and notes the results taken.
thread_local std::atomic<std::size_t>* resultsTakenHere = nullptr;
thread_local std::atomic<LPARAM>* lastResultHere = nullptr;

LRESULT CALLBACK countResults(int code, WPARAM removal, LPARAM message)
{
    const auto* taken = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && resultsTakenHere != nullptr &&
        taken->message == kAsyncMessage) {
        *lastResultHere = taken->lParam;
        ++*resultsTakenHere;
    }
    return CallNextHookEx(nullptr, code, removal, message);
}

}  // namespace

ScopedAppData::ScopedAppData() : folder_(uniqueFolder())
{
    if (const char* previous = std::getenv("APPDATA")) {
        previous_ = previous;
    }
    setAppData(folder_.string().c_str());
}

ScopedAppData::~ScopedAppData()
{
    setAppData(previous_ ? previous_->c_str() : nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::filesystem::path ScopedAppData::stateFile() const
{
    return folder_ / "Vandreth" / "pc-client-state.json";
}

std::optional<std::string> ScopedAppData::stateBytes() const
{
    return fileBytes(stateFile());
}

void ScopedAppData::writeState(const std::string& bytes) const
{
    std::filesystem::create_directories(stateFile().parent_path());
    std::ofstream(stateFile(), std::ios::binary | std::ios::trunc) << bytes;
}

std::optional<std::string> fileBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string stateFileBytes(const std::string& origin, const std::string& deviceId, const std::string& accessToken)
{
    std::string bytes = "{\r\n";
    if (!accessToken.empty()) {
        bytes += "  \"access_token\": \"" + accessToken + "\",\r\n";
    }
    bytes += "  \"device_id\": \"" + deviceId + "\",\r\n";
    bytes += "  \"origin\": \"" + origin + "\"\r\n}";
    return bytes;
}

ClientHarness::~ClientHarness()
{
    if (running()) {
        close();
    }
}

bool ClientHarness::start()
{
    return start([] {}, HttpClient());
}

bool ClientHarness::start(const std::function<void()>& onClientThread)
{
    return start(onClientThread, HttpClient());
}

bool ClientHarness::start(const HttpClient& httpClient)
{
    return start([] {}, httpClient);
}

bool ClientHarness::start(const std::function<void()>& onClientThread, const HttpClient& httpClient)
{
    resultsTaken_ = 0;
    lastResult_ = 0;
    thread_ = std::thread([this, onClientThread, httpClient] {
        resultsTakenHere = &resultsTaken_;
        lastResultHere = &lastResult_;
        const HHOOK counter = SetWindowsHookExA(WH_GETMESSAGE, &countResults, nullptr, GetCurrentThreadId());
        onClientThread();
        threadId_ = GetCurrentThreadId();
        VandrethWinApp app(httpClient);
        exitCode_ = app.run(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
        UnhookWindowsHookEx(counter);
        resultsTakenHere = nullptr;
        lastResultHere = nullptr;
    });
    return waitFor([this] {
        const DWORD id = threadId_;
        window_ = id != 0 ? findThreadWindow(id) : nullptr;
        // The window exists before its controls do (they are built at WM_CREATE); the first
        // status text is set right after the window is shown.
        return window_ != nullptr && control(kStatusLine) != nullptr && text(kStatusLine) != kStarting;
    });
}

int ClientHarness::close()
{
    if (window_ != nullptr) {
        PostMessageA(window_, WM_CLOSE, 0, 0);
    }
    thread_.join();
    window_ = nullptr;
    return exitCode_;
}

HWND ClientHarness::control(int id) const
{
    return GetDlgItem(window_, id);
}

std::string ClientHarness::text(int id) const
{
    HWND handle = control(id);
    const auto length = SendMessageA(handle, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const auto copied = SendMessageA(handle, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

void ClientHarness::setText(int id, const std::string& text) const
{
    SendMessageA(control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ClientHarness::click(int id) const
{
    SendMessageA(control(id), BM_CLICK, 0, 0);
}

void ClientHarness::command(int id) const
{
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, 0), reinterpret_cast<LPARAM>(control(id)));
}

void ClientHarness::sendTimerTick(WPARAM timerId) const
{
    SendMessageA(window_, WM_TIMER, timerId, 0);
}

bool ClientHarness::enabled(int id) const
{
    return IsWindowEnabled(control(id)) != FALSE;
}

bool ClientHarness::checked(int id) const
{
    return SendMessageA(control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void ClientHarness::setChecked(int id, bool checked) const
{
    SendMessageA(control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::vector<std::string> ClientHarness::listLines(int id) const
{
    std::vector<std::string> lines;
    for (int i = 0, count = listCount(id); i < count; ++i) {
        lines.push_back(listLine(id, i));
    }
    return lines;
}

int ClientHarness::listCount(int id) const
{
    return static_cast<int>(SendMessageA(control(id), LB_GETCOUNT, 0, 0));
}

std::string ClientHarness::listLine(int id, int index) const
{
    return itemText(control(id), LB_GETTEXTLEN, LB_GETTEXT, index);
}

int ClientHarness::listSelection(int id) const
{
    return static_cast<int>(SendMessageA(control(id), LB_GETCURSEL, 0, 0));
}

void ClientHarness::selectListLine(int index, int id) const
{
    SendMessageA(control(id), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::vector<std::string> ClientHarness::comboEntries(int id) const
{
    std::vector<std::string> entries;
    for (int i = 0, count = comboCount(id); i < count; ++i) {
        entries.push_back(comboEntry(id, i));
    }
    return entries;
}

int ClientHarness::comboCount(int id) const
{
    return static_cast<int>(SendMessageA(control(id), CB_GETCOUNT, 0, 0));
}

std::string ClientHarness::comboEntry(int id, int index) const
{
    return itemText(control(id), CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
}

int ClientHarness::comboSelection(int id) const
{
    return static_cast<int>(SendMessageA(control(id), CB_GETCURSEL, 0, 0));
}

void ClientHarness::selectComboEntry(int id, int index) const
{
    SendMessageA(control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool ClientHarness::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool ClientHarness::waitForStatus(const std::string& status, std::chrono::milliseconds timeout) const
{
    return waitFor([&] { return text(kStatusLine) == status; }, timeout);
}

bool ClientHarness::waitForResultsHandled(std::size_t count, std::chrono::milliseconds timeout) const
{
    if (!waitFor([&] { return resultsTaken_ >= count; }, timeout)) {
        return false;
    }
    // A sent message is handled only between two dispatched ones: once it comes back, the
    // handling of the result taken last has ended.
    SendMessageA(window_, WM_NULL, 0, 0);
    return true;
}

}  // namespace vandreth::test
