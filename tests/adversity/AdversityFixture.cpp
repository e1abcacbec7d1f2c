#include "AdversityFixture.h"

#include <windows.h>

namespace vandreth::test {

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

}  // namespace vandreth::test
