// The emulated Inbox's interactive window as the handheld shows it: the whole 240 x 320
// screen without a desktop caption or frame, a tap and hold on a message opens the context
// menu, and "ok" on the navigation bar ends the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <future>

#include "device/aygshell/device_screen.h"
#include "platform/wide.h"
#include "tests/device/device_profile_fixture.h"

namespace pelmora::testing_support {
namespace {

// A visible window of `cls` within a few seconds; null if none. The windowed tests hold the
// display one at a time, so it is the program's.
HWND WaitForWindow(const wchar_t* cls) {
    for (int i = 0; i < 100; ++i) {
        for (HWND w = FindWindowExW(nullptr, nullptr, cls, nullptr); w != nullptr;
             w = FindWindowExW(nullptr, w, cls, nullptr)) {
            if (IsWindowVisible(w)) {
                return w;
            }
        }
        Sleep(50);
    }
    return nullptr;
}

TEST(InboxScreen, FillsTheScreenOpensTheMenuOnHoldAndEndsWithOk) {
    TestDeviceProfile profile("mail|携帯メール");
    profile.AddMessage("mail", "m1", "Subject: a\r\n\r\nbody\r\n", "subject=件名\r\n");
    // Ended by its own "ok" below, or after a bounded wait that fails the test.
    auto program = std::async(std::launch::async, RunProcess,
                              u"\"" + std::u16string(U(PELMORA_INBOX_EXE)) + u"\" --interactive");

    HWND screen = WaitForWindow(L"PelmoraDeviceScreen");
    ASSERT_NE(screen, nullptr);
    RECT rc = {};
    GetWindowRect(screen, &rc);
    const RECT expected = {0, 0, device::kScreenWidth, device::kScreenHeight};
    EXPECT_TRUE(EqualRect(&rc, &expected));
    EXPECT_EQ(GetWindowLongPtrW(screen, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), 0);

    HWND list = FindWindowExW(screen, nullptr, L"ListBox", nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 1);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 10));
    EXPECT_NE(WaitForWindow(L"#32768"), nullptr);  // the menu
    PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(40, 10));
    PostMessageW(screen, WM_CANCELMODE, 0, 0);

    // "ok" on the navigation bar, at its right end.
    PostMessageW(screen, WM_LBUTTONUP, 0, MAKELPARAM(device::kScreenWidth - 15, 13));
    EXPECT_EQ(program.get().exitCode, 0u);
}

}  // namespace
}  // namespace pelmora::testing_support
