#pragma once
// The refresh floor: a bare synchronous WinHTTP GET of a whole body, with nothing around it.

#include <windows.h>

#include <winhttp.h>

#include <string>

namespace vandreth::bench {

struct FetchedBody {
    bool ok = false;  // a response arrived and its body was read to the end
    DWORD status = 0;
    std::string bytes;
};

// GET the project list from the stand-in service on 127.0.0.1 at `port`, with an Accept line and
// the bearer token of a linked client, on a session of its own (as every request of the client has).
FetchedBody fetchProjectList(INTERNET_PORT port);

}  // namespace vandreth::bench
