#include "ListReplica.h"

#include "ClientLook.h"
#include "Clock.h"
#include "TextHelpers.h"

namespace vandreth::bench {

namespace {

constexpr const char* kReplicaClass = "VandrethBenchListParent";
constexpr const ControlRow& kProjectListRow = clientControl(kProjectList);

}  // namespace

ListReplica::ListReplica(FillVariant variant, const std::vector<std::string>& lines) : variant_(variant), lines_(lines)
{
    static const bool registered = [] {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = parentProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
        windowClass.lpszClassName = kReplicaClass;
        return RegisterClassExA(&windowClass) != 0;
    }();
    font_ = createClientFont();
    parent_ = registered ? CreateWindowExA(0, kReplicaClass, "List replica", WS_OVERLAPPED | WS_CAPTION, CW_USEDEFAULT,
                                           CW_USEDEFAULT, kClientWidth, kClientHeight, nullptr, nullptr,
                                           GetModuleHandleW(nullptr), this)
                         : nullptr;
    const ControlRow& row = kProjectListRow;
    const DWORD ownerData = variant == FillVariant::OwnerData ? LBS_NODATA | LBS_OWNERDRAWFIXED : 0;
    list_ = CreateWindowExA(row.exStyle, row.className, row.text, row.style | ownerData, row.x, row.y, row.width,
                            row.height, parent_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                            GetModuleHandleW(nullptr), nullptr);
    SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
    ShowWindow(parent_, SW_SHOWNOACTIVATE);
    UpdateWindow(parent_);
}

ListReplica::~ListReplica()
{
    DestroyWindow(parent_);
    DeleteObject(font_);
}

std::pair<double, double> ListReplica::refill() const
{
    const double start = nowMs();
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    switch (variant_) {
    case FillVariant::AsTheClient:
        addLines();
        break;
    case FillVariant::PreallocatedToo: {
        std::size_t bytes = 0;
        for (const std::string& line : lines_) {
            bytes += line.size() + 1;
        }
        SendMessageA(list_, LB_INITSTORAGE, lines_.size(), static_cast<LPARAM>(bytes));
        addLines();
        break;
    }
    case FillVariant::WideLines:
        for (const std::string& line : lines_) {
            const std::wstring wide = widen(line);
            SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
        }
        break;
    case FillVariant::OwnerData:
        SendMessageA(list_, LB_SETCOUNT, lines_.size(), 0);
        break;
    }
    if (!lines_.empty()) {
        SendMessageA(list_, LB_SETCURSEL, 0, 0);
    }
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    const double filled = nowMs();
    UpdateWindow(list_);
    return {filled - start, nowMs() - filled};
}

std::size_t ListReplica::count() const
{
    return static_cast<std::size_t>(SendMessageA(list_, LB_GETCOUNT, 0, 0));
}

void ListReplica::addLines() const
{
    for (const std::string& line : lines_) {
        SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
}

LRESULT CALLBACK ListReplica::parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    const auto* replica = reinterpret_cast<const ListReplica*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_DRAWITEM && replica != nullptr) {
        replica->drawLine(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    if (message == WM_MEASUREITEM) {
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 24;
        return TRUE;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void ListReplica::drawLine(const DRAWITEMSTRUCT& item) const
{
    if (item.itemID >= lines_.size()) {
        return;
    }
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT area = item.rcItem;
    const std::string& line = lines_[item.itemID];
    DrawTextA(item.hDC, line.c_str(), static_cast<int>(line.size()), &area, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

}  // namespace vandreth::bench
