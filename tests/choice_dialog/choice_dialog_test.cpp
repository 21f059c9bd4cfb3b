// The choice dialog on the emulated device: each case shows the dialog over a list of
// names, plays the user's input into its modal loop and checks how it ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "device/aygshell/device_screen.h"
#include "dialog_driver.h"
#include "reply/choice_dialog_win32.h"

namespace pelmora {
namespace {

using Step = testing_support::DialogDriver::Step;

HINSTANCE Self() {
    return GetModuleHandleW(nullptr);
}

HWND List(HWND dialog) {
    return GetDlgItem(dialog, IDC_CHOICE_LIST);
}

// What the user does, and looks at the dialog between inputs.
Step DoubleClick(int line) {
    return [=](HWND dialog) { testing_support::PostDoubleClick(List(dialog), line); };
}
Step Click(int line) {
    return [=](HWND dialog) { testing_support::PostClick(List(dialog), line); };
}
Step Shows(int line, const char16_t* text) {
    return [=](HWND dialog) { EXPECT_EQ(testing_support::ListLine(List(dialog), line), text); };
}
// Posted, so that the dialog's own message loop sees the key press.
const Step kEnter = [](HWND dialog) {
    SetFocus(List(dialog));
    testing_support::PostKeyPress(List(dialog), VK_RETURN, L'\r');
};
const Step kDone = [](HWND dialog) {
    HWND done = testing_support::FindDoneButton(dialog);
    EXPECT_NE(done, nullptr);
    SendMessageW(done != nullptr ? done : dialog, done != nullptr ? BM_CLICK : WM_CLOSE, 0, 0);
};
const Step kClose = [](HWND dialog) { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
const Step kStillOpen = [](HWND dialog) { EXPECT_TRUE(IsWindowVisible(dialog)); };
// Full screen between the navigation bar and the menu bar, the list over the whole client
// area.
const Step kFillsScreen = [](HWND dialog) {
    RECT window = {}, client = {}, list = {};
    GetWindowRect(dialog, &window);
    GetClientRect(dialog, &client);
    GetWindowRect(List(dialog), &list);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&list), 2);
    const RECT expected = {0, device::kNavigationBarHeight, device::kScreenWidth,
                           device::kScreenHeight - device::kMenuBarHeight};
    EXPECT_TRUE(EqualRect(&window, &expected));
    EXPECT_TRUE(EqualRect(&list, &client));
};

TEST(ChoiceDialog, EndsAsTheUserAnswers) {
    const std::vector<DualString> abc = {u"a", u"b", u"c"};
    const struct {
        std::vector<DualString> names;
        int32_t initialSelection;
        std::vector<Step> steps;
        INT_PTR endValue;
        int32_t selection;
    } cases[] = {
        {abc, -1, {kFillsScreen, DoubleClick(2)}, 1, 2},          // the third line
        {abc, -1, {kDone}, 2, -1},                                // Done, nothing selected
        {abc, -1, {kEnter, kStillOpen, Click(0), kEnter}, 1, 0},  // Enter, nothing selected
        // An empty list, its start position outside it: nothing to confirm, closed.
        {{}, 0, {kEnter, kStillOpen, kClose}, 16, -1},
        {abc, 1, {kDone}, 1, 1},  // the initial selection
        // "ActiveSync" shown by its label; names alike told apart by position.
        {{u"Mail", u"ActiveSync", u"activesync", u"Mail"},
         -1,
         {Shows(1, u"Outlookメール"), Shows(2, u"activesync"), DoubleClick(3)},
         1,
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        ResetChoiceDialog();
        testing_support::DialogDriver driver(c.steps);
        EXPECT_EQ(ChooseFromList(Self(), IDD_CHOICE_DIALOG, IDC_CHOICE_LIST, c.names,
                                 c.initialSelection, nullptr),
                  c.endValue);
        EXPECT_EQ(ChoiceDialogSelection(), c.selection);
        EXPECT_EQ(driver.StepsRun(), c.steps.size());
        EXPECT_FALSE(IsWindow(driver.Dialog()));
        ClearChoiceDialog();
    }
}

}  // namespace
}  // namespace pelmora
