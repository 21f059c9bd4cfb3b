// Replies on the emulated device, from the Inbox's menu item to the compose request that
// the messaging library records: the built Pelmora.dll is registered and created through
// COM, reads the settings file at its fixed place and the selected message through the
// stand-in messaging library. Every case ends with nothing of the library's left alive.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "sdk/cemapi.h"
#include "device/inbox/inbox_host_win32.h"
#include "tests/choice_dialog/dialog_driver.h"
#include "tests/device/device_profile_fixture.h"
#include "tests/device/pelmora_view_win32.h"
#include "tests/setting_app/settings_program_driver.h"
#include "text/utf8.h"

namespace pelmora {
namespace {

using testing_support::DialogDriver;
using testing_support::JournalLine;
using testing_support::Leftovers;

const char16_t kVerb[] = u"アカウントを指定して返信";

// A Japanese message as a keitai mail client sends it: ISO-2022-JP header and body.
const std::string kMeetingMail =
    "From: Taro <taro@example.jp>\r\n"
    "To: hanako@example.jp, jiro@example.jp\r\n"
    "Cc: saburo@example.jp\r\n"
    "Subject: =?ISO-2022-JP?B?GyRCMnE1RCRON28bKEI=?=\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
    "\r\n"
    "\x1b$BL@F|$N2q5D$O\x1b(B10\x1b$B;~$+$i$G$9!#\x1b(B\r\n"
    "\x1b$B$h$m$7$/!#\x1b(B\r\n";
const char16_t kQuotedMeeting[] = u"> 明日の会議は10時からです。\n> よろしく。\n> ";

class ReplyEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_EQ(MAPIInitialize(nullptr), S_OK);  // as the Inbox has done
        ASSERT_EQ(testing_support::Regsvr32(testing_support::HostPath(PELMORA_DLL_FILE), false),
                  0u);
        profile_.AddMessage("work", "meeting", kMeetingMail,
                            "class=IPM.Note.Mobile\nsender=taro@example.jp\nsubject=会議の件\n");
    }
    void TearDown() override {
        EXPECT_EQ(Leftovers(), "");
        MAPIUninitialize();
        CoUninitialize();
    }

    // Runs the item on one message; the object is created for this run and let go after.
    HRESULT Reply(const std::string& message = "meeting") {
        testing_support::PelmoraView view(device::InboxView::Read, message);
        EXPECT_EQ(view.Created(), S_OK);
        return view.Invoke(kVerb);
    }
    testing_support::ServerKeysGuard registry_;  // put back after everything else
    testing_support::SettingsFile settings_;
    testing_support::TestDeviceProfile profile_{"work|会社\r\nsync|ActiveSync\r\n"};
};

// Which account answers: the index from the settings, or the user's choice when it is
// negative or there is no settings file. An index past the list, or no choice, composes
// nothing and reports the status of the property read: a warning here, the message lacking its
// class. One object runs the rows on the same message: it reads the settings at every run.
TEST_F(ReplyEndToEnd, TakesTheAccountFromTheSettingsOrTheDialog) {
    profile_.AddMessage("work", "classless", kMeetingMail, "sender=taro@example.jp\n");
    auto close = [](HWND dialog) { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
    auto secondLine = [](HWND dialog) {
        testing_support::PostDoubleClick(GetDlgItem(dialog, 1001), 1);
    };
    const struct {
        std::optional<int32_t> index;  // none: no settings file
        DialogDriver::Step answer;     // what the user does in the dialog; none: no dialog
        HRESULT status;
        const char16_t* account;  // null: nothing composed
    } cases[] = {
        {1, nullptr, S_OK, u"ActiveSync"},
        {-1, close, MAPI_W_ERRORS_RETURNED, nullptr},
        {std::nullopt, secondLine, S_OK, u"ActiveSync"},
        {5, nullptr, MAPI_W_ERRORS_RETURNED, nullptr},
    };
    testing_support::PelmoraView view(device::InboxView::Read, "classless");
    ASSERT_EQ(view.Created(), S_OK);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index.value_or(-99));
        if (c.index) {
            ASSERT_TRUE(settings_.Write(c.index));
        } else {
            settings_.Remove();
        }
        const size_t before = profile_.Outbox().size();
        DialogDriver driver(c.answer ? std::vector<DialogDriver::Step>{c.answer}
                                     : std::vector<DialogDriver::Step>{});
        EXPECT_EQ(view.Invoke(kVerb), c.status);
        EXPECT_EQ(driver.Dialog() != nullptr, c.answer != nullptr);
        const std::vector<JournalLine> composed = profile_.Outbox();
        ASSERT_EQ(composed.size(), before + (c.account ? 1 : 0));
        if (c.account) {
            EXPECT_EQ(composed.back().Text("account"), c.account);
            EXPECT_TRUE(composed.back().IsNull("body"));  // no signature, no quoting
        }
    }
}

