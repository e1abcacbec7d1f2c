// The create form: the fields it sends and in which order, its two refusals, and what the
// answer does to the form and the project list.

#include "CaseName.h"
#include "CreateForm.h"
#include "FlowFixture.h"

namespace vandreth::test {
namespace {

constexpr const char* kCreatedFallback = "Vandreth created your RERI from the desktop client.";
constexpr const char* kFireEmoji = "\xF0\x9F\x94\xA5";

constexpr const char* kTwoCores =
    R"({"user":{"display_name":"Mira"},"available_cores":[{"key":"core-2","label":"Core Two"},)"
    R"({"key":"core-7","label":"Core Seven"}]})";

// The form as the user leaves it before clicking Create RERI.
struct FormEntry {
    std::string name;
    std::string description;
    std::string emoji = kFireEmoji;
    std::string accent = "#ff8f1f";
    std::string tags;
    int preset = 0;
    int core = 0;
    bool publicListing = true;
    bool maintenance = false;
};

void fillForm(const ClientHarness& client, const FormEntry& form)
{
    client.setText(kNameEdit, form.name);
    client.setText(kDescriptionEdit, form.description);
    client.setText(kEmojiEdit, form.emoji);
    client.setText(kAccentEdit, form.accent);
    client.setText(kTagsEdit, form.tags);
    client.selectComboEntry(kPresetCombo, form.preset);
    client.selectComboEntry(kCoreCombo, form.core);
    client.setChecked(kPublicListingCheck, form.publicListing);
    client.setChecked(kMaintenanceCheck, form.maintenance);
}

void expectForm(const ClientHarness& client, const FormEntry& form)
{
    EXPECT_EQ(client.text(kNameEdit), form.name);
    EXPECT_EQ(client.text(kDescriptionEdit), form.description);
    EXPECT_EQ(client.text(kEmojiEdit), form.emoji);
    EXPECT_EQ(client.text(kAccentEdit), form.accent);
    EXPECT_EQ(client.text(kTagsEdit), form.tags);
    EXPECT_EQ(client.comboSelection(kPresetCombo), form.preset);
    EXPECT_EQ(client.comboSelection(kCoreCombo), form.core);
    EXPECT_EQ(client.checked(kPublicListingCheck), form.publicListing);
    EXPECT_EQ(client.checked(kMaintenanceCheck), form.maintenance);
}

class CreateFormTest : public FlowTest {};

TEST_F(CreateFormTest, WorkedExampleSendsExactlyItsBodyThenClearsTheFormAndReloads)
{
    ASSERT_TRUE(startLinked(kTwoCores, R"({"instances":[]})"));
    server.replyOnce("POST", kCreatePath,
                     ScriptedReply::json(200, R"({"message":"Sky Forge is on its way."})").heldUntil("created"));
    // The reload stays unanswered, so the create answer's text stays on the status line.
    server.reply("GET", kInstancesPath, ScriptedReply::hang());
    FormEntry form;
    form.name = "  Sky Forge ";
    form.emoji = "";
    form.tags = "pvp, mods";
    form.preset = 2;
    fillForm(client, form);

    client.click(kCreateButton);
    EXPECT_EQ(client.text(kStatusLine), kCreating);
    EXPECT_FALSE(client.enabled(kCreateButton));
    ASSERT_TRUE(waitForRequestsTo(kCreatePath, 1));
    const auto create = server.requestsTo(kCreatePath)[0];
    EXPECT_EQ(create.method, "POST");
    EXPECT_EQ(create.body, "display_name=Sky+Forge&description=&emoji_badge=%F0%9F%94%A5&accent_color=%23ff8f1f"
                           "&tags=pvp%2C+mods&preset_name=hardcore&core_key=core-2&public_listing=true");
    EXPECT_EQ(create.header("Authorization"), std::string("Bearer ") + kToken);

    server.release("created");
    ASSERT_TRUE(client.waitForStatus("Sky Forge is on its way.")) << client.text(kStatusLine);
    FormEntry cleared;
    cleared.preset = 2;
    expectForm(client, cleared);
    EXPECT_TRUE(client.enabled(kCreateButton));
    ASSERT_TRUE(waitForRequestsTo(kInstancesPath, 2)) << "the project list was not reloaded";
    EXPECT_EQ(server.requestsTo(kInstancesPath)[1].header("Authorization"), std::string("Bearer ") + kToken);
}

TEST_F(CreateFormTest, SelectionsCheckBoxesAndTrimmingShapeTheFields)
{
    ASSERT_TRUE(startLinked(kTwoCores, R"({"instances":[]})"));
    server.reply("POST", kCreatePath, ScriptedReply::json(200, "{}"));
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, R"({"instances":[]})"));
    const std::string defaults = "&description=&emoji_badge=%F0%9F%94%A5&accent_color=%23ff8f1f&tags=";
    struct Case {
        FormEntry form;
        std::string body;
    };
    const Case cases[] = {
        {{.name = "Alpha", .preset = 0, .core = 0, .publicListing = true, .maintenance = false},
         "display_name=Alpha" + defaults + "&preset_name=balanced&core_key=core-2&public_listing=true"},
        {{.name = "Beta", .preset = 1, .core = 1, .publicListing = false, .maintenance = false},
         "display_name=Beta" + defaults + "&preset_name=casual&core_key=core-7"},
        {{.name = "Gamma", .preset = 2, .core = -1, .publicListing = true, .maintenance = true},
         "display_name=Gamma" + defaults + "&preset_name=hardcore&public_listing=true&maintenance_mode=true"},
        {{.name = "Delta", .preset = -1, .core = 0, .publicListing = false, .maintenance = true},
         "display_name=Delta" + defaults + "&preset_name=balanced&core_key=core-2&maintenance_mode=true"},
        {{.name = " \tSky  Forge\t ",
          .description = "  Long  text \n",
          .emoji = " \xE2\x9A\x94 ",
          .accent = "red",
          .tags = " a, b ",
          .preset = 1,
          .core = 1,
          .publicListing = false},
         "display_name=Sky++Forge&description=Long++text&emoji_badge=%E2%9A%94&accent_color=red&tags=a%2C+b"
         "&preset_name=casual&core_key=core-7"},
        {{.name = "Blank badge", .emoji = " \t ", .accent = "", .core = -1, .publicListing = false},
         "display_name=Blank+badge" + defaults + "&preset_name=balanced"},
        {{.name = "\xC2\xA0", .core = -1, .publicListing = false},
         "display_name=%C2%A0" + defaults + "&preset_name=balanced"},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.body);
        const auto before = requestCount(kCreatePath);
        fillForm(client, entry.form);
        client.click(kCreateButton);
        ASSERT_TRUE(waitForRequestsTo(kCreatePath, before + 1));
        EXPECT_EQ(server.requestsTo(kCreatePath).back().body, entry.body);
        ASSERT_TRUE(client.waitFor([&] { return client.enabled(kCreateButton) && client.text(kNameEdit).empty(); }));
    }
}

