#include "device/inbox/device_window_win32.h"

#include <commctrl.h>

#include "device/aygshell/device_screen.h"
#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora::device {

namespace {

const wchar_t kClass[] = L"PelmoraDeviceScreen";
constexpr COLORREF kBarColour = RGB(0, 40, 120);
constexpr COLORREF kBarText = RGB(255, 255, 255);
constexpr COLORREF kHeaderColour = RGB(222, 226, 234);
constexpr COLORREF kSoftKeyColour = RGB(40, 40, 40);
constexpr int kDoneWidth = 30;
constexpr int kHeaderLine = 16;
// A press held this long without moving is a tap and hold.
constexpr UINT kHoldMs = 600;
constexpr int kHoldSlop = 6;
constexpr UINT_PTR kHoldTimer = 0x5048;
constexpr int kFinger = 10;

bool RegisterScreenClass(WNDPROC proc) {
    static bool registered = false;
    if (registered) {
        return true;
    }
    WNDCLASSW cls = {};
    cls.lpfnWndProc = proc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    cls.lpszClassName = kClass;
    registered = RegisterClassW(&cls) != 0;
    return registered;
}

void FillColour(HDC dc, const RECT& rc, COLORREF colour) {
    GdiObject brush(CreateSolidBrush(colour));
    FillRect(dc, &rc, static_cast<HBRUSH>(brush.Get()));
}

void DrawLabel(HDC dc, const std::u16string& text, RECT rc, COLORREF colour, UINT format) {
    SetTextColor(dc, colour);
    DrawTextW(dc, W(text.c_str()), static_cast<int>(text.size()), &rc,
              format | DT_NOPREFIX | DT_END_ELLIPSIS);
}

RECT DoneBox() {
    return {kScreenWidth - kDoneWidth - 3, 3, kScreenWidth - 3, kNavigationBarHeight - 3};
}

}  // namespace

HFONT DeviceWindow::Font() {
    // The handheld's UI font (the prefix maps it onto an installed Japanese font); never freed.
    static HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                    OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                    DEFAULT_PITCH, L"ＭＳ Ｐゴシック");
    return font;
}

UINT DeviceWindow::MenuPlacement(POINT at, POINT& where) {
    where.x = kScreenWidth / 2;
    if (at.x < 0 && at.y < 0) {
        where.y = kScreenHeight / 2;
        return TPM_CENTERALIGN | TPM_VCENTERALIGN;
    }
    // Below the finger in the screen's upper half, above it in the lower half.
    if (at.y < kScreenHeight / 2) {
        where.y = at.y + kFinger;
        return TPM_CENTERALIGN | TPM_TOPALIGN;
    }
    where.y = at.y - kFinger;
    return TPM_CENTERALIGN | TPM_BOTTOMALIGN;
}

