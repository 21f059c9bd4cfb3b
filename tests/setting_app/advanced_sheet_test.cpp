// The advanced settings sheet of PelmoraSetting.exe on the emulated device: its pages are
// worked as the user would (the contact browse through the device's scripted chooser), and
// what reaches the settings file is checked byte for byte.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <utility>

#include "device/aygshell/device_screen.h"
#include "platform/wide.h"
#include "setting_app/resource.h"
#include "tests/device/device_profile_fixture.h"
#include "tests/setting_app/settings_program_driver.h"
#include "tests/support/test_files.h"
#include "text/codecs.h"

namespace pelmora {
namespace {

using testing_support::SettingsProgram;

const char16_t kContact[] = u"山田 花子";
const char16_t kAddress[] = u"hanako@example.jp";

// One settings file line as the program writes it: texts as base64 of their ANSI bytes.
std::string Key(const char* key, const std::u16string& text) {
    const std::string bytes = ToMultibyte(text);
    return std::string(key) + "=" + Base64Encode(bytes.data(), bytes.size()) + "\r\n";
}

bool Checked(HWND box) {
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

using Sheet = testing_support::AdvancedSheet;
using testing_support::TextOf;
constexpr auto kReply = Sheet::kReply;
constexpr auto kQuote = Sheet::kQuote;
constexpr auto kSignature = Sheet::kSignature;

void PressSoftKey(const SettingsProgram& program, const wchar_t* label) {
    HWND key = program.SoftKey(label);
    ASSERT_NE(key, nullptr) << "soft key";
    PostMessageW(key, BM_CLICK, 0, 0);
}

class AdvancedSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testing_support::WriteBytes(profile_.Path(u"contacts.txt"),
                                                "山田 花子|hanako@example.jp\r\n"));
        SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", W(kContact));
    }
    void TearDown() override { SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", nullptr); }

    // Starts the program over `saved`, runs `work` on its sheet, then ends it with the
    // soft key "OK" or the menu's "キャンセル"; the file afterwards.
    std::string Run(const std::string& saved, const std::function<void(SettingsProgram&)>& work,
                    bool save = true) {
        EXPECT_TRUE(testing_support::WriteBytes(dir_.Path(u"Pelmora.ini"), saved));
        SettingsProgram program(dir_.Folder());
        EXPECT_NE(program.Window(), nullptr);
        if (program.Window() == nullptr) {
            return "<no window>";
        }
        work(program);
        if (save) {
            PressSoftKey(program, L"OK");
        } else {
            PostMessageW(program.Window(), WM_COMMAND, IDM_CANCEL, 0);
        }
        EXPECT_EQ(program.WaitForExit(), 0u);
        std::string bytes;
        return testing_support::ReadBytes(dir_.Path(u"Pelmora.ini"), bytes) ? bytes : "<none>";
    }

    testing_support::TestDeviceProfile profile_{"a|会社\r\nb|ActiveSync\r\n"};
    testing_support::ScratchDir dir_;
};

const std::string kSaved = "[Pelmora]\r\n" + Key("CC", u"a") +
                           "PRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\nQUATE=FALSE\r\n" +
                           Key("QUATESTRING", u">") + Key("SIGNATURE", u"山田\r\n090");

// Every control of the main page and the three sheet pages changed; only "OK" writes them.
void EditEverything(SettingsProgram& program) {
    SendMessageW(program.Item(IDC_ACCOUNT_CHECK), BM_CLICK, 0, 0);
    SendMessageW(program.Item(IDC_ACCOUNT_LIST), CB_SETCURSEL, 1, 0);
    Sheet sheet(program);
    ASSERT_NE(sheet.Window(), nullptr) << "sheet";
    sheet.Click(kReply, IDC_CC_BROWSE);   // |a| plus the contact
    sheet.Click(kReply, IDC_BCC_BROWSE);  // the empty box gets the contact alone
    EXPECT_EQ(TextOf(sheet.Item(kReply, IDC_CC)), u"a;" + std::u16string(kAddress));
    EXPECT_EQ(TextOf(sheet.Item(kReply, IDC_BCC)), kAddress);
    sheet.Click(kReply, IDC_PRIO_FROM);
    sheet.Click(kReply, IDC_RES_ALL);
    EXPECT_TRUE(IsWindowEnabled(sheet.Item(kReply, IDC_RES_ALL_CC)));
    sheet.Click(kReply, IDC_RES_ALL_CC);
    // Reply to all off again: the Cc box is disabled and keeps its check.
    sheet.Click(kReply, IDC_RES_ALL);
    EXPECT_FALSE(IsWindowEnabled(sheet.Item(kReply, IDC_RES_ALL_CC)));
    EXPECT_TRUE(Checked(sheet.Item(kReply, IDC_RES_ALL_CC)));
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

TEST_F(AdvancedSheetTest, EveryEditReachesTheFileOnlyWhenTheWindowIsConfirmed) {
    const std::string edited =
        "[Pelmora]\r\nRESACCOUNTINDEX=1\r\n" + Key("CC", u"a;hanako@example.jp") +
        Key("BCC", u"hanako@example.jp") +
        "PRIOFROM=TRUE\r\nRESALL=FALSE\r\nRESALLCC=TRUE\r\nQUATE=TRUE\r\n" +
        Key("QUATESTRING", u"＞ ") + Key("SIGNATURE", u"山田 太郎\r\ntaro@example.jp");
    EXPECT_EQ(Run(kSaved, EditEverything, true), edited);
    EXPECT_EQ(Run(kSaved, EditEverything, false), kSaved);
}

// What one sheet visit stores; the main page is left as it is. A second sheet in the same
// run, confirmed at once, changes nothing more.
TEST_F(AdvancedSheetTest, PagesStoreOnlyWhatTheyShowed) {
    const std::string rest = "PRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\n";
    const struct {
        const char* what;
        std::function<void(Sheet&)> work;
        std::string written;
    } rows[] = {
        {"reply to all, then OK at once: the quote and signature pages were never shown",
         [](Sheet& s) {
             s.Click(kReply, IDC_RES_ALL);
             s.Close(IDOK);
         },
         "[Pelmora]\r\n" + Key("CC", u"a") +
             "PRIOFROM=FALSE\r\nRESALL=TRUE\r\nRESALLCC=FALSE\r\nQUATE=FALSE\r\n" +
             Key("QUATESTRING", u">") + Key("SIGNATURE", u"山田\r\n090")},
        {"quoting checked with nothing typed",
         [](Sheet& s) {
             s.Click(kQuote, IDC_QUOTE_CHECK);
             s.Close(IDOK);
         },
         "[Pelmora]\r\n" + Key("CC", u"a") + rest + "QUATE=TRUE\r\n" +
             Key("SIGNATURE", u"山田\r\n090")},
        {"signature cleared",
         [](Sheet& s) {
             s.Type(kSignature, IDC_SIGNATURE, L"");
             s.Close(IDOK);
         },
         "[Pelmora]\r\n" + Key("CC", u"a") + rest + "QUATE=FALSE\r\n" + Key("QUATESTRING", u">")},
        {"every page changed, then the sheet cancelled",
         [](Sheet& s) {
             s.Type(kReply, IDC_CC, L"x@example.jp");
             s.Click(kQuote, IDC_QUOTE_CHECK);
             s.Type(kSignature, IDC_SIGNATURE, L"");
             s.Close(IDCANCEL);
         },
         kSaved},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(Run(kSaved,
                      [&](SettingsProgram& program) {
                          Sheet sheet(program);
                          ASSERT_NE(sheet.Window(), nullptr) << "sheet";
                          row.work(sheet);
                          // A second sheet's pages answer as their own (OK closes it) and
                          // show what the first one left.
                          Sheet again(program);
                          ASSERT_NE(again.Window(), nullptr) << "second sheet";
                          EXPECT_EQ(TextOf(again.Item(kReply, IDC_CC)), u"a");
                          again.Close(IDOK);
                          EXPECT_FALSE(IsWindow(again.Window()));
                      }),
                  row.written);
    }
}

// The sheet takes the handheld's screen between the navigation bar and the menu bar, its
// tabs along the bottom; every page's controls are within the screen.
TEST_F(AdvancedSheetTest, SheetFillsTheScreenBetweenTheBars) {
    Run(kSaved, [](SettingsProgram& program) {
        Sheet sheet(program);
        ASSERT_NE(sheet.Window(), nullptr) << "sheet";
        RECT rc = {};
        GetWindowRect(sheet.Window(), &rc);
        const RECT expected = {0, device::kNavigationBarHeight, device::kScreenWidth,
                               device::kScreenHeight - device::kMenuBarHeight};
        EXPECT_TRUE(EqualRect(&rc, &expected))
            << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom;
        const std::pair<Sheet::Page, int> rightmost[] = {
            {kReply, IDC_CC_BROWSE}, {kQuote, IDC_QUOTE_STRING}, {kSignature, IDC_SIGNATURE}};
        for (const auto& [page, id] : rightmost) {
            GetWindowRect(sheet.Item(page, id), &rc);
            EXPECT_LE(rc.right, device::kScreenWidth) << "page " << page;
        }
        sheet.Close(IDCANCEL);
    });
}

}  // namespace
}  // namespace pelmora
