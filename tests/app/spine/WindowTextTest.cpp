// Text that the client reads back from its controls: typed Unicode reaches the state file and
// the wire as UTF-8, a text length reported too long adds nothing, and bytes that are not
// UTF-8 neither end the process nor damage the state file.

#include "ClientHarness.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"
#include "SpineSupport.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>

namespace vandreth::test {
namespace {

const std::string kStoredUnlinked = unlinkedStateFile("https://old.vandreth.test");

TEST(TypedText, ReachesTheStateFileAsUtf8)
{
    ScopedAppData appData;
    appData.writeState(kStoredUnlinked);
    ClientHarness client;
    ASSERT_TRUE(client.start());
    // As a user types it: UTF-16 into the box.
    SendMessageW(client.control(kOriginEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"https://b\u00FCcher.test"));
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes("https://b\xC3\xBC" "cher.test", kDeviceId));
}

TEST(TypedText, ReachesTheWireAsUtf8)
{
    LoopbackServer server;
    server.reply("GET", kMePath, ScriptedReply::hang());
    server.reply("POST", kCreatePath, ScriptedReply::hang());
    ScopedAppData appData;
    appData.writeState(linkedStateFile(server.origin()));
    ClientHarness client;
    ASSERT_TRUE(client.start());
    SendMessageW(client.control(kNameEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Caf\u00E9 \u2615"));
    client.click(kCreateButton);
    ASSERT_TRUE(server.waitForRequests(2, 10s));
    const auto creates = server.requestsTo(kCreatePath);
    ASSERT_EQ(creates.size(), 1u);
    EXPECT_EQ(creates[0].body.rfind("display_name=Caf%C3%A9+%E2%98%95&", 0), 0u) << creates[0].body;
}

TEST(WindowTextLength, ReportedTooLongAddsNothingToTheOrigin)
{
    LoopbackServer server;
    server.reply("POST", kLinkStartPath, ScriptedReply::hang());
    ScopedAppData appData;
    appData.writeState(kStoredUnlinked);
    ClientHarness client;
    ASSERT_TRUE(client.start());
    const TextOverride override(client.control(kOriginEdit), server.origin(), 6);

    // Stray NULs after the origin would cut the request's URL short, before its path.
    client.click(kGenerateButton);
    ASSERT_TRUE(server.waitForRequests(1, 10s));
    EXPECT_EQ(server.requests()[0].requestLine, "POST /api/pc/link/start HTTP/1.1");

    client.command(kUnlinkButton);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(server.origin(), kDeviceId));
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(server.origin(), kDeviceId));
}

TEST(WindowTextNotUtf8, LeavesTheStateFileAsItWas)
{
    ScopedAppData appData;
    appData.writeState(kStoredUnlinked);
    ClientHarness client;
    ASSERT_TRUE(client.start());
    const TextOverride override(client.control(kOriginEdit), "lab\xFF\xFE.vandreth.test");

    client.command(kUnlinkButton);
    EXPECT_EQ(client.text(kStatusLine), kUnlinkedButNotSaved);
    EXPECT_EQ(appData.stateBytes(), kStoredUnlinked);
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), kStoredUnlinked);

    // The process lives on: a later client in it loads that file.
    ClientHarness later;
    ASSERT_TRUE(later.start());
    EXPECT_EQ(later.text(kOriginEdit), "https://old.vandreth.test");
    EXPECT_EQ(later.close(), 0);
}

TEST(WindowTextNotUtf8, SetAsBytesStillSavesAWholeFile)
{
    ScopedAppData appData;
    appData.writeState(kStoredUnlinked);
    ClientHarness client;
    ASSERT_TRUE(client.start());
    // The window converts the bytes on the way in; whatever comes back is saved whole, or not at all.
    client.setText(kOriginEdit, "\xFF" "lab.vandreth.test");
    client.command(kUnlinkButton);
    EXPECT_EQ(client.close(), 0);

    const auto saved = appData.stateBytes();
    ASSERT_TRUE(saved.has_value());
    if (*saved != kStoredUnlinked) {
        const auto state = nlohmann::json::parse(*saved, nullptr, false);
        ASSERT_TRUE(state.is_object()) << *saved;
        ASSERT_TRUE(state.contains("origin") && state["origin"].is_string()) << *saved;
        EXPECT_EQ(*saved, stateFileBytes(state["origin"].get<std::string>(), kDeviceId));
    }
}

}  // namespace
}  // namespace vandreth::test
