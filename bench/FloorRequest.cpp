#include "FloorRequest.h"

#include "DriverSetting.h"

#include <memory>
#include <type_traits>

namespace vandreth::bench {

namespace {

struct HandleCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HINTERNET>, HandleCloser>;

FetchedBody fetchBody(const std::wstring& host, INTERNET_PORT port, const std::wstring& path, const std::string& token)
{
    FetchedBody fetched;
    const Handle session(WinHttpOpen(L"VandrethBench/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0));
    const Handle connection(session ? WinHttpConnect(session.get(), host.c_str(), port, 0) : nullptr);
    const Handle request(connection ? WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                                         WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                    : nullptr);
    if (!request) {
        return fetched;
    }
    const std::wstring headers =
        L"Accept: application/json\r\nAuthorization: Bearer " + std::wstring(token.begin(), token.end()) + L"\r\n";
    if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1), WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        return fetched;
    }
    DWORD statusSize = sizeof(fetched.status);
    WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &fetched.status, &statusSize, WINHTTP_NO_HEADER_INDEX);
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available)) {
            return fetched;
        }
        if (available == 0) {
            break;
        }
        const std::size_t used = fetched.bytes.size();
        fetched.bytes.resize(used + available);
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), fetched.bytes.data() + used, available, &read)) {
            return fetched;
        }
        fetched.bytes.resize(used + read);
    }
    fetched.ok = true;
    return fetched;
}

}  // namespace

FetchedBody fetchProjectList(INTERNET_PORT port)
{
    return fetchBody(L"127.0.0.1", port, kInstancesPathWide, kToken);
}

}  // namespace vandreth::bench
