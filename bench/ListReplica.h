#pragma once
// A list box placed, styled and filled as the client's project list, in a window of the main
// window's size on the calling thread: the client's refill replayed, and variants of it that only
// the benchmark tries.

#include <windows.h>

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace vandreth::bench {

enum class FillVariant {
    AsTheClient,     // the client's messages: redraw off, reset, one LB_ADDSTRING a line, select, redraw on
    PreallocatedToo, // the same after LB_INITSTORAGE for every line and its bytes
    WideLines,       // the same with the lines converted to UTF-16 here and sent with the wide message
    OwnerData,       // LBS_NODATA | LBS_OWNERDRAWFIXED: the list box keeps a count, the lines stay in the program
};

class ListReplica {
public:
    // `lines` must outlive the replica: an owner-data list draws from it.
    ListReplica(FillVariant variant, const std::vector<std::string>& lines);
    ~ListReplica();
    ListReplica(const ListReplica&) = delete;
    ListReplica& operator=(const ListReplica&) = delete;

    bool ready() const { return list_ != nullptr; }

    // Refills the list from the lines; its time, then the time of painting what is visible.
    std::pair<double, double> refill() const;

    std::size_t count() const;

private:
    void addLines() const;
    static LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void drawLine(const DRAWITEMSTRUCT& item) const;

    FillVariant variant_;
    const std::vector<std::string>& lines_;
    HFONT font_ = nullptr;
    HWND parent_ = nullptr;
    HWND list_ = nullptr;
};

}  // namespace vandreth::bench
