// The choice dialog on the emulated device: each case shows the dialog over a list of
// names, plays the user's input into its modal loop and checks how it ends.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/aygshell/device_screen.h"
#include "dialog_driver.h"
#include "reply/choice_dialog_win32.h"

namespace pelmora {
namespace {

using testing_support::DialogDriver;

HINSTANCE Self() {
    return GetModuleHandleW(nullptr);
}

HWND List(HWND dialog) {
    return GetDlgItem(dialog, IDC_CHOICE_LIST);
}

// One thing the user does, or one look at the dialog between inputs.
struct Action {
    enum Kind { kDoubleClick, kClick, kEnter, kDone, kClose, kExpectOpen, kExpectLine } kind;
    int line = 0;
    const char16_t* text = nullptr;
};

Action DoubleClick(int line) {
    return {Action::kDoubleClick, line};
}
Action Click(int line) {
    return {Action::kClick, line};
}
Action Enter() {
    return {Action::kEnter};
}
Action Done() {
    return {Action::kDone};
}
Action Close() {
    return {Action::kClose};
}
Action ExpectOpen() {
    return {Action::kExpectOpen};
}
Action ExpectLine(int line, const char16_t* text) {
    return {Action::kExpectLine, line, text};
}

DialogDriver::Step StepFor(const Action& action) {
    return [action](HWND dialog) {
        HWND list = List(dialog);
        switch (action.kind) {
            case Action::kDoubleClick:
                testing_support::PostDoubleClick(list, action.line);
                break;
            case Action::kClick:
                testing_support::PostClick(list, action.line);
                break;
            case Action::kEnter:
                SetFocus(list);
                testing_support::PostKeyPress(list, VK_RETURN, L'\r');
                break;
            case Action::kDone: {
                HWND done = testing_support::FindDoneButton(dialog);
                ASSERT_NE(done, nullptr) << "no Done button";
                SendMessageW(done, BM_CLICK, 0, 0);
                break;
            }
            case Action::kClose:
                SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            case Action::kExpectOpen:
                EXPECT_TRUE(IsWindow(dialog) && IsWindowVisible(dialog)) << "the dialog ended";
                break;
            case Action::kExpectLine:
                EXPECT_EQ(testing_support::ListLine(list, action.line),
                          std::u16string(action.text));
                break;
        }
    };
}

struct DialogCase {
    const char* name;
    std::vector<DualString> names;
    int32_t initialSelection;
    std::vector<Action> actions;
    INT_PTR endValue;
    int32_t selection;
};

class ChoiceDialogTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetChoiceDialog(); }
    void TearDown() override { ClearChoiceDialog(); }
};

TEST_F(ChoiceDialogTest, EndsAsTheUserAnswers) {
    const DialogCase cases[] = {
        {"double click on the third line", {u"a", u"b", u"c", u"d"}, -1, {DoubleClick(2)}, 1, 2},
        {"Enter with a line selected", {u"a", u"b"}, -1, {Click(1), Enter()}, 1, 1},
        {"Done with nothing selected", {u"a", u"b"}, -1, {Done()}, 2, -1},
        {"Enter stays open, then a choice",
         {u"a", u"b"},
         -1,
         {Enter(), ExpectOpen(), Click(0), Enter()},
         1,
         0},
        {"empty list, Done", {}, -1, {Done()}, 2, -1},
        {"empty list: Enter stays open, close", {}, -1, {Enter(), ExpectOpen(), Close()}, 16, -1},
        {"initial selection kept by Done", {u"a", u"b", u"c"}, 1, {Done()}, 1, 1},
        {"initial selection outside the list", {u"a", u"b"}, 2, {Done()}, 2, -1},
        {"names alike are told apart by position",
         {u"Mail", u"Mail"},
         -1,
         {ExpectLine(0, u"Mail"), ExpectLine(1, u"Mail"), DoubleClick(1)},
         1,
         1},
        {"ActiveSync is shown by its label",
         {u"POP3", u"ActiveSync", u"activesync", u"ActiveSync "},
         -1,
         {ExpectLine(0, u"POP3"), ExpectLine(1, u"Outlookメール"), ExpectLine(2, u"activesync"),
          ExpectLine(3, u"ActiveSync "), DoubleClick(1)},
         1,
         1},
    };
    for (const DialogCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetChoiceDialog();
        std::vector<DialogDriver::Step> steps;
        for (const Action& a : c.actions) {
            steps.push_back(StepFor(a));
        }
        const size_t stepCount = steps.size();
        DialogDriver driver(std::move(steps));
        ASSERT_TRUE(driver.Installed());
        const INT_PTR end = ChooseFromList(Self(), IDD_CHOICE_DIALOG, IDC_CHOICE_LIST, c.names,
                                           c.initialSelection, nullptr);
        EXPECT_EQ(end, c.endValue);
        EXPECT_EQ(ChoiceDialogSelection(), c.selection);
        EXPECT_EQ(driver.StepsRun(), stepCount);
        EXPECT_FALSE(IsWindow(driver.Dialog()));
    }
}

