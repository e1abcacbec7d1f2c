#pragma once
// What the benchmark's parts share about the programs they drive: the texts they wait for in their
// windows, the request the stand-in service answers with the project list, and how long they wait.

#include "ClientTexts.h"

#include <windows.h>

namespace vandreth::bench {

// The client's status line and the project list's path, as its tests know them.
using test::kCheckingSession;
using test::kInstancesPath;
using test::kReadyToLink;
using test::kRefreshing;
using test::loadedStatus;

// The bare window's class, and the text it shows once it is up.
inline constexpr const char* kFloorClass = "VandrethBenchFloorWindow";
inline constexpr const char* kFloorReady = "Ready";

inline constexpr const wchar_t* kInstancesPathWide = L"/api/pc/instances";
// The access token in the state file of a linked client, and what the service takes.
inline constexpr const char* kToken = "benchmark-token";

inline constexpr DWORD kWindowTimeoutMs = 30000;
inline constexpr double kAnswerTimeoutMs = 120000;
inline constexpr DWORD kCloseTimeoutMs = 10000;
// How long sampling goes on after a figure's end, so that what follows it is seen too.
inline constexpr double kSettleMs = 300;

}  // namespace vandreth::bench
