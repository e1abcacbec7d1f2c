#include "AdversityFixture.h"

#include <winsock2.h>
#include <windows.h>

#include <stdexcept>
#include <utility>

namespace vandreth::test {

namespace {

constexpr auto kSocketPoll = std::chrono::milliseconds(50);

// True when `socket` has something to read (or has failed) within `wait`.
bool readable(SOCKET socket, std::chrono::milliseconds wait)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval limit{0, static_cast<long>(wait.count() * 1000)};
    return select(0, &set, nullptr, nullptr, &limit) > 0;
}

}  // namespace

void serveHealthyService(LoopbackServer& server)
{
    server.reply("POST", kLinkStartPath,
                 ScriptedReply::json(200, R"({"code":"WXYZ-1234",)"
                                          R"("approve_url":"https://vandreth.example/link/pc?code=WXYZ-1234"})"));
    server.reply("GET", kLinkPollPath, ScriptedReply::hang());
    server.reply("GET", kMePath,
                 ScriptedReply::json(200, R"({"user":{"display_name":"Ada Lovelace","plan_name":"Pro",)"
                                          R"("reri_limit_label":"5 RERIs"},)"
                                          R"("available_cores":[{"key":"paper","label":"Paper 1.21"}]})"));
    server.reply("GET", kInstancesPath,
                 ScriptedReply::json(200, R"({"instances":[{"core_label":"Paper 1.21","display_name":"Arena",)"
                                          R"("manage_url":"https://vandreth.example/r/arena-1/manage",)"
                                          R"("public_url":"https://vandreth.example/r/arena-1",)"
                                          R"("slug":"arena-1","status":"active"}]})"));
    server.reply("POST", kCreatePath,
                 ScriptedReply::json(200, std::string(R"({"message":")") + kCreateAnswered + R"("})"));
}

void sendRequestOf(TaskKind kind, const ClientHarness& client)
{
    switch (kind) {
    case TaskKind::LinkStart:
    case TaskKind::LinkPoll:
        client.click(kGenerateButton);
        break;
    case TaskKind::Me:
        break;
    case TaskKind::Instances:
        client.click(kRefreshButton);
        break;
    case TaskKind::CreateInstance:
        client.setText(kNameEdit, "Forge");
        client.click(kCreateButton);
        break;
    }
}

FolderListing listing(const std::filesystem::path& folder)
{
    FolderListing entries;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).generic_string();
        entries[name] = entry.is_directory() ? std::nullopt : std::make_optional(fileBytes(entry.path()).value_or(""));
    }
    return entries;
}

bool answersWmNull(HWND window, std::chrono::milliseconds timeout)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(timeout.count()), &result) != 0;
}

ResettingServer::ResettingServer(std::string bytes) : bytes_(std::move(bytes)), listener_(INVALID_SOCKET)
{
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        throw std::runtime_error("WSAStartup failed");
    }
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listener, SOMAXCONN) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listener != INVALID_SOCKET) {
            closesocket(listener);
        }
        WSACleanup();
        throw std::runtime_error("the resetting server could not listen");
    }
    listener_ = listener;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { acceptLoop(); });
}

ResettingServer::~ResettingServer()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    closesocket(listener_);
    WSACleanup();
}

std::string ResettingServer::origin() const
{
    return "http://127.0.0.1:" + std::to_string(port_);
}

bool ResettingServer::waitForRequest(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return requests_ > 0; });
}

void ResettingServer::release()
{
    {
        const std::lock_guard lock(mutex_);
        released_ = true;
    }
    changed_.notify_all();
}

void ResettingServer::acceptLoop()
{
    for (;;) {
        {
            const std::lock_guard lock(mutex_);
            if (stopping_) {
                return;
            }
        }
        if (readable(listener_, kSocketPoll)) {
            const SOCKET accepted = accept(listener_, nullptr, nullptr);
            if (accepted != INVALID_SOCKET) {
                serve(accepted);
            }
        }
    }
}

void ResettingServer::serve(std::uintptr_t connection)
{
    const auto socket = static_cast<SOCKET>(connection);
    // A request counts as read once its body is in too: a reset while the client was still
    // sending its body would fail that send instead of cutting the answer short.
    std::string request;
    char chunk[4096];
    bool stopping = false;
    while (!requestLength(request) && !stopping) {
        if (readable(socket, kSocketPoll)) {
            const int received = recv(socket, chunk, sizeof(chunk), 0);
            if (received <= 0) {
                break;
            }
            request.append(chunk, static_cast<std::size_t>(received));
        }
        const std::lock_guard lock(mutex_);
        stopping = stopping_;
    }
    {
        std::unique_lock lock(mutex_);
        ++requests_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_ || stopping_; });
        stopping = stopping_;
    }
    if (!stopping) {
        send(socket, bytes_.data(), static_cast<int>(bytes_.size()), 0);
    }
    // A zero linger time makes closing send an RST instead of an orderly end.
    const linger abort{1, 0};
    setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof(abort));
    closesocket(socket);
}

}  // namespace vandreth::test
