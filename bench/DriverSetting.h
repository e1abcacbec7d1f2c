#pragma once
// What the benchmark's parts share about the programs they drive: the texts they wait for in their
// windows, the request the stand-in service answers with the project list, and how long they wait.

#include <windows.h>

#include <cstddef>
#include <string>

namespace vandreth::bench {

// The client's status line.
inline constexpr const char* kUnlinkedStatus = "Ready to link your Vandreth account.";
inline constexpr const char* kLinkedStatus = "Checking linked Vandreth session...";
inline constexpr const char* kRefreshingStatus = "Refreshing your Vandreth projects...";

inline std::string loadedStatus(std::size_t count)
{
    return "Loaded " + std::to_string(count) + " Vandreth project(s).";
}

// The bare window's class, and the text it shows once it is up.
inline constexpr const char* kFloorClass = "VandrethBenchFloorWindow";
inline constexpr const char* kFloorReady = "Ready";

inline constexpr const char* kInstancesPath = "/api/pc/instances";
inline constexpr const wchar_t* kInstancesPathWide = L"/api/pc/instances";
// The access token in the state file of a linked client, and what the service takes.
inline constexpr const char* kToken = "benchmark-token";

inline constexpr double kWindowTimeoutMs = 30000;
inline constexpr double kAnswerTimeoutMs = 120000;
inline constexpr DWORD kCloseTimeoutMs = 10000;
// How long sampling goes on after a figure's end, so that what follows it is seen too.
inline constexpr double kSettleMs = 300;

}  // namespace vandreth::bench