bool DeviceWindow::Create(const std::u16string& title, const std::u16string& leftKey,
                          const std::u16string& rightKey, HWND owner) {
    title_ = title;
    keys_[0] = leftKey;
    keys_[1] = rightKey;
    if (!RegisterScreenClass(&DeviceWindow::Proc)) {
        return false;
    }
    window_ =
        CreateWindowExW(0, kClass, W(title.c_str()), WS_POPUP | WS_CLIPCHILDREN, 0, 0, kScreenWidth,
                        kScreenHeight, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) {
        return false;
    }
    // Until now the window's messages went to the default procedure.
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

RECT DeviceWindow::ContentArea() const {
    return {0, kNavigationBarHeight + headerLines_ * kHeaderLine + (headerLines_ > 0 ? 4 : 0),
            kScreenWidth, kScreenHeight - kMenuBarHeight};
}

void DeviceWindow::SetContent(HWND content) {
    content_ = content;
    SendMessageW(content, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    SetWindowSubclass(content, &DeviceWindow::HoldProc, 1, reinterpret_cast<DWORD_PTR>(this));
    LayoutContent();
}

void DeviceWindow::SetHeader(const std::u16string& left, const std::u16string& right, int lines) {
    header_[0] = left;
    header_[1] = right;
    headerLines_ = lines;
    LayoutContent();
    InvalidateRect(window_, nullptr, TRUE);
}

void DeviceWindow::LayoutContent() {
    if (content_ != nullptr) {
        const RECT rc = ContentArea();
        MoveWindow(content_, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, TRUE);
    }
}

void DeviceWindow::Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window_, &ps);
    if (dc == nullptr) {
        return;
    }
    HGDIOBJ oldFont = SelectObject(dc, Font());
    SetBkMode(dc, TRANSPARENT);
    // Navigation bar: the title, and "ok" in its own box, drawn as text, not as a glyph.
    FillColour(dc, {0, 0, kScreenWidth, kNavigationBarHeight}, kBarColour);
    DrawLabel(dc, title_, {6, 0, kScreenWidth - kDoneWidth - 8, kNavigationBarHeight}, kBarText,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    RECT done = DoneBox();
    FrameRect(dc, &done, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawLabel(dc, u"ok", done, kBarText, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    // Header strip.
    if (headerLines_ > 0) {
        RECT header = {0, kNavigationBarHeight, kScreenWidth, ContentArea().top};
        FillColour(dc, header, kHeaderColour);
        header.left += 4;
        header.right -= 4;
        header.top += 2;
        DrawLabel(dc, header_[0], header, RGB(0, 0, 0), DT_LEFT | DT_WORDBREAK);
        DrawLabel(dc, header_[1], header, RGB(60, 60, 60), DT_RIGHT | DT_SINGLELINE);
    }
    // Soft-key bar: the two keys' labels, left and right.
    const RECT bar = {0, kScreenHeight - kMenuBarHeight, kScreenWidth, kScreenHeight};
    FillColour(dc, bar, GetSysColor(COLOR_BTNFACE));
    FillColour(dc, {0, bar.top, kScreenWidth, bar.top + 1}, RGB(128, 128, 128));
    FillColour(dc, {kScreenWidth / 2, bar.top + 5, kScreenWidth / 2 + 1, bar.bottom - 5},
               RGB(128, 128, 128));
    DrawLabel(dc, keys_[0], {0, bar.top, kScreenWidth / 2, bar.bottom}, kSoftKeyColour,
              DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    DrawLabel(dc, keys_[1], {kScreenWidth / 2, bar.top, kScreenWidth, bar.bottom}, kSoftKeyColour,
              DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    SelectObject(dc, oldFont);
    EndPaint(window_, &ps);
}

LRESULT DeviceWindow::OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
    handled = false;
    return 0;
}

LRESULT CALLBACK DeviceWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DeviceWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    bool handled = false;
    const LRESULT result = self->OnMessage(message, wParam, lParam, handled);
    if (handled) {
        return result;
    }
    switch (message) {
        case WM_PAINT:
            self->Paint();
            return 0;
        case WM_LBUTTONUP: {
            const POINT at = {static_cast<short>(LOWORD(lParam)),
                              static_cast<short>(HIWORD(lParam))};
            const RECT done = DoneBox();
            if (PtInRect(&done, at)) {
                self->OnDone();
            } else if (at.y >= kScreenHeight - kMenuBarHeight && at.x < kScreenWidth / 2) {
                self->OnLeftSoftKey();
            } else if (at.y >= kScreenHeight - kMenuBarHeight) {
                self->OnContextMenu({kScreenWidth - 1, kScreenHeight - kMenuBarHeight});
            }
            return 0;
        }
        case WM_CONTEXTMENU:
            self->OnContextMenu(
                {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            return 0;
        case WM_DESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            if (self->content_ != nullptr) {
                RemoveWindowSubclass(self->content_, &DeviceWindow::HoldProc, 1);
            }
            self->window_ = nullptr;
            self->content_ = nullptr;
            self->OnDestroy();
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Watches the content for a press held in place; the content keeps its own handling of the
// press (a list selects the line under the finger first, as on the handheld).
LRESULT CALLBACK DeviceWindow::HoldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<DeviceWindow*>(data);
    switch (message) {
        case WM_LBUTTONDOWN:
            self->pressed_ = {static_cast<short>(LOWORD(lParam)),
                              static_cast<short>(HIWORD(lParam))};
            SetTimer(window, kHoldTimer, kHoldMs, nullptr);
            break;
        case WM_MOUSEMOVE:
            if (abs(static_cast<short>(LOWORD(lParam)) - self->pressed_.x) > kHoldSlop ||
                abs(static_cast<short>(HIWORD(lParam)) - self->pressed_.y) > kHoldSlop) {
                KillTimer(window, kHoldTimer);
            }
            break;
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
            KillTimer(window, kHoldTimer);
            break;
        case WM_TIMER:
            if (wParam == kHoldTimer) {
                KillTimer(window, kHoldTimer);
                ReleaseCapture();
                POINT at = self->pressed_;
                ClientToScreen(window, &at);
                self->OnContextMenu(at);
                return 0;
            }
            break;
        default:
            break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace pelmora::device
