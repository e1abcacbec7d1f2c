#pragma once
// The create form's fields, as the create request sends them.

#include "AppTypes.h"
#include "HttpClient.h"

#include <string>
#include <vector>

namespace vandreth {

// U+1F525, the badge a RERI gets when the emoji box is left empty.
inline constexpr const char* kDefaultEmoji = "\xF0\x9F\x94\xA5";
inline constexpr const char* kDefaultAccent = "#ff8f1f";

// The form's contents as read from its controls, untrimmed.
struct CreateFormInput {
    std::string name;
    std::string description;
    std::string emoji;
    std::string accent;
    std::string tags;
    std::string presetName;
    std::string coreKey;
    bool publicListing = false;
    bool maintenanceMode = false;
};

// The create request's fields in their wire order: six always, then "core_key" when a core is
// chosen and each check box's field when it is checked.
FormFields createFields(const CreateFormInput& input);

// "casual" for 1, "hardcore" for 2, "balanced" for anything else (no selection included).
std::string presetNameAt(LRESULT index);

// The key of core `index`, or empty text for no selection or an index outside `cores`.
std::string coreKeyAt(LRESULT index, const std::vector<CoreOption>& cores);

}  // namespace vandreth
