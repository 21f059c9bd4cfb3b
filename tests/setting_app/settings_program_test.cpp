// PelmoraSetting.exe on the emulated device: each case starts the built program in a
// folder of its own, works its window as the user would and checks its settings file.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "device/aygshell/device_screen.h"
#include "device/screen/screen_capture_win32.h"
#include "platform/wide.h"
#include "setting_app/resource.h"
#include "tests/device/device_profile_fixture.h"
#include "tests/setting_app/settings_program_driver.h"
#include "tests/support/test_files.h"
#include "text/codecs.h"
#include "text/dual_string.h"

namespace pelmora {
namespace {

using testing_support::SettingsProgram;
using testing_support::TextOf;

const char kStores[] = "a|会社\r\nb|ActiveSync\r\nc|自宅\r\n";
const std::string kFlags = "PRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\nQUATE=FALSE\r\n";

bool Checked(HWND box) {
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// The page as the user sees it: box checked, list enabled, list selection.
using Choice = std::tuple<bool, bool, LRESULT>;
Choice ChoiceOf(const SettingsProgram& program, int box, int list) {
    return {Checked(program.Item(box)), IsWindowEnabled(program.Item(list)) != FALSE,
            SendMessageW(program.Item(list), CB_GETCURSEL, 0, 0)};
}

void PressSoftKey(const SettingsProgram& program, const wchar_t* label) {
    HWND key = program.SoftKey(label);
    ASSERT_NE(key, nullptr) << "soft key";
    PostMessageW(key, BM_CLICK, 0, 0);
}

// Opens the "メニュー" pop-up and picks its last item, "キャンセル".
void PickCancelFromMenu(SettingsProgram& program) {
    PressSoftKey(program, L"メニュー");
    HWND menu = program.WaitForWindow(L"#32768");
    ASSERT_NE(menu, nullptr) << "pop-up menu";
    PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

using Work = std::function<void(SettingsProgram&)>;
void Ok(SettingsProgram& program) {
    PressSoftKey(program, L"OK");
}

// Two destinations: "GPRS2" of the first is listed before "GPRS" of the second.
const wchar_t kConnections[] =
    L"Comm\\ConnMgr\\Providers\\{7C4B7A38-5FF7-4bc1-80F6-5DA7870BB1AA}\\Connections";
const wchar_t kWork[] = L"{A1182988-0D73-439E-87AD-2A5B369F808B}";
const wchar_t kInternet[] = L"{436EF144-B4FB-4863-A041-8F905A62C572}";

void AddConnection(const std::wstring& name, const wchar_t* destination) {
    const std::wstring key = std::wstring(kConnections) + L"\\" + name;
    const DWORD enabled = 1;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Enabled", REG_DWORD, &enabled, 4);
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"DestId", REG_SZ, destination,
                    static_cast<DWORD>((lstrlenW(destination) + 1) * sizeof(wchar_t)));
}

class SettingsProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kConnections);
        AddConnection(L"GPRS2", kWork);
        AddConnection(L"GPRS", kInternet);
        AddConnection(L"ダイヤルアップ", kInternet);
        ASSERT_TRUE(testing_support::WriteBytes(
            profile_.Path(u"destinations.txt"),
            "{A1182988-0D73-439E-87AD-2A5B369F808B}|会社\r\n"
            "{436EF144-B4FB-4863-A041-8F905A62C572}|インターネット\r\n"));
        // The sheet's contact browse picks this one by script.
        ASSERT_TRUE(testing_support::WriteBytes(profile_.Path(u"contacts.txt"),
                                                "山田 花子|hanako@example.jp\r\n"));
        SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", L"山田 花子");
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kConnections);
        SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", nullptr);
    }

    // Starts the program over `saved` (none when empty), runs `work`, ends it with `close`;
    // the file afterwards.
    std::string Run(const std::string& saved, const Work& work, const Work& close = Ok) {
        if (!saved.empty()) {
            EXPECT_TRUE(testing_support::WriteBytes(dir_.Path(u"Pelmora.ini"), saved));
        }
        SettingsProgram program(dir_.Folder());
        EXPECT_NE(program.Window(), nullptr);
        if (program.Window() == nullptr) {
            return "<no window>";
        }
        work(program);
        close(program);
        EXPECT_EQ(program.WaitForExit(), 0u);
        std::string bytes;
        return testing_support::ReadBytes(dir_.Path(u"Pelmora.ini"), bytes) ? bytes : "<none>";
    }

    testing_support::TestDeviceProfile profile_{kStores};
    testing_support::ScratchDir dir_;
};

