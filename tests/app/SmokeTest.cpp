#include "ClientHarness.h"

#include <gtest/gtest.h>

namespace vandreth::test {
namespace {

TEST(ClientSmoke, StartsUnlinkedAndSavesOnClose)
{
    ScopedAppData appData;
    ClientHarness client;
    ASSERT_TRUE(client.start());
    EXPECT_EQ(client.text(kStatusLine), "Ready to link your Vandreth account.");
    EXPECT_FALSE(client.enabled(kRefreshButton));
    EXPECT_EQ(client.close(), 0);
    const auto bytes = appData.stateBytes();
    ASSERT_TRUE(bytes.has_value());
    EXPECT_NE(bytes->find("\"origin\": \"https://vandreth.example\"\r\n}"), std::string::npos) << *bytes;
}

}  // namespace
}  // namespace vandreth::test
