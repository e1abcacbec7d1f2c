#pragma once
// Refreshes of a linked client with N projects, clicked and watched from outside, each beside the
// floor's bare GET of the same answer, and how the window answers meanwhile.

#include "FromOutside.h"
#include "LoopbackServer.h"
#include "StateFolder.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vandreth::bench {

struct RefreshRun {
    std::string failure;  // empty when every figure was taken
    double clientMs = 0;
    double floorMs = 0;
    double outsideRefill = 0;  // the longest round trip but those that waited for the list's refill
    double refill = 0;         // the longest of those
};

struct RefreshSession {
    std::string failure;  // empty when every run was measured and the client ended cleanly
    std::vector<RefreshRun> runs;
    MemoryFigures memory;            // after the runs
    std::optional<double> hanging;  // longest round trip while a request hangs
};

// Starts the client linked, with `server` answering the project list with `count` projects;
// after its first load, `runs` refreshes; then, when `withHang`, one that the server never
// answers. Closes the client at the end.
RefreshSession refreshSession(const std::wstring& client, test::LoopbackServer& server, const StateFolder& state,
                              std::size_t count, int runs, bool withHang);

}  // namespace vandreth::bench
