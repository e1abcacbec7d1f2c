#pragma once
// One synchronous HTTP(S) exchange over WinHTTP. Every outcome, failures included, comes back
// as an HttpResult value; nothing is thrown and nothing is kept between calls.

#include "VandrethVersion.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vandreth {

// Ordered (name, value) pairs of a form-encoded body; the order is the order on the wire.
using FormFields = std::vector<std::pair<std::string, std::string>>;

struct HttpResult {
    // 0 when no response arrived or its status code was unreadable.
    std::int32_t statusCode = 0;
    // Null until a response arrives; then the parsed body, or an empty object for an empty or
    // unparsable body.
    nlohmann::json json;
    // Status-line text; not empty exactly when no response arrived, the status is 400 or more,
    // or the response is a redirect that the client does not follow (to another origin, or to
    // an address that cannot be read).
    std::string error;

    HttpResult() = default;
    HttpResult(HttpResult&& other) noexcept;
    HttpResult& operator=(HttpResult&& other) noexcept;
    HttpResult(const HttpResult&) = delete;
    HttpResult& operator=(const HttpResult&) = delete;
    ~HttpResult() = default;
};

// The user agent that names the client to the service, with the program's major and minor version.
inline constexpr const char* kUserAgent = "Vandreth-WindowsClient/" VANDRETH_VERSION_SHORT;

// The form-encoded body of `fields`: name=value pairs joined by '&'; empty for no fields.
std::string formBody(const FormFields& fields);

// The error text for a response with `statusCode`; empty below 400.
std::string responseErrorText(std::int32_t statusCode, const nlohmann::json& body);

// The token as it goes into the Authorization line: up to its first byte that is not
// printable ASCII (0x21 to 0x7E), so that nothing but header text reaches the header block.
std::string headerSafeToken(const std::string& token);

// How long one exchange may take. The waits for the network are WinHTTP's own defaults, but
// for name resolution, which WinHTTP would let run without end. The whole exchange, redirects
// included, ends once `exchange` has passed: each request of it waits no longer than what is
// left of `exchange` when it starts, and the body's reads stop once it has passed, so that an
// exchange runs past it by one read at the most. Wine applies the wait for the answer's head
// to each read of the head instead of to all of it, and a synchronous WinHTTP call cannot be
// cut short from another thread there.
struct HttpLimits {
    std::chrono::milliseconds resolve = std::chrono::seconds(30);
    std::chrono::milliseconds connect = std::chrono::seconds(60);
    std::chrono::milliseconds send = std::chrono::seconds(30);
    // Each read of the body.
    std::chrono::milliseconds receive = std::chrono::seconds(30);
    // The answer's head, once the request has gone out.
    std::chrono::milliseconds head = std::chrono::seconds(90);
    std::chrono::milliseconds exchange = std::chrono::minutes(2);
};

class HttpClient {
public:
    // The program's client, with the default limits.
    HttpClient() = default;
    explicit HttpClient(const HttpLimits& limits) : limits_(limits) {}

    // Sends `method` to `url` with `fields` as a form body (none when empty) and a bearer
    // token (none when empty). Blocks the calling thread until the whole answer is read, the
    // request has failed or the limits have run out. Follows redirects only within the origin.
    HttpResult request(const std::string& method, const std::string& url, const FormFields& fields,
                       const std::string& bearerToken) const;

private:
    HttpLimits limits_;
};

}  // namespace vandreth
