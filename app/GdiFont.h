#pragma once
// Owns one HFONT and deletes it when reset or destroyed.

#include <windows.h>

namespace vandreth {

class GdiFont {
public:
    GdiFont() noexcept = default;
    explicit GdiFont(HFONT font) noexcept : font_(font) {}
    ~GdiFont() { reset(); }
    GdiFont(const GdiFont&) = delete;
    GdiFont& operator=(const GdiFont&) = delete;
    GdiFont& operator=(GdiFont&& other) noexcept
    {
        if (this != &other) {
            reset();
            font_ = other.font_;
            other.font_ = nullptr;
        }
        return *this;
    }

    HFONT get() const noexcept { return font_; }
    void reset() noexcept
    {
        if (font_ != nullptr) {
            DeleteObject(font_);
            font_ = nullptr;
        }
    }

private:
    HFONT font_ = nullptr;
};

}  // namespace vandreth
