// The state file as the user's disk sees it: the bytes a save writes, what a load makes of the
// files it may find, and loads and saves that cannot be done.

#include "CaseName.h"
#include "ClientHarness.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"
#include "SpineSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace vandreth::test {
namespace {

std::string replaced(std::string text, const std::string& placeholder, const std::string& value)
{
    for (std::size_t at = text.find(placeholder); at != std::string::npos; at = text.find(placeholder, at)) {
        text.replace(at, placeholder.size(), value);
        at += value.size();
    }
    return text;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The file a save by `client` writes before moving it over the state file.
std::filesystem::path partialFile(const ScopedAppData& appData, const ClientHarness& client)
{
    std::filesystem::path partial = appData.stateFile();
    std::ostringstream suffix;
    suffix << '.' << GetCurrentProcessId() << '-' << client.threadId() << ".partial";
    partial += suffix.str();
    return partial;
}

// The names in `folder`, sorted.
std::vector<std::string> entryNames(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> kOnlyTheStateFile{"pc-client-state.json"};

TEST(StateFileBytes, AreSortedIndentedCrLfWithoutFinalLineEnd)
{
    LoopbackServer server;
    server.reply("GET", "/api/pc/me", ScriptedReply::hang());
    struct Case {
        const char* name;
        std::string stored;
        std::string saved;
    };
    const Case cases[] = {
        {"linked",
         R"({"origin":")" + server.origin() + R"(","device_id":"vdwin-18c3f2a91b0","access_token":"tok-7f3a"})",
         "{\r\n"
         "  \"access_token\": \"tok-7f3a\",\r\n"
         "  \"device_id\": \"vdwin-18c3f2a91b0\",\r\n"
         "  \"origin\": \"" +
             server.origin() +
             "\"\r\n"
             "}"},
        {"unlinked", R"({"origin":"https://lab.vandreth.test","device_id":"vdwin-18c3f2a91b0"})",
         "{\r\n"
         "  \"device_id\": \"vdwin-18c3f2a91b0\",\r\n"
         "  \"origin\": \"https://lab.vandreth.test\"\r\n"
         "}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedAppData appData;
        appData.writeState(c.stored);
        ClientHarness client;
        ASSERT_TRUE(client.start());
        EXPECT_EQ(client.close(), 0);
        EXPECT_EQ(appData.stateBytes(), c.saved);
    }
}

// What a stored file gives: the URL box's first text, the token (seen on the wire as the
// check's credential), and what the next save writes. "{SERVER}" stands for the loopback
// server's origin; a linked file always points at it, as its token is sent at once.
struct StoredCase {
    const char* name;
    std::string stored;
    std::string origin;
    std::string token;
    // As the saved file shows it (JSON-escaped); empty for a device id made at this start.
    std::string savedDeviceId;
};

// Failure messages name the row.
void PrintTo(const StoredCase& row, std::ostream* out)
{
    *out << row.name;
}

class StoredStateLoad : public testing::TestWithParam<StoredCase> {};

TEST_P(StoredStateLoad, GivesOriginTokenAndDeviceId)
{
    const StoredCase& c = GetParam();
    LoopbackServer server;
    server.reply("GET", kMePath, ScriptedReply::hang());
    ScopedAppData appData;
    appData.writeState(replaced(c.stored, "{SERVER}", server.origin()));
    const std::string origin = replaced(c.origin, "{SERVER}", server.origin());

    const std::uint64_t before = systemMs();
    ClientHarness client;
    ASSERT_TRUE(client.start());
    const std::uint64_t after = systemMs();

    EXPECT_EQ(client.text(kOriginEdit), origin);
    if (c.token.empty()) {
        EXPECT_EQ(client.text(kStatusLine), kReadyToLink);
    } else {
        EXPECT_EQ(client.text(kStatusLine), kCheckingSession);
        ASSERT_TRUE(server.waitForRequests(1, 10s));
        EXPECT_EQ(server.requests()[0].header("Authorization"), "Bearer " + c.token);
    }
    EXPECT_EQ(client.close(), 0);

    const auto saved = appData.stateBytes();
    ASSERT_TRUE(saved.has_value());
    std::string deviceId = c.savedDeviceId;
    if (deviceId.empty()) {
        deviceId = savedDeviceId(*saved);
        EXPECT_TRUE(isDeviceIdMadeBetween(deviceId, before, after)) << deviceId;
    }
    EXPECT_EQ(*saved, stateFileBytes(origin, deviceId, c.token));
}


INSTANTIATE_TEST_SUITE_P(
    Table, StoredStateLoad,
    testing::Values(
        StoredCase{"CrLfLines",
                   "{\r\n  \"access_token\": \"tok-1\",\r\n  \"device_id\": \"vdwin-1\",\r\n"
                   "  \"origin\": \"{SERVER}\"\r\n}",
                   "{SERVER}", "tok-1", "vdwin-1"},
        StoredCase{"ByteOrderMark",
                   "\xEF\xBB\xBF{\"access_token\":\"tok-2\",\"device_id\":\"vdwin-2\",\"origin\":\"{SERVER}\"}",
                   "{SERVER}", "tok-2", "vdwin-2"},
        StoredCase{"BareLineFeeds",
                   "{\n  \"access_token\": \"tok-3\",\n  \"device_id\": \"vdwin-3\",\n  \"origin\": \"{SERVER}\"\n}\n",
                   "{SERVER}", "tok-3", "vdwin-3"},
        // Only the first value counts; were the second read, it would link the client.
        StoredCase{"TrailingText",
                   "{\"device_id\":\"vdwin-4\",\"origin\":\"https://first.vandreth.test\"}\r\n"
                   "{\"access_token\":\"tok-x\",\"origin\":\"{SERVER}\"} and more",
                   "https://first.vandreth.test", "", "vdwin-4"},
        StoredCase{"Array", R"(["https://lab.vandreth.test","tok-x","vdwin-5"])", kDefaultOrigin, "", ""},
        StoredCase{"String", R"("https://lab.vandreth.test")", kDefaultOrigin, "", ""},
        StoredCase{"Number", "42", kDefaultOrigin, "", ""},
        StoredCase{"Null", "null", kDefaultOrigin, "", ""},
        StoredCase{"BlankMembers", R"({"access_token":" \t ","device_id":"   ","origin":"  "})", kDefaultOrigin, "",
                   ""},
        StoredCase{"NonStringMembers", R"({"access_token":true,"device_id":12345,"origin":["https://x.test"]})",
                   kDefaultOrigin, "", ""},
        StoredCase{"MissingMembers", R"({"origin":"https://lab.vandreth.test"})", "https://lab.vandreth.test", "",
                   ""},
        StoredCase{"PaddedMembers",
                   R"({"access_token":"  tok-6\r\n","device_id":" vdwin-6\t","origin":"  {SERVER}/  "})", "{SERVER}",
                   "tok-6", "vdwin-6"},
        StoredCase{"HostWithoutScheme", R"({"device_id":"vdwin-7","origin":" lab.vandreth.test/ "})",
                   "https://lab.vandreth.test", "", "vdwin-7"},
        StoredCase{"OtherMembers",
                   R"({"access_token":"tok-8","beta":true,"device_id":"vdwin-8","origin":"{SERVER}","window":{"x":1}})",
                   "{SERVER}", "tok-8", "vdwin-8"},
        StoredCase{"EmptyFile", "", kDefaultOrigin, "", ""},
        StoredCase{"NotJson", "origin=https://lab.vandreth.test", kDefaultOrigin, "", ""},
        StoredCase{"Comment", "{/* last run */\"device_id\":\"vdwin-9\"}", kDefaultOrigin, "", ""},
        StoredCase{"CutShort", R"({"device_id":"vdwin-10","origin":"https://lab.vandreth.test")", kDefaultOrigin, "",
                   ""},
        StoredCase{"StringNotUtf8", "{\"device_id\":\"vdwin-11\",\"origin\":\"https://lab\xFF.vandreth.test\"}",
                   kDefaultOrigin, "", ""},
        // Text beyond ASCII is kept as its UTF-8 bytes: in the URL box and in the saved file.
        StoredCase{"NonAscii",
                   "{\"device_id\":\"vdwin-\xC3\xA9t\xC3\xA9\",\"origin\":\"https://b\xC3\xBC"
                   "cher.test\"}",
                   "https://b\xC3\xBC" "cher.test", "", "vdwin-\xC3\xA9t\xC3\xA9"},
        // Only what JSON must escape is escaped.
        StoredCase{"Escapes", R"({"device_id":"a\"b\\c\u0001d\u00e9","origin":"https://lab.vandreth.test"})",
                   "https://lab.vandreth.test", "", "a\\\"b\\\\c\\u0001d\xC3\xA9"}),
    CaseName());

TEST(StateFileLocation, CreatesAMissingAppDataFolderWithItsParents)
{
    ScopedAppData appData;
    const std::filesystem::path nested = appData.folder() / "not" / "there";
    _putenv_s("APPDATA", nested.string().c_str());
    ClientHarness client;
    ASSERT_TRUE(client.start());
    EXPECT_TRUE(std::filesystem::is_directory(nested / "Vandreth"));
    EXPECT_EQ(client.close(), 0);
    const auto saved = fileBytes(nested / "Vandreth" / "pc-client-state.json");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(*saved, stateFileBytes(kDefaultOrigin, savedDeviceId(*saved)));
}

TEST(StateFileLocation, FollowsAnAppDataFolderWithANonAsciiName)
{
    ScopedAppData appData;
    const std::filesystem::path profile = appData.folder() / L"Zo\u00EB \u4E2D";
    _wputenv_s(L"APPDATA", profile.c_str());
    ClientHarness client;
    ASSERT_TRUE(client.start());
    EXPECT_EQ(client.close(), 0);
    const auto saved = fileBytes(profile / "Vandreth" / "pc-client-state.json");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(*saved, stateFileBytes(kDefaultOrigin, savedDeviceId(*saved)));
}

// A file left over from an earlier run under the name the save writes to (the process and
// thread ids of that run came back): none of its bytes reach the state file.
TEST(StateFileSave, ReplacesAStalePartialFile)
{
    ScopedAppData appData;
    appData.writeState(unlinkedStateFile("https://lab.vandreth.test"));
    ClientHarness client;
    ASSERT_TRUE(client.start());
    writeFile(partialFile(appData, client),
              "{\r\n  \"device_id\": \"left over from a run that was cut short while it wrote a much longer file");
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes("https://lab.vandreth.test", kDeviceId));
    EXPECT_EQ(entryNames(appData.stateFile().parent_path()), kOnlyTheStateFile);
}

// A data folder or state file the client cannot use: it starts with the defaults, Unlink says
// that its save failed, the process lives on and exits with 0, and nothing it found is changed.
struct UnusableCase {
    const char* name;
    // Prepares the APPDATA folder and gives the APPDATA value to use.
    std::function<std::filesystem::path(const std::filesystem::path& folder)> arrange;
    std::function<void(const std::filesystem::path& folder)> verify;
};

// Failure messages name the row.
void PrintTo(const UnusableCase& row, std::ostream* out)
{
    *out << row.name;
}

class UnusableStatePlace : public testing::TestWithParam<UnusableCase> {};

TEST_P(UnusableStatePlace, KeepsDefaultsAndRunsOn)
{
    ScopedAppData appData;
    _putenv_s("APPDATA", GetParam().arrange(appData.folder()).string().c_str());
    ClientHarness client;
    ASSERT_TRUE(client.start());
    EXPECT_EQ(client.text(kOriginEdit), kDefaultOrigin);
    EXPECT_EQ(client.text(kStatusLine), kReadyToLink);
    client.command(kUnlinkButton);
    EXPECT_EQ(client.text(kStatusLine), kUnlinkedButNotSaved);
    EXPECT_EQ(client.close(), 0);
    GetParam().verify(appData.folder());
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnusableStatePlace,
    testing::Values(
        UnusableCase{"AppDataIsAFile",
                     [](const std::filesystem::path& folder) {
                         writeFile(folder / "plain", "a file, not a folder");
                         return folder / "plain";
                     },
                     [](const std::filesystem::path& folder) {
                         EXPECT_EQ(fileBytes(folder / "plain"), "a file, not a folder");
                     }},
        UnusableCase{"FileNamedVandreth",
                     [](const std::filesystem::path& folder) {
                         writeFile(folder / "Vandreth", "a file, not a folder");
                         return folder;
                     },
                     [](const std::filesystem::path& folder) {
                         EXPECT_EQ(fileBytes(folder / "Vandreth"), "a file, not a folder");
                     }},
        UnusableCase{"FolderInPlaceOfTheFile",
                     [](const std::filesystem::path& folder) {
                         writeFile(folder / "Vandreth" / "pc-client-state.json" / "inside", "kept");
                         return folder;
                     },
                     [](const std::filesystem::path& folder) {
                         EXPECT_EQ(fileBytes(folder / "Vandreth" / "pc-client-state.json" / "inside"), "kept");
                         EXPECT_EQ(entryNames(folder / "Vandreth"), kOnlyTheStateFile);
                     }}),
    CaseName());

// A state file the save cannot replace: another program holds it open (sharing reading only),
// or it is read-only. Unlink says that the file still links the PC, and the file stays as it
// was.
class UnreplaceableStateFile : public testing::Test {
protected:
    void SetUp() override
    {
        server.reply("GET", kMePath, ScriptedReply::hang());
        stored = linkedStateFile(server.origin());
        appData.writeState(stored);
    }

    void expectSavesLeaveTheFile()
    {
        ClientHarness client;
        ASSERT_TRUE(client.start());
        // Loading needs no write access.
        EXPECT_EQ(client.text(kStatusLine), kCheckingSession);
        client.click(kUnlinkButton);
        EXPECT_EQ(client.text(kStatusLine), kUnlinkedButNotSaved);
        EXPECT_EQ(appData.stateBytes(), stored);
        EXPECT_EQ(client.close(), 0);
        EXPECT_EQ(appData.stateBytes(), stored);
        EXPECT_EQ(entryNames(appData.stateFile().parent_path()), kOnlyTheStateFile);
    }

    LoopbackServer server;
    ScopedAppData appData;
    std::string stored;
};

TEST_F(UnreplaceableStateFile, HeldOpenByAnotherProgram)
{
    const HANDLE held = CreateFileW(appData.stateFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    expectSavesLeaveTheFile();
    CloseHandle(held);
}

TEST_F(UnreplaceableStateFile, ReadOnly)
{
    const std::wstring path = appData.stateFile().wstring();
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    const HANDLE probe = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        // Wine keeps the attribute as file permissions, which do not bind a process run as root.
        GTEST_SKIP() << "this system lets the process write to a read-only file";
    }
    expectSavesLeaveTheFile();
    EXPECT_EQ(GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace vandreth::test
