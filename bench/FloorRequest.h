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

// GET `path` from http://host:port with an Accept line and the bearer token, on a session of
// its own (as every request of the client has).
FetchedBody fetchBody(const std::wstring& host, INTERNET_PORT port, const std::wstring& path, const std::string& token);

}  // namespace vandreth::bench