struct CreatedCase {
    const char* name;
    ScriptedReply reply;
    std::string status;
};

class CreatedTest : public FlowTest, public ::testing::WithParamInterface<CreatedCase> {};

TEST_P(CreatedTest, ClearsTheFormShowsTheAnswerAndReloads)
{
    // No cores: the core list shows its placeholder and no core is sent.
    ASSERT_TRUE(startLinked(R"({"user":{"display_name":"Mira"}})", R"({"instances":[]})"));
    server.replyOnce("POST", kCreatePath, GetParam().reply);
    server.reply("GET", kInstancesPath, ScriptedReply::hang());
    FormEntry form;
    form.name = "Row";
    form.description = "  d  ";
    form.emoji = "";
    form.accent = "";
    form.preset = 1;
    form.publicListing = false;
    form.maintenance = true;
    fillForm(client, form);

    client.click(kCreateButton);
    ASSERT_TRUE(client.waitForStatus(GetParam().status)) << client.text(kStatusLine);
    EXPECT_EQ(server.requestsTo(kCreatePath)[0].body,
              "display_name=Row&description=d&emoji_badge=%F0%9F%94%A5&accent_color=%23ff8f1f&tags="
              "&preset_name=casual&maintenance_mode=true");
    FormEntry cleared;
    cleared.preset = 1;
    expectForm(client, cleared);
    EXPECT_EQ(client.comboEntries(kCoreCombo), std::vector<std::string>{kNoCores});
    EXPECT_TRUE(waitForRequestsTo(kInstancesPath, 2)) << "the project list was not reloaded";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CreatedTest,
    ::testing::Values(
        CreatedCase{"Message", ScriptedReply::json(200, R"({"message":"Row is starting."})"), "Row is starting."},
        CreatedCase{"NoMessage", ScriptedReply::json(200, "{}"), kCreatedFallback},
        CreatedCase{"MessageNotAString", ScriptedReply::json(200, R"({"message":null})"), kCreatedFallback},
        CreatedCase{"EmptyCreated", ScriptedReply::json(201, ""), kCreatedFallback}),
    CaseName());

