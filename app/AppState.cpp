#include "VandrethWinApp.h"

#include "Origin.h"
#include "StateFile.h"
#include "TextHelpers.h"
#include "WindowText.h"

#include <fstream>

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
        std::ifstream in(statePath(), std::ios::in);
        if (in) {
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

bool VandrethWinApp::saveState() const
{
    // A save that cannot be made keeps the previous file. The file never pairs the token with
    // another service than the one that issued it.
    const std::string origin = accessToken.empty() ? serviceOrigin() : tokenOrigin;
    try {
        return replaceFileText(statePath(), stateText(origin, deviceId, accessToken));
    } catch (...) {
        return false;
    }
}

}  // namespace vandreth
