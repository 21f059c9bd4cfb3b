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

constexpr int kWide = 1000;  // the button's id

// A window's rectangle on the screen, or in `dialog`'s client area.
std::vector<LONG> Place(HWND window, HWND dialog = nullptr) {
    RECT rc = {};
    GetWindowRect(window, &rc);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    return {rc.left, rc.top, rc.right, rc.bottom};
}

// "SHCreateMenuBar" (Windows CE 5.0): the bar is created at the bottom of the screen for the
// window; "An application must resize its main window to accommodate the size of the menu
// bar": the parent keeps its place, size and style.
TEST(ShCreateMenuBar, CreatesTheBarAndLeavesItsParent) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"parent", WS_POPUP | WS_CAPTION | WS_VISIBLE, 10,
                                  20, 150, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);
    const std::vector<LONG> place = Place(parent);
    const LONG_PTR style = GetWindowLongPtrW(parent, GWL_STYLE);
    SHMENUBARINFO info = {};
    info.cbSize = sizeof info;
    info.hwndParent = parent;
    info.dwFlags = SHCMBF_EMPTYBAR;
    ASSERT_TRUE(SHCreateMenuBar(&info));
    const device::ScreenGeometry screen = device::DeviceScreen();
    EXPECT_EQ(Place(info.hwndMB), std::vector<LONG>({0, screen.height - screen.menuBarHeight,
                                                     screen.width, screen.height}));
    EXPECT_EQ(Place(parent), place);
    EXPECT_EQ(GetWindowLongPtrW(parent, GWL_STYLE), style);
    DestroyWindow(parent);
}

// ---- The property sheet. ----

struct SheetSeen {
    std::vector<LONG> sheet, buttonBefore, buttonAfter;
};
SheetSeen g_seen;
int g_versionAnswer = 0;
HWND g_sheet = nullptr;

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        g_seen.buttonBefore = Place(GetDlgItem(page, kWide), page);
        // As a handheld page does: Done button, full screen, input panel down, empty bar.
        SHINITDLGINFO init = {
            SHIDIM_FLAGS, page,
            SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU};
        SHInitDialog(&init);
        g_seen.buttonAfter = Place(GetDlgItem(page, kWide), page);
        return TRUE;
    }
    return FALSE;
}

void CALLBACK LookAndCancel(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    g_seen.sheet = Place(g_sheet);
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
        {"maximised, an older version", PSH_MAXIMIZE, 0x0100, false},
        {"the library's version, not maximised", 0, 526, false},
    };
    // A page with one button from x 120 to 250 dialog units, past the screen's right edge.
    Bytes bytes = Header(1);
    bytes.Item(WS_CHILD | WS_VISIBLE, {120, 7, 130, 14, kWide}).Word(0xFFFF).Word(0x80);
    bytes.Text(u"x").Word(0);
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
        const device::ScreenGeometry screen = device::DeviceScreen();
        const std::vector<LONG> betweenTheBars = {0, screen.navigationBarHeight, screen.width,
                                                  screen.height - screen.menuBarHeight};
        EXPECT_EQ(g_seen.sheet == betweenTheBars, row.handheld) << row.what;
        EXPECT_EQ(g_seen.buttonAfter, g_seen.buttonBefore) << row.what;
    }
}

}  // namespace
}  // namespace pelmora
