// The emulated device's shell helpers and property sheet, held to what the handheld's
// documentation says they do (each row names its page), the way Wine's conformance tests
// are written: the assertion states the platform's behaviour.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "device/aygshell/device_screen.h"
#include "sdk/aygshell.h"
#include "sdk/prsht_device.h"
#include "tests/dialog_layout/template_bytes.h"

namespace pelmora {
namespace {

constexpr int kWide = 1000;  // a button that runs past the screen's right edge

// A dialog template with a caption and one button from x 120 to 250 dialog units.
Bytes DialogWithWideButton(uint32_t style) {
    Bytes b;
    b.Dword(style | DS_SETFONT).Dword(0).Words({1, 0, 0, 160, 123, 0, 0});
    b.Text(u"Test").Word(8).Text(u"ＭＳ Ｐゴシック");
    b.Item(WS_CHILD | WS_VISIBLE, {120, 7, 130, 14, kWide}).Word(0xFFFF).Word(0x80).Text(u"x");
    b.Word(0);
    return b;
}

RECT WindowRect(HWND window) {
    RECT rc = {};
    GetWindowRect(window, &rc);
    return rc;
}

// The control's place in its dialog's client area.
RECT PlaceIn(HWND dialog, int id) {
    RECT rc = WindowRect(GetDlgItem(dialog, id));
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

std::string Show(const RECT& rc) {
    return std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) +
           "," + std::to_string(rc.bottom);
}

RECT BetweenTheBars() {
    const device::ScreenGeometry screen = device::DeviceScreen();
    return {0, screen.navigationBarHeight, screen.width, screen.height - screen.menuBarHeight};
}

// "SHCreateMenuBar" (Windows CE 5.0): the bar is created at the bottom of the screen for the
// window; "An application must resize its main window to accommodate the size of the menu
// bar": the parent keeps its place, size and style.
TEST(ShCreateMenuBar, CreatesTheBarAndLeavesItsParent) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP | WS_CAPTION | WS_VISIBLE, 10,
                                  20, 150, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    const RECT before = WindowRect(parent);
    const LONG_PTR style = GetWindowLongPtrW(parent, GWL_STYLE);
    SHMENUBARINFO info = {};
    info.cbSize = sizeof info;
    info.hwndParent = parent;
    info.dwFlags = SHCMBF_EMPTYBAR;
    ASSERT_TRUE(SHCreateMenuBar(&info));
    ASSERT_NE(info.hwndMB, nullptr);
    const device::ScreenGeometry screen = device::DeviceScreen();
    const RECT bar = WindowRect(info.hwndMB);
    const RECT bottom = {0, screen.height - screen.menuBarHeight, screen.width, screen.height};
    EXPECT_TRUE(EqualRect(&bar, &bottom)) << Show(bar);
    const RECT after = WindowRect(parent);
    EXPECT_TRUE(EqualRect(&after, &before)) << Show(after);
    EXPECT_EQ(GetWindowLongPtrW(parent, GWL_STYLE), style);
    DestroyWindow(parent);
}

// ---- The property sheet. ----

struct SheetSeen {
    bool caption = false;
    RECT sheet = {};
    RECT buttonBefore = {};
    RECT buttonAfter = {};
};
SheetSeen g_seen;
int g_versionAnswer = 0;
HWND g_sheet = nullptr;

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        g_seen.buttonBefore = PlaceIn(page, kWide);
        // As a handheld page does: Done button, full screen, input panel down, empty bar.
        SHINITDLGINFO init = {
            SHIDIM_FLAGS, page,
            SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU};
        SHInitDialog(&init);
        g_seen.buttonAfter = PlaceIn(page, kWide);
        return TRUE;
    }
    return FALSE;
}

void CALLBACK LookAndCancel(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    g_seen.caption = (GetWindowLongPtrW(g_sheet, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
    g_seen.sheet = WindowRect(g_sheet);
    PostMessageW(g_sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_GETVERSION) {
        return g_versionAnswer;
    }
    if (message == PSCB_INITIALIZED) {
        g_sheet = sheet;
        SetTimer(nullptr, 0, 200, LookAndCancel);
    }
    return 0;
}

// "Property Sheets" (Windows Mobile 5.0): a sheet has the handheld's style (full screen,
// no caption) only with PSH_MAXIMIZE and a callback that answers PSCB_GETVERSION with the
// library's version (COMCTL32_VERSION); "PropSheetProc" (Windows CE 5.0): the answer is the
// version the program asks for. "SHInitDialog", "SHINITDLGINFO" (Windows CE 5.0): a full-screen
// page is sized to the screen; nothing is said of its controls, which stay where the dialog
// manager put them.
TEST(PropertySheet, TakesTheHandheldStyleOnlyWhenTheVersionAnswerAsksForIt) {
    const struct {
        const char* what;
        DWORD flags;
        int answer;
        bool handheld;
    } rows[] = {
        {"maximised, the library's version", PSH_MAXIMIZE, 526, true},
        {"maximised, no version", PSH_MAXIMIZE, 0, false},
        {"maximised, an older version", PSH_MAXIMIZE, 0x0100, false},
        {"the library's version, not maximised", 0, 526, false},
    };
    const Bytes bytes = DialogWithWideButton(WS_CHILD | WS_CAPTION | WS_SYSMENU);
    for (const auto& row : rows) {
        g_seen = SheetSeen();
        g_versionAnswer = row.answer;
        PROPSHEETPAGEW page = {};
        page.dwSize = PROPSHEETPAGEW_V1_SIZE;
        page.dwFlags = PSP_DLGINDIRECT;
        page.hInstance = GetModuleHandleW(nullptr);
        page.pResource = reinterpret_cast<LPCDLGTEMPLATEW>(bytes.Get().data());
        page.pfnDlgProc = PageProc;
        HPROPSHEETPAGE handle = CreatePropertySheetPageW(&page);
        ASSERT_NE(handle, nullptr) << row.what;
        PROPSHEETHEADERW header = {};
        header.dwSize = PROPSHEETHEADERW_V1_SIZE;
        header.dwFlags = PSH_NOAPPLYNOW | PSH_USECALLBACK | row.flags;
        header.hInstance = GetModuleHandleW(nullptr);
        header.pszCaption = L"sheet";
        header.nPages = 1;
        header.phpage = &handle;
        header.pfnCallback = SheetCallback;
        PropertySheetW(&header);
        EXPECT_EQ(g_seen.caption, !row.handheld) << row.what;
        const RECT screen = BetweenTheBars();
        EXPECT_EQ(EqualRect(&g_seen.sheet, &screen) != FALSE, row.handheld)
            << row.what << ": " << Show(g_seen.sheet);
        EXPECT_TRUE(EqualRect(&g_seen.buttonBefore, &g_seen.buttonAfter))
            << row.what << ": " << Show(g_seen.buttonAfter);
    }
}

}  // namespace
}  // namespace pelmora