struct CreateFailureCase {
    const char* name;
    ScriptedReply reply;
    std::string status;
};

class CreateFailureTest : public FlowTest, public ::testing::WithParamInterface<CreateFailureCase> {};

TEST_P(CreateFailureTest, ShowsTheErrorAndKeepsTheForm)
{
    ASSERT_TRUE(startLinked(kTwoCores, R"({"instances":[]})"));
    server.replyOnce("POST", kCreatePath, GetParam().reply);
    FormEntry form;
    form.name = "Taken";
    form.description = "Kept as typed";
    form.emoji = "";
    form.accent = "#00ff00";
    form.tags = "pve";
    form.preset = 2;
    form.core = 1;
    form.publicListing = false;
    form.maintenance = true;
    fillForm(client, form);

    client.click(kCreateButton);
    ASSERT_TRUE(client.waitForStatus(GetParam().status)) << client.text(kStatusLine);
    expectForm(client, form);
    EXPECT_TRUE(client.enabled(kCreateButton));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(requestCount(kInstancesPath), 1u) << "a failed create reloaded the list";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CreateFailureTest,
    ::testing::Values(
        CreateFailureCase{"Rejected", ScriptedReply::json(422, R"({"message":"That RERI name is taken."})"),
                          "That RERI name is taken."},
        CreateFailureCase{"ServerError", ScriptedReply::json(500, R"({"error":"Creating failed upstream."})"),
                          "Creating failed upstream."},
        CreateFailureCase{"NoAnswer", ScriptedReply::closeWithoutAnswer(), kNoAnswer}),
    CaseName());

TEST_F(CreateFormTest, WithoutATokenAsksForALinkFirstAndSendsNothing)
{
    ASSERT_TRUE(startClient());
    for (const char* name : {"Sky Forge", "   "}) {
        SCOPED_TRACE(name);
        client.setText(kNameEdit, name);
        client.command(kCreateButton);
        EXPECT_EQ(client.text(kStatusLine), "Link the desktop client first.");
    }
    expectOnlyALinkCodeRequestFollows();
}

TEST_F(CreateFormTest, BlankNameAsksForANameAndSendsNothing)
{
    ASSERT_TRUE(startLinked(kTwoCores, R"({"instances":[]})"));
    for (const char* name : {"", "   ", " \t \t"}) {
        SCOPED_TRACE(testing::PrintToString(name));
        client.setText(kNameEdit, name);
        client.click(kCreateButton);
        EXPECT_EQ(client.text(kStatusLine), "Enter a RERI name first.");
        EXPECT_TRUE(client.enabled(kCreateButton));
    }
    server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, R"({"instances":[]})"));
    client.click(kRefreshButton);
    ASSERT_TRUE(waitForRequestsTo(kInstancesPath, 2));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(requestCount(kCreatePath), 0u);
}

