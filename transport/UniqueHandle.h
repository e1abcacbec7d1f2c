#pragma once
// One owner for a handle of any kind, in the manner of WIL's unique_any: move-only, and it
// closes what it holds with `Close` when reset or destroyed. A null handle is no handle.

#include <utility>

namespace vandreth {

template <typename Handle, auto Close>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    // Closes the handle held, if any, and holds `handle` instead.
    void reset(Handle handle = nullptr) noexcept
    {
        const Handle old = std::exchange(handle_, handle);
        if (old != nullptr) {
            Close(old);
        }
    }

    // Gives the handle up without closing it.
    Handle release() noexcept { return std::exchange(handle_, nullptr); }

private:
    Handle handle_ = nullptr;
};

}  // namespace vandreth