// A first start over no file: nothing chosen; each box enables its list, Tab walks the
// enabled controls and around, and a second start only brings this window forward. Ctrl+Q
// writes the file while a page control has the focus.
TEST_F(SettingsProgramTest, FreshStartWorksItsPageAndCtrlQWritesWhatItShows) {
    const auto work = [&](SettingsProgram& program) {
        for (int list : {IDC_ACCOUNT_LIST, IDC_CONNECT_LIST}) {
            EXPECT_EQ(ChoiceOf(program, list - 1, list), (Choice{false, false, 0}));
            EXPECT_EQ(SendMessageW(program.Item(list), CB_GETCOUNT, 0, 0), 3);
        }
        // Unchecked again, the list is disabled and keeps its selection.
        SendMessageW(program.Item(IDC_ACCOUNT_CHECK), BM_CLICK, 0, 0);
        SendMessageW(program.Item(IDC_ACCOUNT_LIST), CB_SETCURSEL, 2, 0);
        SendMessageW(program.Item(IDC_ACCOUNT_CHECK), BM_CLICK, 0, 0);
        EXPECT_EQ(ChoiceOf(program, IDC_ACCOUNT_CHECK, IDC_ACCOUNT_LIST),
                  (Choice{false, false, 2}));
        SendMessageW(program.Item(IDC_ACCOUNT_CHECK), BM_CLICK, 0, 0);
        EXPECT_EQ(ChoiceOf(program, IDC_ACCOUNT_CHECK, IDC_ACCOUNT_LIST), (Choice{true, true, 2}));
        // The last click leaves the focus on the first box.
        SendMessageW(program.Item(IDC_CONNECT_CHECK), BM_CLICK, 0, 0);
        for (int id : {IDC_CONNECT_CHECK, IDC_CONNECT_LIST, IDC_ACCOUNT_CHECK, IDC_ACCOUNT_LIST,
                       IDC_CONNECT_CHECK}) {
            HWND focus = program.Focus();
            EXPECT_EQ(focus, program.Item(id)) << id;
            SendMessageW(focus, WM_CHAR, 9, 0);
        }
        HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                     nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(other);
        ASSERT_EQ(GetForegroundWindow(), other);
        SettingsProgram second(dir_.Folder(), false);
        EXPECT_EQ(second.WaitForExit(), 0u);
        // The foreground change reaches this process through the display server.
        for (int i = 0; i < 40 && GetForegroundWindow() != program.Window(); ++i) {
            Sleep(50);
        }
        EXPECT_EQ(GetForegroundWindow(), program.Window());
        DestroyWindow(other);
    };
    const auto confirm = [](SettingsProgram& program) { program.PressControlKey('Q'); };
    EXPECT_EQ(Run("", work, confirm),
              "[Pelmora]\r\nCONNECTNAME=R1BSUzI=\r\nRESACCOUNTINDEX=2\r\n" + kFlags);
}

// Ctrl+A leaves the file as it was, as "キャンセル" does.
TEST_F(SettingsProgramTest, ControlAKeepsTheFile) {
    const std::string saved = "[Pelmora]\r\nRESACCOUNTINDEX=1\r\n";
    const auto firstAccount = [](SettingsProgram& program) {
        SendMessageW(program.Item(IDC_ACCOUNT_LIST), CB_SETCURSEL, 0, 0);
    };
    const auto cancel = [](SettingsProgram& program) { program.PressControlKey('A'); };
    EXPECT_EQ(Run(saved, firstAccount, cancel), saved);
}

