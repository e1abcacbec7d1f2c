#pragma once
// Shared pieces of the adversity tests: a healthy service to start from, the request of each
// kind as the user sends it, and a check that the window still answers.

#include "AppTypes.h"
#include "ClientHarness.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"

#include <chrono>
#include <string>

namespace vandreth::test {

inline constexpr const char* kCode = "WXYZ-1234";

// The service as it answers when all is well: a link code, an account with one core, one
// project, a created RERI. A link poll never answers, so that the status line keeps whatever
// the step under test put there.
void serveHealthyService(LoopbackServer& server);

// The one line that the healthy project list shows.
inline constexpr const char* kHealthyProjectLine = "Arena  [arena-1]  active";

// Sends a request of `kind` as the user would: Generate Link Code (whose code is then polled),
// Refresh, or Create RERI with a name typed. The account check needs nothing: the start sends it.
void sendRequestOf(TaskKind kind, const ClientHarness& client);

// True when the thread of `window` answers a WM_NULL within `timeout`.
bool answersWmNull(HWND window, std::chrono::milliseconds timeout);

}  // namespace vandreth::test
