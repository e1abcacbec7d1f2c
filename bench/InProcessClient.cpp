#include "InProcessClient.h"

#include "AppTypes.h"
#include "ClientLook.h"
#include "Clock.h"
#include "FromOutside.h"
#include "ProcessWindow.h"
#include "VandrethWinApp.h"
#include "WindowIds.h"

#include <memory>

namespace vandreth::bench {

InProcessClient::InProcessClient()
    : thread_([] {
          initCommonControlsAsTheClient();
          VandrethWinApp app;
          app.run(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE);
      })
{
    window_ =
        test::waitForProcessWindow(GetCurrentProcessId(), nullptr, kWindowClass, test::WindowState::Listed, 20000);
    if (window_ != nullptr) {
        status_ = waitForControl(window_, kStatusLine, 10000);
    }
}

InProcessClient::~InProcessClient()
{
    if (window_ != nullptr) {
        PostMessageA(window_, WM_CLOSE, 0, 0);
    }
    thread_.join();
}

double InProcessClient::deliver(nlohmann::json answer) const
{
    auto result = std::make_unique<TaskResult>();
    result->kind = TaskKind::Instances;
    result->http.statusCode = 200;
    result->http.json = std::move(answer);
    const double start = nowMs();
    SendMessageA(window_, kAsyncMessage, 0, reinterpret_cast<LPARAM>(result.release()));
    return nowMs() - start;
}

std::string InProcessClient::status() const
{
    return windowText(status_);
}

}  // namespace vandreth::bench