// A saved name selects the item equal to it, not an earlier one that merely begins with
// it; only without an equal item does the first item beginning with it (any case) or item
// 0 come up. A saved account index selects its line; one outside the list shows no choice,
// and one that is not a number counts as 0. With no connection and no account configured
// both choices are disabled and dropped. "OK" then writes back what the page shows.
TEST_F(SettingsProgramTest, SavedChoicesShowAsTheirItemsAndOkWritesWhatShows) {
    // A list's line as shown with its box checked; kOff: box unchecked, line 0; CB_ERR: an
    // empty list.
    constexpr LRESULT kOff = -2;
    const auto shown = [](LRESULT line) {
        return line >= 0 ? Choice{true, true, line} : Choice{false, false, line == kOff ? 0 : line};
    };
    const struct {
        const char* saved;  // the lines after the header
        LRESULT connection, account;
        const char* written;  // the choice lines written back
    } cases[] = {
        // GPRS, after GPRS2; gprs: GPRS2 begins with it; なし: none.
        {"CONNECTNAME=R1BSUw==\r\n", 1, kOff, "CONNECTNAME=R1BSUw==\r\n"},
        {"CONNECTNAME=Z3Bycw==\r\n", 0, kOff, "CONNECTNAME=R1BSUzI=\r\n"},
        {"CONNECTNAME=gsiCtQ==\r\n", 0, kOff, "CONNECTNAME=R1BSUzI=\r\n"},
        // An account, then past the three accounts, -1, not a number.
        {"RESACCOUNTINDEX=1\r\n", kOff, 1, "RESACCOUNTINDEX=1\r\n"},
        {"RESACCOUNTINDEX=3\r\n", kOff, kOff, ""},
        {"RESACCOUNTINDEX=-1\r\n", kOff, kOff, ""},
        {"RESACCOUNTINDEX=x\r\n", kOff, 0, "RESACCOUNTINDEX=0\r\n"},
        // Neither a connection nor an account configured (the last row).
        {"CONNECTNAME=R1BSUw==\r\nRESACCOUNTINDEX=1\r\n", CB_ERR, CB_ERR, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved);
        const bool configured = c.connection != CB_ERR;
        if (!configured) {
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, kConnections);
            ASSERT_TRUE(testing_support::WriteBytes(profile_.Path(u"destinations.txt"), ""));
            ASSERT_TRUE(testing_support::WriteBytes(profile_.Path(u"stores.txt"), ""));
        }
        const auto work = [&](SettingsProgram& program) {
            EXPECT_EQ(ChoiceOf(program, IDC_CONNECT_CHECK, IDC_CONNECT_LIST), shown(c.connection));
            EXPECT_EQ(ChoiceOf(program, IDC_ACCOUNT_CHECK, IDC_ACCOUNT_LIST), shown(c.account));
            for (int box : {IDC_CONNECT_CHECK, IDC_ACCOUNT_CHECK}) {
                EXPECT_EQ(IsWindowEnabled(program.Item(box)) != FALSE, configured);
            }
        };
        EXPECT_EQ(Run(std::string("[Pelmora]\r\n") + c.saved, work),
                  std::string("[Pelmora]\r\n") + c.written + kFlags);
    }
}

