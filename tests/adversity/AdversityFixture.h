#pragma once
// Shared pieces of the adversity tests: a healthy service to start from, the request of each
// kind as the user sends it, a check that the window still answers, and what a folder holds.

#include "AppTypes.h"
#include "ClientHarness.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace vandreth::test {

inline constexpr const char* kCode = "WXYZ-1234";

// The service as it answers when all is well: a link code, an account with one core, one
// project, a created RERI. A link poll never answers, so that the status line keeps whatever
// the step under test put there.
void serveHealthyService(LoopbackServer& server);

// The status line once the healthy service has answered a create.
inline constexpr const char* kCreateAnswered = "Forge is on its way.";

// The one line that the healthy project list shows.
inline constexpr const char* kHealthyProjectLine = "Arena  [arena-1]  active";

// Sends a request of `kind` as the user would: Generate Link Code (whose code is then polled),
// Refresh, or Create RERI with a name typed. The account check needs nothing: the start sends it.
void sendRequestOf(TaskKind kind, const ClientHarness& client);

// Everything under a folder: each path (relative, with '/') and its bytes; a folder has none.
using FolderListing = std::map<std::string, std::optional<std::string>>;
FolderListing listing(const std::filesystem::path& folder);

// How long the window's thread may take to answer a WM_NULL and still count as free: a thread
// that waited for the network would wait for seconds at the least, while a busy machine may
// keep a free one from answering for a good part of a second (an idle one answers at once).
inline constexpr auto kWmNullLimit = std::chrono::seconds(2);

// True when the thread of `window` answers a WM_NULL within `timeout`.
bool answersWmNull(HWND window, std::chrono::milliseconds timeout);

}  // namespace vandreth::test
