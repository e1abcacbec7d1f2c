#include "VandrethWinApp.h"

#include "Origin.h"
#include "StateFile.h"
#include "TextHelpers.h"
#include "WindowText.h"

#include <sstream>

namespace vandreth {

std::string VandrethWinApp::currentOrigin() const
{
    return originEdit != nullptr ? windowText(originEdit) : storedOrigin;
}

std::string VandrethWinApp::serviceOrigin() const
{
    return originEdit != nullptr ? normalizedOrigin(currentOrigin()) : storedOrigin;
}

void VandrethWinApp::loadState()
{
    // Anything unreadable (no folder, no file, no JSON) leaves the defaults in place.
    try {
        const StateFileRead file = readStateFile(statePath());
        stateFileUnread = file.outcome == StateFileRead::Outcome::Unreadable;
        if (file.outcome == StateFileRead::Outcome::Read) {
            std::istringstream in(file.bytes);
            const StoredState stored = readStoredState(in);
            storedOrigin = normalizedOrigin(stored.origin);
            accessToken = trim(stored.accessToken);
            deviceId = trim(stored.deviceId);
        }
    } catch (...) {
    }
    if (deviceId.empty()) {
        deviceId = generateDeviceId();
    }
}

bool VandrethWinApp::saveState() const
{
    // A save that cannot be made keeps the previous file.
    try {
        return replaceFileText(statePath(), stateText(serviceOrigin(), deviceId, accessToken));
    } catch (...) {
        return false;
    }
}

}  // namespace vandreth