// A failed save, and a file that held settings but could not be read at start, keep the
// window open and say so once; the file stays as it was.
TEST_F(SettingsProgramTest, AFileNotSavedOrNotReadStaysAndTheWindowSaysSo) {
    const struct {
        const char* what;
        bool folder;  // a folder where the file should be: nothing can be written there
        std::string written;
    } rows[] = {
        {"a folder in the file's place", true, "<none>"},
        {"the file held by the other deliverable while the program started", false,
         "[Pelmora]\r\nRESACCOUNTINDEX=1\r\n" + kFlags},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const std::u16string file = dir_.Path(u"Pelmora.ini");
        FileHandle holder;
        if (row.folder) {
            ASSERT_TRUE(CreateDirectoryW(W(file.c_str()), nullptr));
        } else {
            ASSERT_TRUE(testing_support::WriteBytes(file, row.written));
            holder.Reset(CreateFileW(W(file.c_str()), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder.Valid());
        }
        const auto okSaysSo = [&](SettingsProgram& program) {
            holder.Reset();  // readable now, the file is still not saved over
            Ok(program);
            HWND box = program.WaitForWindow(L"#32770");
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(TextOf(GetDlgItem(box, 0xFFFF)), u"設定を保存できませんでした。");
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            EXPECT_EQ(program.WaitForExit(500), static_cast<DWORD>(STILL_ACTIVE));
            EXPECT_TRUE(IsWindowVisible(program.Window()));
        };
        EXPECT_EQ(Run("", okSaysSo, PickCancelFromMenu), row.written);
        RemoveDirectoryW(W(file.c_str()));
    }
}

// A page that cannot be made: the pages already made are destroyed, no sheet shows, and the
// program goes on as before.
TEST_F(SettingsProgramTest, SheetWithAPageThatCannotBeMadeShowsNothing) {
    profile_.SetFaults("sheet_page=1\r\nsheet_page_after=2\r\n");
    // Returns at once only when the sheet's modal loop never ran.
    const auto advanced = [](SettingsProgram& program) {
        DWORD_PTR ignored = 0;
        EXPECT_NE(SendMessageTimeoutW(program.Window(), WM_COMMAND, IDM_ADVANCED, 0, SMTO_BLOCK,
                                      5000, &ignored),
                  0);
    };
    EXPECT_EQ(Run("", advanced), "[Pelmora]\r\n" + kFlags);
    std::u16string calls;
    for (const auto& line : profile_.Outbox()) {
        calls += line.Text("call").value_or(u"?") + u"|";
    }
    EXPECT_EQ(calls,
              u"CreatePropertySheetPageW failed|DestroyPropertySheetPage|"
              u"DestroyPropertySheetPage|");
}

// ---- The advanced sheet: its pages worked as the user would (the contact browse through
// the device's scripted chooser), the settings file checked byte for byte. ----

// One settings file line as the program writes it: texts as base64 of their ANSI bytes.
std::string Key(const char* key, const std::u16string& text) {
    const std::string bytes = ToMultibyte(text);
    return std::string(key) + "=" + Base64Encode(bytes.data(), bytes.size()) + "\r\n";
}

using Sheet = testing_support::AdvancedSheet;
constexpr auto kReply = Sheet::kReply;
constexpr auto kQuote = Sheet::kQuote;
constexpr auto kSignature = Sheet::kSignature;

// "全てCcに入れる" is checked while "全員に返信" is not.
const std::string kSaved = "[Pelmora]\r\n" + Key("CC", u"a") +
                           "PRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=TRUE\r\nQUATE=FALSE\r\n" +
                           Key("QUATESTRING", u">") + Key("SIGNATURE", u"山田\r\n090");

// Every control of the main page and the three sheet pages changed; only "OK" writes them.
void EditEverything(SettingsProgram& program) {
    SendMessageW(program.Item(IDC_CONNECT_CHECK), BM_CLICK, 0, 0);
    SendMessageW(program.Item(IDC_CONNECT_LIST), CB_SETCURSEL, 2, 0);  // ダイヤルアップ
    SendMessageW(program.Item(IDC_ACCOUNT_CHECK), BM_CLICK, 0, 0);
    SendMessageW(program.Item(IDC_ACCOUNT_LIST), CB_SETCURSEL, 1, 0);
    Sheet sheet(program);
    ASSERT_NE(sheet.Window(), nullptr) << "sheet";
    // Loaded checked, and disabled with reply to all off.
    EXPECT_TRUE(Checked(sheet.Item(kReply, IDC_RES_ALL_CC)));
    EXPECT_FALSE(IsWindowEnabled(sheet.Item(kReply, IDC_RES_ALL_CC)));
    sheet.Click(kReply, IDC_CC_BROWSE);   // |a| plus the contact
    sheet.Click(kReply, IDC_BCC_BROWSE);  // the empty box gets the contact alone
    sheet.Click(kReply, IDC_PRIO_FROM);
    sheet.Click(kReply, IDC_RES_ALL);
    EXPECT_TRUE(IsWindowEnabled(sheet.Item(kReply, IDC_RES_ALL_CC)));
    // Reply to all off again: the Cc box is disabled (and keeps its check: the file says).
    sheet.Click(kReply, IDC_RES_ALL);
    EXPECT_FALSE(IsWindowEnabled(sheet.Item(kReply, IDC_RES_ALL_CC)));
    // Quoting was off: the prefix box is empty and disabled until quoting is checked.
    EXPECT_EQ(TextOf(sheet.Item(kQuote, IDC_QUOTE_STRING)), u"");
    EXPECT_FALSE(IsWindowEnabled(sheet.Item(kQuote, IDC_QUOTE_STRING)));
    sheet.Click(kQuote, IDC_QUOTE_CHECK);
    EXPECT_TRUE(IsWindowEnabled(sheet.Item(kQuote, IDC_QUOTE_STRING)));
    sheet.Type(kQuote, IDC_QUOTE_STRING, L"＞ ");
    EXPECT_EQ(TextOf(sheet.Item(kSignature, IDC_SIGNATURE)), u"山田\r\n090");
    sheet.Type(kSignature, IDC_SIGNATURE, L"山田 太郎\r\ntaro@example.jp");
    sheet.Close(IDOK);
}

TEST_F(SettingsProgramTest, EveryEditReachesTheFileOnlyWhenTheWindowIsConfirmed) {
    const std::string edited =
        "[Pelmora]\r\nCONNECTNAME=g1+DQ4OEg4uDQYNig3Y=\r\nRESACCOUNTINDEX=1\r\n" +
        Key("CC", u"a;hanako@example.jp") + Key("BCC", u"hanako@example.jp") +
        "PRIOFROM=TRUE\r\nRESALL=FALSE\r\nRESALLCC=TRUE\r\nQUATE=TRUE\r\n" +
        Key("QUATESTRING", u"＞ ") + Key("SIGNATURE", u"山田 太郎\r\ntaro@example.jp");
    EXPECT_EQ(Run(kSaved, EditEverything), edited);
    EXPECT_EQ(Run(kSaved, EditEverything, PickCancelFromMenu), kSaved);
}

// What one sheet visit stores; the main page is left as it is. A second sheet in the same
// run, confirmed at once, changes nothing more.
TEST_F(SettingsProgramTest, PagesStoreOnlyWhatTheyShowed) {
    const std::string rest = "PRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=TRUE\r\n";
    const struct {
        const char* what;
        std::function<void(Sheet&)> work;
        std::string written;
    } rows[] = {
        // The signature page is never shown; the quote prefix, typed with quoting on and
        // quoting then switched off again, stays as stored.
        {"reply to all; quoting on, a prefix typed, quoting off again",
         [](Sheet& s) {
             s.Click(kReply, IDC_RES_ALL);
             s.Click(kQuote, IDC_QUOTE_CHECK);
             s.Type(kQuote, IDC_QUOTE_STRING, L"x");
             s.Click(kQuote, IDC_QUOTE_CHECK);
             s.Close(IDOK);
         },
         "[Pelmora]\r\n" + Key("CC", u"a") +
             "PRIOFROM=FALSE\r\nRESALL=TRUE\r\nRESALLCC=TRUE\r\nQUATE=FALSE\r\n" +
             Key("QUATESTRING", u">") + Key("SIGNATURE", u"山田\r\n090")},
        {"quoting checked with nothing typed, the signature cleared",
         [](Sheet& s) {
             s.Click(kQuote, IDC_QUOTE_CHECK);
             s.Type(kSignature, IDC_SIGNATURE, L"");
             s.Close(IDOK);
         },
         "[Pelmora]\r\n" + Key("CC", u"a") + rest + "QUATE=TRUE\r\n"},
        {"texts longer than the first read of their box",
         [](Sheet& s) {
             s.Type(kReply, IDC_BCC, std::wstring(300, L'b').c_str());
             s.Click(kReply, IDC_BCC_BROWSE);
             s.Type(kSignature, IDC_SIGNATURE, std::wstring(1500, L's').c_str());
             s.Close(IDOK);
         },
         "[Pelmora]\r\n" + Key("CC", u"a") +
             Key("BCC", std::u16string(300, u'b') + u";hanako@example.jp") + rest +
             "QUATE=FALSE\r\n" + Key("QUATESTRING", u">") +
             Key("SIGNATURE", std::u16string(1500, u's'))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto twoSheets = [&](SettingsProgram& program) {
            Sheet sheet(program);
            ASSERT_NE(sheet.Window(), nullptr) << "sheet";
            row.work(sheet);
            // A second sheet's pages answer as their own (OK closes it) and show what the
            // first one left.
            Sheet again(program);
            ASSERT_NE(again.Window(), nullptr) << "second sheet";
            EXPECT_EQ(TextOf(again.Item(kReply, IDC_CC)), u"a");
            again.Close(IDOK);
            EXPECT_FALSE(IsWindow(again.Window()));
        };
        EXPECT_EQ(Run(kSaved, twoSheets), row.written);
    }
}

// Where `control`'s label, drawn in its own font after a check box's mark, ends on the
// screen.
LONG LabelEnd(HWND control) {
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    const std::u16string label = TextOf(control);
    SIZE extent = {};
    GetTextExtentPoint32W(dc, W(label.c_str()), static_cast<int>(label.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    RECT rc = {};
    GetWindowRect(control, &rc);
    return rc.left + GetSystemMetrics(SM_CXMENUCHECK) + extent.cx;
}

// The window (pictured with its menu open) and its sheet take the handheld's screen between
// the navigation bar and the menu bar, on whichever screen the session has (QVGA, or VGA
// for the settings program's second run); the main page's controls show whole on it. A sheet whose
// every page was changed, then cancelled, leaves the settings as they were.
TEST_F(SettingsProgramTest, WindowAndSheetFillTheScreenBetweenTheBars) {
    const device::ScreenGeometry screen = device::DeviceScreen();
    const RECT expected = {0, screen.navigationBarHeight, screen.width,
                           screen.height - screen.menuBarHeight};
    auto expectFills = [&](HWND window) {
        RECT rc = {};
        GetWindowRect(window, &rc);
        EXPECT_TRUE(EqualRect(&rc, &expected))
            << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom;
    };
    const auto work = [&](SettingsProgram& program) {
        expectFills(program.Window());
        // The lists whole, the boxes' labels whole within the box and the screen (a box's
        // blank right end may run past it: the emulated device's font is wider than the
        // handheld's).
        for (int id : {IDC_CONNECT_CHECK, IDC_CONNECT_LIST, IDC_ACCOUNT_CHECK, IDC_ACCOUNT_LIST}) {
            RECT rc = {};
            GetWindowRect(program.Item(id), &rc);
            const bool box = id == IDC_CONNECT_CHECK || id == IDC_ACCOUNT_CHECK;
            const LONG end = box ? LabelEnd(program.Item(id)) : rc.right;
            EXPECT_TRUE(rc.left >= 0 && end <= rc.right && end <= screen.width &&
                        rc.top >= expected.top && rc.bottom <= expected.bottom)
                << id << ": " << rc.left << "," << rc.top << "," << end << "," << rc.right << ","
                << rc.bottom;
        }
        // The picture of the window with its menu open stays in the build tree.
        PressSoftKey(program, L"メニュー");
        HWND menu = program.WaitForWindow(L"#32768");
        ASSERT_NE(menu, nullptr);
        Sleep(300);  // the pop-up's first paint reaches the screen
        const RECT whole = {0, 0, screen.width, screen.height};
        const std::string picture = device::CaptureScreenPng(whole);
        EXPECT_TRUE(!picture.empty() && testing_support::WriteBytes(
                                            screen.scale == 1 ? u"settings_program_screen.png"
                                                              : u"settings_program_screen_vga.png",
                                            picture));
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        Sheet sheet(program);
        ASSERT_NE(sheet.Window(), nullptr) << "sheet";
        expectFills(sheet.Window());
        sheet.Type(kReply, IDC_CC, L"x@example.jp");
        sheet.Click(kQuote, IDC_QUOTE_CHECK);
        sheet.Type(kSignature, IDC_SIGNATURE, L"");
        sheet.Close(IDCANCEL);
    };
    EXPECT_EQ(Run(kSaved, work), kSaved);
}

}  // namespace
}  // namespace pelmora
