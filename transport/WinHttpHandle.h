#pragma once
// Owns one HINTERNET and closes it when it goes out of scope.

#include <windows.h>
#include <winhttp.h>

namespace vandreth {

class WinHttpHandle {
public:
    explicit WinHttpHandle(HINTERNET handle) noexcept : handle_(handle) {}
    ~WinHttpHandle()
    {
        if (handle_ != nullptr) {
            WinHttpCloseHandle(handle_);
        }
    }
    WinHttpHandle(const WinHttpHandle&) = delete;
    WinHttpHandle& operator=(const WinHttpHandle&) = delete;

    HINTERNET get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

}  // namespace vandreth
