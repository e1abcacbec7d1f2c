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

bool VandrethWinApp::boxNamesTheTokensOrigin()
{
    if (sameServiceOrigin(serviceOrigin(), tokenOrigin)) {
        return true;
    }
    setStatus("This PC is linked to " + tokenOrigin + ". Unlink it first to use another Vandreth address.");
    return false;
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
            if (!accessToken.empty()) {
                tokenOrigin = storedOrigin;
            }
        }
    } catch (...) {
    }
    if (deviceId.empty()) {
        deviceId = generateDeviceId();
    }
}

bool VandrethWinApp::saveState()
{
    // A save that cannot be made keeps the previous file. The file never pairs the token with
    // another service than the one that issued it.
    const std::string origin = accessToken.empty() ? serviceOrigin() : tokenOrigin;
    try {
        const bool saved = replaceFileText(statePath(), stateText(origin, deviceId, accessToken));
        // From now on the file holds this run's state, which the save at exit may bring up to date.
        stateFileUnread = stateFileUnread && !saved;
        return saved;
    } catch (...) {
        return false;
    }
}

}  // namespace vandreth
