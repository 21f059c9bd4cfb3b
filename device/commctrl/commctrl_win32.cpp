// The emulated device's property sheet. The desktop library does the work; a sheet gets the
// handheld's look only when it asks to be maximised and its callback answers the version
// query with this library's version ("Property Sheets", Windows Mobile 5 documentation:
// PSH_MAXIMIZE, and COMCTL32_VERSION returned for PSCB_GETVERSION). It then fills the screen
// between the navigation bar and the menu bar (which its pages' SHInitDialog puts up),
// without caption or frame, with the tabs along the bottom and no buttons of its own (its OK
// is on the navigation bar). Any other sheet keeps the old look: caption, tabs on top and its
// own buttons. The desktop library reads the maximise bit as an old-style wizard, so it never
// sees it.
// The profile's faults file can make a page's creation fail; such a failure and every page
// the program destroys itself go to the profile's journal.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "device/aygshell/device_screen.h"
#include "device/cemapi/device_profile.h"
#include "device/device_files_win32.h"
#include "sdk/prsht_device.h"

namespace {

using namespace pelmora::device;

// The version this library answers to: the one the settings program is written for. Public
// pages name the constant (COMCTL32_VERSION) without its value; an older answer, or none,
// keeps the old look.
constexpr int kLibraryVersion = 526;

template <typename F>
F Desktop(const char* name) {
    static HMODULE library = LoadLibraryW(L"comctl32.dll");
    return library != nullptr
               ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)))
               : nullptr;
}

// The program's own callback while its maximised sheet runs (sheets are modal, one at a time
// on the user-interface thread).
PFNPROPSHEETCALLBACK g_programCallback = nullptr;

void LayOutMaximised(HWND sheet) {
    const LONG_PTR framed = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME | WS_BORDER;
    SetWindowLongPtrW(sheet, GWL_STYLE, GetWindowLongPtrW(sheet, GWL_STYLE) & ~framed);
    SetWindowLongPtrW(
        sheet, GWL_EXSTYLE,
        GetWindowLongPtrW(sheet, GWL_EXSTYLE) &
            ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTEXTHELP));
    const ScreenGeometry screen = DeviceScreen();
    const int height = screen.height - screen.navigationBarHeight - screen.menuBarHeight;
    SetWindowPos(sheet, nullptr, 0, screen.navigationBarHeight, screen.width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    const int buttons[] = {IDOK, IDCANCEL, IDHELP, 0x3021 /* Apply */};
    for (int id : buttons) {
        if (HWND button = GetDlgItem(sheet, id)) {
            ShowWindow(button, SW_HIDE);
        }
    }
    if (HWND tabs = FindWindowExW(sheet, nullptr, WC_TABCONTROLW, nullptr)) {
        SetWindowLongPtrW(tabs, GWL_STYLE, GetWindowLongPtrW(tabs, GWL_STYLE) | TCS_BOTTOM);
        SetWindowPos(tabs, nullptr, 0, 0, screen.width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

int CALLBACK MaximisedSheetCallback(HWND sheet, UINT message, LPARAM lParam) {
    const int result = g_programCallback != nullptr ? g_programCallback(sheet, message, lParam) : 0;
    if (message == PSCB_INITIALIZED) {
        LayOutMaximised(sheet);
    }
    return result;
}

void JournalCall(const char* call) {
    std::u16string folder;
    if (ProfileFolder(folder)) {
        JsonObject line;
        line.Utf8("call", call);
        AppendLine(folder + u"\\outbox.jsonl", line.Finish(true));
    }
}

bool PageCreationFails() {
    static uint32_t calls = 0;
    std::u16string folder;
    std::string text;
    return ProfileFolder(folder) && ReadWholeFile(folder + u"\\faults.txt", text) &&
           ParseFaults(text).sheetPage.Hits(calls++);
}

}  // namespace

extern "C" {

HPROPSHEETPAGE WINAPI DeviceCreatePropertySheetPageW(LPCPROPSHEETPAGEW page) {
    auto create = Desktop<HPROPSHEETPAGE(WINAPI*)(LPCPROPSHEETPAGEW)>("CreatePropertySheetPageW");
    if (PageCreationFails()) {
        JournalCall("CreatePropertySheetPageW failed");
        return nullptr;
    }
    return create != nullptr && page != nullptr ? create(page) : nullptr;
}

BOOL WINAPI DeviceDestroyPropertySheetPage(HPROPSHEETPAGE page) {
    auto destroy = Desktop<BOOL(WINAPI*)(HPROPSHEETPAGE)>("DestroyPropertySheetPage");
    JournalCall("DestroyPropertySheetPage");
    return destroy != nullptr ? destroy(page) : FALSE;
}

INT_PTR WINAPI DevicePropertySheetW(LPCPROPSHEETHEADERW header) {
    auto run = Desktop<INT_PTR(WINAPI*)(LPCPROPSHEETHEADERW)>("PropertySheetW");
    if (run == nullptr || header == nullptr || header->dwSize < PROPSHEETHEADERW_V1_SIZE) {
        return -1;
    }
    PROPSHEETHEADERW desktop = {};
    CopyMemory(&desktop, header, header->dwSize < sizeof desktop ? header->dwSize : sizeof desktop);
    desktop.dwSize = header->dwSize < sizeof desktop ? header->dwSize : sizeof desktop;
    desktop.dwFlags &= ~static_cast<DWORD>(PSH_MAXIMIZE);
    const PFNPROPSHEETCALLBACK callback =
        (desktop.dwFlags & PSH_USECALLBACK) != 0 ? desktop.pfnCallback : nullptr;
    // The handheld's library asks the program's version first.
    const int version = callback != nullptr ? callback(nullptr, PSCB_GETVERSION, 0) : 0;
    if ((header->dwFlags & PSH_MAXIMIZE) == 0 || version < kLibraryVersion) {
        return run(&desktop);
    }
    g_programCallback = callback;
    desktop.dwFlags |= PSH_USECALLBACK;
    desktop.pfnCallback = MaximisedSheetCallback;
    const INT_PTR result = run(&desktop);
    g_programCallback = nullptr;
    return result;
}

}  // extern "C"