// With quoting on and no quote mark the body is the parsed text unchanged, so it shows how
// much of the raw text was read: 129 reads of 255 bytes, 32,895 bytes; a zero byte drops the
// rest of its read only.
TEST_F(ReplyEndToEnd, ReadsAtMost32895BytesOfRawText) {
    ASSERT_TRUE(settings_.Write(0, true));
    const std::string header = "From: a@example.jp\r\nContent-Type: text/plain\r\n\r\n";
    std::string raw = header;
    for (int line = 0; raw.size() < 40000; ++line) {
        raw += "L" + std::to_string(line) + " " +
               std::string(90, static_cast<char>('a' + line % 26)) + "\r\n";
    }
    raw[300] = '\0';  // in the second read, which ends at byte 510
    profile_.AddMessage("work", "long", raw, "sender=a@example.jp\n");
    ASSERT_EQ(Reply("long"), S_OK);
    const std::string expected =
        raw.substr(header.size(), 300 - header.size()) + raw.substr(510, 32895 - 510);
    EXPECT_EQ(profile_.Outbox().back().Text("body"), WideFromUtf8(expected));
}

// Every fault of the messaging library that the reply meets: the status the command ends
// with, the reply composed if any, and nothing left alive.
TEST_F(ReplyEndToEnd, EndsEachFailureWithItsStatusAndReleasesEverything) {
    const std::u16string quoted = u"署名\n" + std::u16string(kQuotedMeeting);
    const struct {
        const char* faults;
        HRESULT status;
        const char16_t* body;  // null: nothing composed
        const char16_t* to;
    } cases[] = {
        {"open_entry=0x8004010F", MAPI_E_NOT_FOUND, nullptr, nullptr},
        {"open_entry_null=1", E_OUTOFMEMORY, nullptr, nullptr},
        {"get_props=0x8007000E", E_OUTOFMEMORY, nullptr, nullptr},
        // No property array: the reply is built without the store's properties.
        {"get_props_null=1", S_OK, quoted.c_str(), u""},
        // The raw text cannot be had: no quoting, and To falls back to the sender.
        {"open_property=0x8004010F", S_OK, u"署名\n", u"taro@example.jp;"},
        {"stream_stat=0x80030005", S_OK, u"署名\n", u"taro@example.jp;"},
        {"stream_read=0x80030005\nstream_read_after=1", S_OK, u"署名\n", u"taro@example.jp;"},
        {"compose=0x80004005", E_FAIL, nullptr, nullptr},
    };
    ASSERT_TRUE(settings_.Write(0, true, u">", u"署名"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults);
        profile_.SetFaults(c.faults);
        const size_t before = profile_.Outbox().size();
        EXPECT_EQ(Reply(), c.status);
        const std::vector<JournalLine> composed = profile_.Outbox();
        ASSERT_EQ(composed.size(), before + (c.body ? 1 : 0));
        if (c.body) {
            EXPECT_EQ(composed.back().Text("body"), c.body);
            EXPECT_EQ(composed.back().Text("to"), c.to);
        }
    }
    profile_.SetFaults("");
}

// The file the settings program saves is the one the extension reads: Cc and Bcc from the
// contacts, quoting and a signature set in its sheet reach the next reply, field by field.
TEST_F(ReplyEndToEnd, RepliesWithWhatTheSettingsProgramSaved) {
    using Sheet = testing_support::AdvancedSheet;
    ASSERT_TRUE(testing_support::WriteBytes(profile_.Path(u"contacts.txt"),
                                            "山田 花子|hanako@example.jp\r\n"));
    SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", L"山田 花子");
    settings_.Remove();  // the program starts from the defaults
    struct Installed {
        ~Installed() { DeleteFileW(L"C:\\Program Files\\Pelmora\\PelmoraSetting.exe"); }
    } installed;
    {
        testing_support::SettingsProgram program(u"C:\\Program Files\\Pelmora");
        ASSERT_NE(program.Window(), nullptr);
        SendMessageW(program.Item(IDC_ACCOUNT_CHECK), BM_CLICK, 0, 0);  // the first, 会社
        Sheet sheet(program);
        ASSERT_NE(sheet.Window(), nullptr);
        // Cc holds one more address than Bcc, so the two cannot pass for each other.
        sheet.Type(Sheet::kReply, IDC_CC, L"jiro@example.jp");
        sheet.Click(Sheet::kReply, IDC_CC_BROWSE);
        sheet.Click(Sheet::kReply, IDC_BCC_BROWSE);
        sheet.Click(Sheet::kQuote, IDC_QUOTE_CHECK);
        sheet.Type(Sheet::kQuote, IDC_QUOTE_STRING, L"|");
        sheet.Type(Sheet::kSignature, IDC_SIGNATURE, L"花子");
        sheet.Close(IDOK);
        PostMessageW(program.Window(), WM_COMMAND, IDM_OK, 0);
        EXPECT_EQ(program.WaitForExit(), 0u);
    }
    SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", nullptr);
    EXPECT_EQ(Reply(), S_OK);
    const std::vector<JournalLine> composed = profile_.Outbox();
    ASSERT_EQ(composed.size(), 1u);
    // The message class as the store has it.
    EXPECT_EQ(
        composed[0].json,
        R"({"call": "MailComposeMessage", "flags": 1, "account": "会社", )"
        R"("to": "taro@example.jp;", "cc": "jiro@example.jp;hanako@example.jp;", )"
        R"("bcc": "hanako@example.jp;", )"
        R"("subject": "RE:会議の件", "body": "花子\n| 明日の会議は10時からです。\n| よろしく。\n| ", )"
        R"("attachments": null, "attachmentCount": 0, "messageClass": "IPM.Note.Mobile"})");
}

}  // namespace
}  // namespace pelmora
