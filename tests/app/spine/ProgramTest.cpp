// The program itself, VandrethClient.exe, run with APPDATA set, set to empty text and unset:
// where its state file lands, that its own manifest makes its window text UTF-8, and its exit
// code.

#include "CaseName.h"
#include "ClientHarness.h"
#include "ClientProcess.h"
#include "ClientTexts.h"
#include "SpineSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vandreth::test {
namespace {

struct AppDataCase {
    const char* name;
    // APPDATA: a folder relative to the test's folder, empty text, or nothing for unset.
    std::optional<std::wstring> appData;
    // Where the state file should land, relative to the test's folder.
    std::filesystem::path stateFile;
};

// Failure messages name the row.
void PrintTo(const AppDataCase& row, std::ostream* out)
{
    *out << row.name;
}

class Program : public testing::TestWithParam<AppDataCase> {};

TEST_P(Program, SavesWhereAppDataSaysAndExitsWithZero)
{
    const AppDataCase& c = GetParam();
    // A fresh folder (this process's APPDATA points there too; the program gets its own below).
    const ScopedAppData scratch;
    const std::filesystem::path folder = scratch.folder();
    std::filesystem::create_directories(folder / "work");
    std::filesystem::create_directories(folder / "temp");
    const std::wstring temp = (folder / "temp").wstring();
    std::vector<EnvironmentChange> changes{{L"TMP", temp}, {L"TEMP", temp}};
    if (!c.appData) {
        changes.push_back({L"APPDATA", std::nullopt});
    } else if (c.appData->empty()) {
        changes.push_back({L"APPDATA", std::wstring()});
    } else {
        changes.push_back({L"APPDATA", (folder / *c.appData).wstring()});
    }

    ClientProcess program(changes, folder / "work");
    ASSERT_TRUE(program.waitUntilReady());
    EXPECT_EQ(program.text(kStatusLine), kReadyToLink);
    EXPECT_EQ(program.wideText(kEmojiEdit), std::wstring(L"\xD83D\xDD25"));
    EXPECT_EQ(program.close(), std::optional<DWORD>(0));

    const auto saved = fileBytes(folder / c.stateFile);
    ASSERT_TRUE(saved.has_value()) << (folder / c.stateFile).string();
    EXPECT_FALSE(savedDeviceId(*saved).empty());
    EXPECT_EQ(*saved, stateFileBytes(kDefaultOrigin, savedDeviceId(*saved)));
}

INSTANTIATE_TEST_SUITE_P(
    AppData, Program,
    testing::Values(AppDataCase{"Set", L"roaming", "roaming/Vandreth/pc-client-state.json"},
                    // Empty text is a relative folder: the working folder.
                    AppDataCase{"Empty", L"", "work/Vandreth/pc-client-state.json"},
                    AppDataCase{"Unset", std::nullopt, "temp/Vandreth/pc-client-state.json"}),
    CaseName());

}  // namespace
}  // namespace vandreth::test