// Full screen between the navigation bar and the menu bar, the list over the whole client
// area, the Done button on the navigation bar. Leaves a picture of the screen in the build
// tree.
TEST_F(ChoiceDialogTest, FillsTheHandheldScreen) {
    RECT window = {}, client = {}, listRect = {};
    std::u16string title(64, u'\0');
    HWND done = nullptr;
    bool saved = false;
    DialogDriver driver({
        [&](HWND dialog) {
            GetWindowRect(dialog, &window);
            GetClientRect(dialog, &client);
            GetWindowRect(List(dialog), &listRect);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&listRect), 2);
            title.resize(GetWindowTextW(dialog, reinterpret_cast<wchar_t*>(title.data()),
                                        static_cast<int>(title.size())));
            done = testing_support::FindDoneButton(dialog);
            SendMessageW(List(dialog), LB_SETCURSEL, 1, 0);
        },
        [&](HWND dialog) {
            const RECT screen = {0, 0, device::kScreenWidth, device::kScreenHeight};
            saved = testing_support::SaveScreenBitmap(u"choice_dialog_screen.bmp", screen);
            SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        },
    });
    EXPECT_EQ(ChooseFromList(Self(), IDD_CHOICE_DIALOG, IDC_CHOICE_LIST,
                             {u"会社のメール", u"ActiveSync", u"プロバイダ"}, -1, nullptr),
              16);
    EXPECT_EQ(window.left, 0);
    EXPECT_EQ(window.top, device::kNavigationBarHeight);
    EXPECT_EQ(window.right, device::kScreenWidth);
    EXPECT_EQ(window.bottom, device::kScreenHeight - device::kMenuBarHeight);
    EXPECT_EQ(listRect.left, client.left);
    EXPECT_EQ(listRect.top, client.top);
    EXPECT_EQ(listRect.right, client.right);
    EXPECT_EQ(listRect.bottom, client.bottom);
    EXPECT_EQ(title, u"アカウントの選択");
    EXPECT_NE(done, nullptr);
    EXPECT_TRUE(saved);
}

// The template as the resource compiler wrote it: a plain dialog template whose styles
// are exactly those given, not widened by the compiler's defaults.
TEST(ChoiceDialogTemplate, HoldsTheListDialog) {
    HRSRC found = FindResourceW(Self(), MAKEINTRESOURCEW(IDD_CHOICE_DIALOG), RT_DIALOG);
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(Self(), found)));
    ASSERT_NE(bytes, nullptr);
    const size_t size = SizeofResource(Self(), found);
    ASSERT_GE(size, sizeof(DLGTEMPLATE));
    DLGTEMPLATE head;
    std::memcpy(&head, bytes, sizeof head);
    EXPECT_EQ(head.style, 0x80C80040u);
    EXPECT_EQ(head.cdit, 1);
    EXPECT_EQ(head.x, 0);
    EXPECT_EQ(head.y, 0);
    EXPECT_EQ(head.cx, 186);
    EXPECT_EQ(head.cy, 135);

    // Menu, class, title, point size and face follow as UTF-16 words.
    const auto* words = reinterpret_cast<const char16_t*>(bytes + 18);
    EXPECT_EQ(words[0], 0);  // no menu
    EXPECT_EQ(words[1], 0);  // the predefined dialog class
    std::u16string title(words + 2);
    EXPECT_EQ(title, u"アカウントの選択");
    const char16_t* p = words + 2 + title.size() + 1;
    EXPECT_EQ(p[0], 9);
    std::u16string face(p + 1);
    EXPECT_EQ(face, u"ＭＳ Ｐゴシック");
    p += 1 + face.size() + 1;
    // The one item starts on a DWORD boundary.
    auto offset = reinterpret_cast<const BYTE*>(p) - bytes;
    offset = (offset + 3) & ~3;
    ASSERT_LE(static_cast<size_t>(offset) + sizeof(DLGITEMTEMPLATE) + 4, size);
    DLGITEMTEMPLATE item;
    std::memcpy(&item, bytes + offset, sizeof item);
    EXPECT_EQ(item.style, 0x50210101u);
    EXPECT_EQ(item.x, 7);
    EXPECT_EQ(item.y, 7);
    EXPECT_EQ(item.cx, 172);
    EXPECT_EQ(item.cy, 121);
    EXPECT_EQ(item.id, IDC_CHOICE_LIST);
    const auto* itemClass =
        reinterpret_cast<const char16_t*>(bytes + offset + sizeof(DLGITEMTEMPLATE));
    // Either the list box atom or its class name.
    if (itemClass[0] == 0xFFFF) {
        EXPECT_EQ(itemClass[1], 0x0083);
    } else {
        EXPECT_EQ(std::u16string(itemClass).size(), 7u);
    }
}

}  // namespace
}  // namespace pelmora
