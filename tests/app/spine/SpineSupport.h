#pragma once
// Small helpers shared by the spine tests.

#include <windows.h>

#include <cstdint>
#include <string>

namespace vandreth::test {

// A linked client's state file, on one line, pointing at `origin` (the loopback server's: a
// linked client checks its token there at once), with kToken and kDeviceId.
std::string linkedStateFile(const std::string& origin);

// An unlinked client's state file, on one line: kDeviceId and `origin`.
std::string unlinkedStateFile(const std::string& origin);

// The "device_id" value of a state file as the client writes it; empty when there is none.
std::string savedDeviceId(const std::string& stateBytes);

// True for an id the client made itself between the two clock readings (milliseconds since
// 1970, UTC): "vdwin-" and the time of making in lower-case hexadecimal.
bool isDeviceIdMadeBetween(const std::string& id, std::uint64_t earliestMs, std::uint64_t latestMs);

// The system clock in milliseconds since 1970 (UTC), read by the test itself.
std::uint64_t systemMs();

// Makes a control of the client answer WM_GETTEXTLENGTH and WM_GETTEXT from `bytes` (handed
// out unconverted), with the length reported `extraLength` bytes too long, until destroyed.
// Stands for the controls and code pages whose text the 8-bit window functions report
// imprecisely.
class TextOverride {
public:
    TextOverride(HWND control, std::string bytes, int extraLength = 0);
    ~TextOverride();
    TextOverride(const TextOverride&) = delete;
    TextOverride& operator=(const TextOverride&) = delete;

private:
    static LRESULT CALLBACK procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

    HWND control_;
    std::string bytes_;
    int extraLength_;
    WNDPROC previous_;
};

}  // namespace vandreth::test
