// The client started on damaged, misplaced and unwritable state files: it must always come up
// with a usable origin and device id, and its next save must either write a valid file in the
// client's exact layout or leave what was there untouched.
#include "AdversityFixture.h"
#include "CaseName.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <random>
#include <regex>
#include <string>

namespace vandreth::test {
namespace {

// The folder as a healthy save leaves it: the data folder with the state file alone in it.
FolderListing savedListing(const std::string& bytes)
{
    return {{"Vandreth", std::nullopt}, {"Vandreth/pc-client-state.json", bytes}};
}

std::string withLineFeeds(std::string text)
{
    std::string out;
    for (const char c : text) {
        if (c != '\r') {
            out += c;
        }
    }
    return out;
}

std::string junk(std::size_t length, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(length, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(byte(random));
    }
    return bytes;
}

std::string utf16WithMark(const std::string& ascii)
{
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

void setReadOnly(const std::filesystem::path& path, bool readOnly)
{
    SetFileAttributesW(path.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

bool isNewDeviceId(const std::string& id)
{
    return std::regex_match(id, std::regex("vdwin-[0-9a-f]{11}")) && id != kDeviceId;
}

// A client that starts without a token, on `origin`.
void expectUnlinkedStart(const ClientHarness& client, const std::string& origin)
{
    EXPECT_EQ(client.text(kStatusLine), kReadyToLink);
    EXPECT_EQ(client.text(kOriginEdit), origin);
    EXPECT_FALSE(client.enabled(kRefreshButton));
}

enum class Damage {
    Empty,
    ByteOrderMark,
    Utf16WithMark,
    Junk10MB,
    ValidThenJunk10MB,
    BareLineFeeds,
    TokenKeyMisspelt,
    DeviceIdCaseFlipped,
    FolderInPlaceOfFile,
    FileInPlaceOfFolder,
    ReadOnlyFile,
};

enum class Save { Written, Untouched, WrittenOrUntouched };

struct DamageCase {
    std::string name;
    Damage damage;
    bool startsLinked;
    std::optional<std::string> keptDeviceId;  // none: nothing was read, a new one is made
    Save save;
};

void PrintTo(const DamageCase& row, std::ostream* out)
{
    *out << row.name;
}

class StateFiles : public testing::Test {
protected:
    void SetUp() override { serveHealthyService(server); }

    std::filesystem::path dataFolder() const { return appData.folder() / "Vandreth"; }

    void writeRaw(const std::string& bytes) const { appData.writeState(bytes); }

    ScopedAppData appData;
    LoopbackServer server;
};

class DamagedStateFiles : public StateFiles, public testing::WithParamInterface<DamageCase> {
protected:
    void damage(Damage kind, const std::string& valid)
    {
        switch (kind) {
        case Damage::Empty:
            writeRaw("");
            break;
        case Damage::ByteOrderMark:
            writeRaw("\xEF\xBB\xBF" + valid);
            break;
        case Damage::Utf16WithMark:
            writeRaw(utf16WithMark(valid));
            break;
        case Damage::Junk10MB:
            writeRaw(junk(10u * 1024u * 1024u, 7));
            break;
        case Damage::ValidThenJunk10MB:
            writeRaw(valid + junk(10u * 1024u * 1024u, 11));
            break;
        case Damage::BareLineFeeds:
            writeRaw(withLineFeeds(valid));
            break;
        case Damage::TokenKeyMisspelt:
            writeRaw(replaced(valid, "\"access_token\"", "\"Access_token\""));
            break;
        case Damage::DeviceIdCaseFlipped:
            writeRaw(replaced(valid, kDeviceId, "vdwin-18C3f2a91b0"));
            break;
        case Damage::FolderInPlaceOfFile:
            std::filesystem::create_directories(appData.stateFile() / "inner");
            break;
        case Damage::FileInPlaceOfFolder:
            std::ofstream(dataFolder(), std::ios::binary) << valid;
            break;
        case Damage::ReadOnlyFile:
            // Bare line feeds, so that a save that went through could be told apart.
            writeRaw(withLineFeeds(valid));
            setReadOnly(appData.stateFile(), true);
            break;
        }
    }

    void TearDown() override
    {
        if (std::filesystem::is_regular_file(appData.stateFile())) {
            setReadOnly(appData.stateFile(), false);
        }
    }

    ClientHarness client;
};

TEST_P(DamagedStateFiles, GiveAUsableStartAndASafeNextSave)
{
    const DamageCase& c = GetParam();
    damage(c.damage, stateFileBytes(server.origin(), kDeviceId, kToken));
    const FolderListing before = listing(appData.folder());

    ASSERT_TRUE(client.start());
    if (c.startsLinked) {
        ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
        EXPECT_EQ(client.text(kOriginEdit), server.origin());
        ASSERT_EQ(server.requestsTo(kMePath).size(), 1u);
        EXPECT_EQ(server.requestsTo(kMePath).front().header("Authorization"), std::string("Bearer ") + kToken);
    } else {
        expectUnlinkedStart(client, c.keptDeviceId ? server.origin() : kDefaultOrigin);
    }

    // The next save: a link code always brings one.
    client.setText(kOriginEdit, server.origin());
    client.click(kGenerateButton);
    ASSERT_TRUE(client.waitForStatus(kCodeReady)) << client.text(kStatusLine);
    const auto starts = server.requestsTo(kLinkStartPath);
    ASSERT_EQ(starts.size(), 1u);
    const std::string deviceId = starts.front().body.substr(std::string("device_id=").size());
    if (c.keptDeviceId) {
        EXPECT_EQ(deviceId, *c.keptDeviceId);
    } else {
        EXPECT_TRUE(isNewDeviceId(deviceId)) << deviceId;
    }

    const FolderListing written = savedListing(stateFileBytes(server.origin(), deviceId, c.startsLinked ? kToken : ""));
    const FolderListing afterSave = listing(appData.folder());
    EXPECT_EQ(client.close(), 0);
    const FolderListing afterExit = listing(appData.folder());
    for (const auto& [when, seen] : {std::pair{"after the link code", afterSave}, std::pair{"at exit", afterExit}}) {
        SCOPED_TRACE(when);
        switch (c.save) {
        case Save::Written:
            EXPECT_EQ(seen, written);
            break;
        case Save::Untouched:
            EXPECT_EQ(seen, before);
            break;
        case Save::WrittenOrUntouched:
            EXPECT_TRUE(seen == written || seen == before);
            break;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DamagedStateFiles,
    testing::Values(
        DamageCase{"Empty", Damage::Empty, false, std::nullopt, Save::Written},
        DamageCase{"ByteOrderMark", Damage::ByteOrderMark, true, kDeviceId, Save::Written},
        DamageCase{"Utf16WithMark", Damage::Utf16WithMark, false, std::nullopt, Save::Written},
        DamageCase{"Junk10MB", Damage::Junk10MB, false, std::nullopt, Save::Written},
        DamageCase{"ValidThenJunk10MB", Damage::ValidThenJunk10MB, true, kDeviceId, Save::Written},
        DamageCase{"BareLineFeeds", Damage::BareLineFeeds, true, kDeviceId, Save::Written},
        DamageCase{"TokenKeyMisspelt", Damage::TokenKeyMisspelt, false, kDeviceId, Save::Written},
        DamageCase{"DeviceIdCaseFlipped", Damage::DeviceIdCaseFlipped, true, "vdwin-18C3f2a91b0", Save::Written},
        DamageCase{"FolderInPlaceOfFile", Damage::FolderInPlaceOfFile, false, std::nullopt, Save::Untouched},
        DamageCase{"FileInPlaceOfFolder", Damage::FileInPlaceOfFolder, false, std::nullopt, Save::Untouched},
        DamageCase{"ReadOnlyFile", Damage::ReadOnlyFile, true, kDeviceId, Save::WrittenOrUntouched}),
    CaseName());

// A file of `bytes` named `name` in the data folder, last written `age` ago.
void plantFile(const std::filesystem::path& folder, const std::string& name, const std::string& bytes,
               std::chrono::seconds age)
{
    std::ofstream(folder / name, std::ios::binary) << bytes;
    const HANDLE file = CreateFileW((folder / name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{};
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= static_cast<ULONGLONG>(age.count()) * 10000000ULL;
    const FILETIME written{time.LowPart, time.HighPart};
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
}

// A client killed in mid-save leaves its partial file behind, under a name that no later save
// uses, and it may hold a token unlinked since. A save removes the state file's partial files
// that are over a minute old; a younger one may be another running client's save, and other
// files are not the client's to remove.
TEST_F(StateFiles, ASaveRemovesItsPartialFilesOverAMinuteOld)
{
    writeRaw(stateFileBytes(server.origin(), kDeviceId));
    const std::string leftover = stateFileBytes(server.origin(), kDeviceId, "tok-unlinked-since");
    const FolderListing kept{
        {"Vandreth/pc-client-state.json.4243-18.partial", leftover},
        {"Vandreth/pc-client-state.json.bak", leftover},
        {"Vandreth/other.json.4242-17.partial", leftover},
        {"Vandreth/pc-client-state.json.x-17.partial", leftover},
    };
    plantFile(dataFolder(), "pc-client-state.json.4242-17.partial", leftover, std::chrono::minutes(5));
    plantFile(dataFolder(), "pc-client-state.json.4243-18.partial", leftover, std::chrono::seconds(20));
    plantFile(dataFolder(), "pc-client-state.json.bak", leftover, std::chrono::minutes(5));
    plantFile(dataFolder(), "other.json.4242-17.partial", leftover, std::chrono::minutes(5));
    plantFile(dataFolder(), "pc-client-state.json.x-17.partial", leftover, std::chrono::minutes(5));

    ClientHarness client;
    ASSERT_TRUE(client.start());
    EXPECT_EQ(client.close(), 0);

    FolderListing expected = savedListing(stateFileBytes(server.origin(), kDeviceId));
    expected.insert(kept.begin(), kept.end());
    EXPECT_EQ(listing(appData.folder()), expected);
}

// Every cut of a valid file, and every byte of it with its high bit flipped (which can never
// leave valid JSON): each start is a fresh one, and the save at exit writes a valid file.
class CutAndFlippedStateFiles : public StateFiles {
protected:
    void expectFreshStartOn(const std::string& bytes)
    {
        writeRaw(bytes);
        ClientHarness fresh;
        ASSERT_TRUE(fresh.start());
        expectUnlinkedStart(fresh, kDefaultOrigin);
        EXPECT_EQ(fresh.close(), 0);

        const std::string saved = fileBytes(appData.stateFile()).value_or("");
        std::smatch id;
        ASSERT_TRUE(std::regex_search(saved, id, std::regex("vdwin-[0-9a-f]+"))) << saved;
        EXPECT_TRUE(isNewDeviceId(id.str())) << id.str();
        EXPECT_EQ(listing(appData.folder()), savedListing(stateFileBytes(kDefaultOrigin, id.str())));
    }

    const std::string valid = stateFileBytes(server.origin(), kDeviceId, kToken);
};

TEST_F(CutAndFlippedStateFiles, CutAtEveryByteStartsFresh)
{
    for (std::size_t length = 0; length < valid.size(); ++length) {
        SCOPED_TRACE("first " + std::to_string(length) + " bytes");
        expectFreshStartOn(valid.substr(0, length));
    }
}

TEST_F(CutAndFlippedStateFiles, HighBitFlippedAtEveryByteStartsFresh)
{
    for (std::size_t at = 0; at < valid.size(); ++at) {
        SCOPED_TRACE("byte " + std::to_string(at) + " flipped");
        std::string flipped = valid;
        flipped[at] = static_cast<char>(flipped[at] ^ '\x80');
        expectFreshStartOn(flipped);
    }
}

}  // namespace
}  // namespace vandreth::test