// The form's rules without a window.
TEST(CreateFieldsTest, BuildsTheFieldsInWireOrderWithTheirDefaults)
{
    struct Case {
        const char* name;
        CreateFormInput input;
        FormFields fields;
    };
    const Case cases[] = {
        {"SixAlwaysSent",
         {.name = "Arena", .presetName = "balanced"},
         {{"display_name", "Arena"},
          {"description", ""},
          {"emoji_badge", kFireEmoji},
          {"accent_color", "#ff8f1f"},
          {"tags", ""},
          {"preset_name", "balanced"}}},
        {"AllNine",
         {.name = "Arena",
          .description = "d",
          .emoji = "x",
          .accent = "#123456",
          .tags = "t",
          .presetName = "casual",
          .coreKey = "core-1",
          .publicListing = true,
          .maintenanceMode = true},
         {{"display_name", "Arena"},
          {"description", "d"},
          {"emoji_badge", "x"},
          {"accent_color", "#123456"},
          {"tags", "t"},
          {"preset_name", "casual"},
          {"core_key", "core-1"},
          {"public_listing", "true"},
          {"maintenance_mode", "true"}}},
        {"MaintenanceWithoutPublicListing",
         {.name = "A", .presetName = "hardcore", .maintenanceMode = true},
         {{"display_name", "A"},
          {"description", ""},
          {"emoji_badge", kFireEmoji},
          {"accent_color", "#ff8f1f"},
          {"tags", ""},
          {"preset_name", "hardcore"},
          {"maintenance_mode", "true"}}},
        {"TrimsOnlyTheEnds",
         {.name = "\t Sky  Forge \r\n",
          .description = " a  b ",
          .emoji = " \v\f",
          .accent = "  red ",
          .tags = "\n pvp, mods ",
          .presetName = "balanced",
          .coreKey = "core-2"},
         {{"display_name", "Sky  Forge"},
          {"description", "a  b"},
          {"emoji_badge", kFireEmoji},
          {"accent_color", "red"},
          {"tags", "pvp, mods"},
          {"preset_name", "balanced"},
          {"core_key", "core-2"}}},
        {"HighBytesAreNotBlanks",
         {.name = "\xC2\xA0", .emoji = "\xC2\xA0", .presetName = "balanced"},
         {{"display_name", "\xC2\xA0"},
          {"description", ""},
          {"emoji_badge", "\xC2\xA0"},
          {"accent_color", "#ff8f1f"},
          {"tags", ""},
          {"preset_name", "balanced"}}},
    };
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(createFields(entry.input), entry.fields);
    }
}

TEST(CreateFieldsTest, PresetAndCoreGoByTheSelectedIndex)
{
    const std::pair<LRESULT, const char*> presets[] = {
        {0, "balanced"}, {1, "casual"}, {2, "hardcore"}, {3, "balanced"}, {CB_ERR, "balanced"}, {-7, "balanced"}};
    for (const auto& [index, name] : presets) {
        SCOPED_TRACE(index);
        EXPECT_EQ(presetNameAt(index), name);
    }

    const std::vector<CoreOption> cores{{"core-a", "Core A"}, {"core-b", "Core B"}};
    const std::pair<LRESULT, const char*> keys[] = {{0, "core-a"}, {1, "core-b"}, {2, ""}, {CB_ERR, ""}, {-2, ""}};
    for (const auto& [index, key] : keys) {
        SCOPED_TRACE(index);
        EXPECT_EQ(coreKeyAt(index, cores), key);
    }
    EXPECT_EQ(coreKeyAt(0, {}), "");
}

}  // namespace
}  // namespace vandreth::test
