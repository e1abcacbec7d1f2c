#include "VandrethWinApp.h"

#include "Origin.h"
#include "WindowIds.h"
#include "WindowText.h"

#include <utility>

namespace vandreth {

namespace {

constexpr const char* kWindowTitle = "Vandreth Client";
// An overlapped window without a maximise box: the layout is fixed.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
constexpr int kWindowWidth = 1080;
constexpr int kWindowHeight = 760;

constexpr const char* kUnexpectedFailure = "Vandreth ran into an unexpected problem. Please try again.";

void registerWindowClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExA(&windowClass);
}

}  // namespace

VandrethWinApp::VandrethWinApp() : VandrethWinApp(HttpClient()) {}

VandrethWinApp::VandrethWinApp(const HttpClient& client) : httpClient(client), storedOrigin(defaultOrigin()) {}

int VandrethWinApp::run(HINSTANCE instance, int showCommand)
{
    moduleHandle = instance;
    loadState();
    registerWindowClass(instance, &VandrethWinApp::windowProc);
    window = CreateWindowExA(0, kWindowClass, kWindowTitle, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, kWindowWidth,
                             kWindowHeight, nullptr, nullptr, instance, this);
    if (window == nullptr) {
        return 1;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    if (!accessToken.empty()) {
        setStatus("Checking linked Vandreth session...");
        enqueueTask(TaskKind::Me, {});
    } else {
        setStatus("Ready to link your Vandreth account.");
    }

    // The dialog manager gives the controls the keyboard: Tab and Shift+Tab move the focus in
    // creation order, Enter on a push button clicks it, and Enter and Esc elsewhere become the ids
    // IDOK and IDCANCEL, which no control has. It dispatches the window's messages itself.
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageA(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    if (!stateFileUnread) {
        saveState();
    }
    return static_cast<int>(message.wParam);
}

LRESULT CALLBACK VandrethWinApp::windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    auto* app = reinterpret_cast<VandrethWinApp*>(GetWindowLongPtrA(handle, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        if (app != nullptr) {
            // The window was created long ago: this one comes from someone else, and neither
            // rebinds the window nor has its parameters read.
            return TRUE;
        }
        app = static_cast<VandrethWinApp*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (app != nullptr) {
            SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
            app->window = handle;
        }
    }
    if (app == nullptr) {
        return DefWindowProcA(handle, message, wParam, lParam);
    }
    // Nothing may unwind into the system's message dispatch; a handler that throws (only
    // memory exhaustion or a failing file system can) leaves its message handled.
    try {
        return app->onMessage(message, wParam, lParam);
    } catch (...) {
        try {
            app->setStatus(kUnexpectedFailure);
        } catch (...) {
        }
        return 0;
    }
}

LRESULT VandrethWinApp::onMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        createUi();
        return 0;
    case WM_DESTROY:
        onDestroy();
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0) {
            onCommand(LOWORD(wParam));
        }
        return 0;
    case WM_TIMER:
        onPollTimer(wParam);
        return 0;
    case kAsyncMessage:
        handleTaskResult(wParam, lParam);
        return 0;
    case WM_CTLCOLORSTATIC:
        return staticControlColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORBTN:
        return pushButtonBackground();
    case WM_ACTIVATE:
        onActivate(wParam);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void VandrethWinApp::onDestroy()
{
    // First, so that the loop ends even when reading the box below fails.
    PostQuitMessage(0);
    font.reset();
    // The save after the message loop can no longer read the URL box: keep what it held last,
    // so that an origin the user typed survives a restart.
    if (const HWND box = std::exchange(originEdit, nullptr); box != nullptr) {
        storedOrigin = normalizedOrigin(windowText(box));
    }
}

void VandrethWinApp::onPollTimer(WPARAM timerId)
{
    if (timerId == kPollTimerId && polling && !linkPollBusy && nowMs() >= nextPollAt) {
        enqueueTask(TaskKind::LinkPoll, {});
    }
}

void VandrethWinApp::setStatus(const std::string& text)
{
    if (statusLine != nullptr) {
        setWindowTextUtf8(statusLine, text);
    }
}

void VandrethWinApp::setAccountSummary(const std::string& account, const std::string& plan, const std::string& limit)
{
    setWindowTextUtf8(accountLine, account);
    setWindowTextUtf8(planLine, plan);
    setWindowTextUtf8(limitLine, limit);
}

void VandrethWinApp::syncBusyState()
{
    const bool linked = !accessToken.empty();
    enableButton(generateButton, !linkStartBusy);
    enableButton(refreshButton, !instancesBusy && linked);
    enableButton(unlinkButton, linked);
    enableButton(createButton, !createInstanceBusy && linked);
    enableButton(openProjectButton, !projects.empty());
}

void VandrethWinApp::enableButton(HWND button, bool enable)
{
    // A disabled button that kept the focus would leave it nowhere, and keys typed then would
    // reach nothing, Tab included: the window takes it, so that Tab finds the controls again.
    if (!enable && GetFocus() == button) {
        SetFocus(window);
    }
    EnableWindow(button, enable);
}

}  // namespace vandreth
