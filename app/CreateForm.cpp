#include "CreateForm.h"

#include "TextHelpers.h"
#include "VandrethWinApp.h"
#include "WindowText.h"

namespace vandreth {

namespace {

std::string trimmedOr(const std::string& text, const char* fallback)
{
    std::string trimmed = trim(text);
    return trimmed.empty() ? std::string(fallback) : trimmed;
}

bool isChecked(HWND checkBox)
{
    return SendMessageA(checkBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

FormFields createFields(const CreateFormInput& input)
{
    FormFields fields{
        {"display_name", trim(input.name)},
        {"description", trim(input.description)},
        {"emoji_badge", trimmedOr(input.emoji, kDefaultEmoji)},
        {"accent_color", trimmedOr(input.accent, kDefaultAccent)},
        {"tags", trim(input.tags)},
        {"preset_name", input.presetName},
    };
    if (!input.coreKey.empty()) {
        fields.emplace_back("core_key", input.coreKey);
    }
    if (input.publicListing) {
        fields.emplace_back("public_listing", "true");
    }
    if (input.maintenanceMode) {
        fields.emplace_back("maintenance_mode", "true");
    }
    return fields;
}

std::string presetNameAt(LRESULT index)
{
    switch (index) {
    case 1:
        return "casual";
    case 2:
        return "hardcore";
    default:
        return "balanced";
    }
}

std::string coreKeyAt(LRESULT index, const std::vector<CoreOption>& cores)
{
    if (index < 0 || static_cast<std::size_t>(index) >= cores.size()) {
        return {};
    }
    return cores[static_cast<std::size_t>(index)].key;
}

void VandrethWinApp::submitCreate()
{
    if (accessToken.empty()) {
        setStatus("Link the desktop client first.");
        return;
    }
    if (!boxNamesTheTokensOrigin()) {
        return;
    }
    CreateFormInput input;
    input.name = windowText(nameEdit);
    if (trim(input.name).empty()) {
        setStatus("Enter a RERI name first.");
        return;
    }
    input.description = windowText(descriptionEdit);
    input.emoji = windowText(emojiEdit);
    input.accent = windowText(accentEdit);
    input.tags = windowText(tagsEdit);
    input.presetName = selectedPresetName();
    input.coreKey = selectedCoreKey();
    input.publicListing = isChecked(publicListingCheck);
    input.maintenanceMode = isChecked(maintenanceCheck);

    setStatus("Creating your RERI from the Vandreth desktop client...");
    enqueueTask(TaskKind::CreateInstance, createFields(input));
}

std::string VandrethWinApp::selectedCoreKey() const
{
    return coreKeyAt(SendMessageA(coreCombo, CB_GETCURSEL, 0, 0), cores);
}

std::string VandrethWinApp::selectedPresetName() const
{
    return presetNameAt(SendMessageA(presetCombo, CB_GETCURSEL, 0, 0));
}

}  // namespace vandreth
