// Replies on the emulated device, from the Inbox's menu item to the compose request that
// the messaging library records: the built Pelmora.dll is registered and created through
// COM, reads the settings file at its fixed place and the selected message through the
// stand-in messaging library. Every case ends with no messaging object or buffer alive.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/cemapi/device_profile.h"
#include "tests/choice_dialog/dialog_driver.h"
#include "tests/device/device_profile_fixture.h"
#include "tests/reply_e2e/reply_fixture_win32.h"
#include "text/utf8.h"

#ifndef PELMORA_DLL_FILE
#error "PELMORA_DLL_FILE must name the built Pelmora.dll"
#endif

namespace pelmora {
namespace {

using device::SelectionShape;
using testing_support::DialogDriver;
using testing_support::JsonValue;
using testing_support::ReadView;
using testing_support::SettingsValues;
using testing_support::TestDeviceProfile;

constexpr HRESULT kErrorsReturned = 0x00040380;  // MAPI_W_ERRORS_RETURNED

// A Japanese message as a keitai mail client sends it: ISO-2022-JP header and body.
const std::string kMeetingMail =
    "From: Taro <taro@example.jp>\r\n"
    "To: hanako@example.jp, jiro@example.jp\r\n"
    "Cc: saburo@example.jp\r\n"
    "Subject: =?ISO-2022-JP?B?GyRCMnE1RCRON28bKEI=?=\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
    "Content-Transfer-Encoding: 7bit\r\n"
    "\r\n"
    "\x1b$BL@F|$N2q5D$O\x1b(B10\x1b$B;~$+$i$G$9!#\x1b(B\r\n"
    "\x1b$B$h$m$7$/!#\x1b(B\r\n";
const std::string kMeetingProps = "class=IPM.Note\nsender=taro@example.jp\nsubject=会議の件\n";

// Plain ASCII text whose body is exactly `bodyBytes` long after this header block.
const std::string kPlainHeader =
    "From: a@example.jp\r\n"
    "Content-Type: text/plain; charset=us-ascii\r\n"
    "\r\n";

std::string PlainMail(size_t totalBytes) {
    std::string text = kPlainHeader;
    for (int line = 0; text.size() < totalBytes; ++line) {
        char number[16];
        snprintf(number, sizeof number, "L%05d ", line);
        text += number;
        text += std::string(90, static_cast<char>('a' + line % 26));
        text += "\r\n";
    }
    text.resize(totalBytes);
    return text;
}

class ReplyEndToEnd : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        registration_ =
            new testing_support::ServerRegistration(testing_support::WindowsPath(PELMORA_DLL_FILE));
    }
    static void TearDownTestSuite() {
        delete registration_;
        registration_ = nullptr;
        CoUninitialize();
    }

    void SetUp() override {
        ASSERT_TRUE(registration_->Registered());
        profile_.AddStore("work", u"会社");
        profile_.AddStore("sync", u"ActiveSync");
        profile_.AddMessage("work", "meeting", kMeetingMail, kMeetingProps);
    }

    // Runs the item on one message; the object is created for this run and let go after.
    HRESULT Reply(uint32_t store = 0, const std::string& message = "meeting",
                  SelectionShape shape = SelectionShape::Message) {
        ReadView view(store, message, shape);
        EXPECT_EQ(view.Created(), S_OK);
        return view.Invoke();
    }

    void ExpectNothingAlive() {
        const CEMAPI_DEVICE_COUNTS c = testing_support::DeviceCounts();
        EXPECT_EQ(c.sessions, 0);
        EXPECT_EQ(c.tables, 0);
        EXPECT_EQ(c.messages, 0);
        EXPECT_EQ(c.streams, 0);
        EXPECT_EQ(c.buffers, 0);
        EXPECT_EQ(c.badFrees, 0);
    }

    std::vector<JsonValue> Composed() {
        std::vector<JsonValue> composed;
        for (JsonValue& line : profile_.Outbox()) {
            if (line.Text("call") == u"MailComposeMessage") {
                composed.push_back(std::move(line));
            }
        }
        return composed;
    }

    // The only compose request; fails the test when there is not exactly one.
    JsonValue OnlyCompose() {
        std::vector<JsonValue> composed = Composed();
        EXPECT_EQ(composed.size(), 1u);
        return composed.empty() ? JsonValue{} : composed.front();
    }

    static bool IsNull(const JsonValue& request, const char* key) {
        const JsonValue* v = request.Find(key);
        return v != nullptr && v->IsNull();
    }

    static testing_support::ServerRegistration* registration_;
    testing_support::SettingsFile settings_;
    TestDeviceProfile profile_;
};

testing_support::ServerRegistration* ReplyEndToEnd::registration_ = nullptr;

TEST_F(ReplyEndToEnd, ComposesTheJapaneseReplyField_by_field) {
    SettingsValues s;
    s.accountIndex = 0;
    s.quote = true;
    s.quoteString = u">";
    s.signature = u"山田";
    s.cc = u"boss@example.jp";
    s.bcc = u"me@example.jp";
    ASSERT_TRUE(settings_.Write(s));
    EXPECT_EQ(Reply(), S_OK);
    const JsonValue request = OnlyCompose();
    EXPECT_EQ(request.Number("size"), 44);
    EXPECT_EQ(request.Number("flags"), 1);
    EXPECT_EQ(request.Text("account"), u"会社");
    EXPECT_EQ(request.Text("to"), u"taro@example.jp;");
    EXPECT_EQ(request.Text("cc"), u"boss@example.jp;");
    EXPECT_EQ(request.Text("bcc"), u"me@example.jp;");
    EXPECT_EQ(request.Text("subject"), u"RE:会議の件");
    EXPECT_EQ(request.Text("body"), u"山田\n> 明日の会議は10時からです。\n> よろしく。\n> ");
    EXPECT_TRUE(IsNull(request, "attachments"));
    EXPECT_EQ(request.Number("attachmentCount"), 0);
    EXPECT_EQ(request.Text("messageClass"), u"IPM.Note");
    ExpectNothingAlive();
}

TEST_F(ReplyEndToEnd, ReplyToAllTakesTheParsedHeaders) {
    SettingsValues s;
    s.accountIndex = 1;
    s.resAll = true;
    ASSERT_TRUE(settings_.Write(s));
    EXPECT_EQ(Reply(), S_OK);
    const JsonValue request = OnlyCompose();
    EXPECT_EQ(request.Text("account"), u"ActiveSync");  // the name, not its label
    EXPECT_EQ(request.Text("to"), u"taro@example.jp;hanako@example.jp; jiro@example.jp;");
    EXPECT_EQ(request.Text("cc"), u"saburo@example.jp;");
    EXPECT_EQ(request.Text("bcc"), u"");
    EXPECT_TRUE(IsNull(request, "body"));  // no signature, no quoting
    ExpectNothingAlive();
}

// Which account answers: the index from the settings, or the user's choice when it is
// negative; an index past the list composes nothing and still succeeds.
TEST_F(ReplyEndToEnd, TakesTheAccountFromTheSettingsOrTheDialog) {
    struct Case {
        const char* name;
        std::optional<int32_t> index;
        bool dialogShown;
        std::function<void(HWND)> answer;  // what the user does in the dialog
        HRESULT status;
        const char16_t* account;  // null: nothing composed
    };
    auto doneUntouched = [](HWND dialog) {
        SendMessageW(testing_support::FindDoneButton(dialog), BM_CLICK, 0, 0);
    };
    auto closeBox = [](HWND dialog) { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); };
    auto secondLine = [](HWND dialog) {
        HWND list = GetDlgItem(dialog, 1001);
        EXPECT_EQ(testing_support::ListLine(list, 1), u"Outlookメール");
        testing_support::PostDoubleClick(list, 1);
    };
    const Case cases[] = {
        {"index 1 of two", 1, false, nullptr, S_OK, u"ActiveSync"},
        {"index 0 of two", 0, false, nullptr, S_OK, u"会社"},
        {"index 5 of two", 5, false, nullptr, S_OK, nullptr},
        {"no index, Done without a choice", std::nullopt, true, doneUntouched, S_OK, nullptr},
        {"no index, dialog closed", -1, true, closeBox, S_OK, nullptr},
        {"no index, second line chosen", -1, true, secondLine, S_OK, u"ActiveSync"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsValues s;
        s.accountIndex = c.index;
        ASSERT_TRUE(settings_.Write(s));
        const size_t before = Composed().size();
        std::vector<DialogDriver::Step> steps;
        if (c.answer) {
            steps.push_back(c.answer);
        }
        DialogDriver driver(std::move(steps));
        EXPECT_EQ(Reply(), c.status);
        EXPECT_EQ(driver.Dialog() != nullptr, c.dialogShown);
        const std::vector<JsonValue> composed = Composed();
        if (c.account == nullptr) {
            EXPECT_EQ(composed.size(), before);
        } else {
            ASSERT_EQ(composed.size(), before + 1);
            EXPECT_EQ(composed.back().Text("account"), std::u16string(c.account));
        }
        ExpectNothingAlive();
    }
}

// A cancelled choice reports the property read's status, which is a warning when the store
// lacks one of the three properties.
TEST_F(ReplyEndToEnd, CancelledChoiceReportsThePropertyReadsStatus) {
    profile_.AddMessage("work", "classless", kMeetingMail, "sender=taro@example.jp\n");
    ASSERT_TRUE(settings_.Write(SettingsValues{}));
    DialogDriver driver({[](HWND dialog) {
        SendMessageW(testing_support::FindDoneButton(dialog), BM_CLICK, 0, 0);
    }});
    EXPECT_EQ(Reply(0, "classless"), kErrorsReturned);
    EXPECT_NE(driver.Dialog(), nullptr);
    EXPECT_TRUE(Composed().empty());
    ExpectNothingAlive();
}

// The settings file is read again at every run of the same object.
TEST_F(ReplyEndToEnd, ReadsTheSettingsAtEveryRun) {
    ReadView view(0, "meeting");
    ASSERT_EQ(view.Created(), S_OK);
    SettingsValues s;
    s.accountIndex = 1;
    s.signature = u"一回目";
    ASSERT_TRUE(settings_.Write(s));
    EXPECT_EQ(view.Invoke(), S_OK);
    s.accountIndex = 0;
    s.signature.clear();  // gone from the file: no signature any more
    ASSERT_TRUE(settings_.Write(s));
    EXPECT_EQ(view.Invoke(), S_OK);
    settings_.Remove();  // no file: the defaults, so the dialog asks
    DialogDriver driver({[](HWND dialog) { SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }});
    EXPECT_EQ(view.Invoke(), S_OK);
    EXPECT_NE(driver.Dialog(), nullptr);
    const std::vector<JsonValue> composed = Composed();
    ASSERT_EQ(composed.size(), 2u);
    EXPECT_EQ(composed[0].Text("account"), u"ActiveSync");
    EXPECT_EQ(composed[0].Text("body"), u"一回目\n");
    EXPECT_EQ(composed[1].Text("account"), u"会社");
    EXPECT_TRUE(IsNull(composed[1], "body"));
}

// The message class goes to the compose window as the store has it; without one, none.
TEST_F(ReplyEndToEnd, PassesTheMessageClassThrough) {
    profile_.AddMessage("work", "custom", kMeetingMail,
                        "class=IPM.Note.Mobile.SMS\nsender=s@example.jp\nsubject=x\n");
    profile_.AddMessage("work", "classless", kMeetingMail, "sender=s@example.jp\n");
    SettingsValues s;
    s.accountIndex = 0;
    ASSERT_TRUE(settings_.Write(s));
    EXPECT_EQ(Reply(0, "custom"), S_OK);
    EXPECT_EQ(Reply(0, "classless"), S_OK);
    const std::vector<JsonValue> composed = Composed();
    ASSERT_EQ(composed.size(), 2u);
    EXPECT_EQ(composed[0].Text("messageClass"), u"IPM.Note.Mobile.SMS");
    EXPECT_TRUE(IsNull(composed[1], "messageClass"));
    EXPECT_TRUE(IsNull(composed[1], "subject"));  // no subject property: no "RE:"
    ExpectNothingAlive();
}

// With quoting on and no quote mark the body is the parsed text unchanged, so it shows
// exactly how much of the raw text was read: whole up to 32895 bytes, cut there beyond.
TEST_F(ReplyEndToEnd, ReadsAtMost32895BytesOfRawText) {
    SettingsValues s;
    s.accountIndex = 0;
    s.quote = true;
    ASSERT_TRUE(settings_.Write(s));
    const size_t sizes[] = {100, 32894, 32895, 32896, 40000};
    for (size_t size : sizes) {
        SCOPED_TRACE(size);
        const std::string raw = PlainMail(size);
        const std::string name = "plain" + std::to_string(size);
        profile_.AddMessage("work", name, raw, "sender=a@example.jp\n");
        const size_t before = Composed().size();
        EXPECT_EQ(Reply(0, name), S_OK);
        const std::vector<JsonValue> composed = Composed();
        ASSERT_EQ(composed.size(), before + 1);
        const size_t kept = size < 32895 ? size : 32895;
        const std::string expected = raw.substr(kPlainHeader.size(), kept - kPlainHeader.size());
        EXPECT_EQ(composed.back().Text("body"), WideFromUtf8(expected));
    }
    ExpectNothingAlive();
}

// A zero byte ends its own 255-byte read only: the rest of that read is dropped and the
// text goes on with the next read.
TEST_F(ReplyEndToEnd, ZeroByteDropsTheRestOfItsRead) {
    SettingsValues s;
    s.accountIndex = 0;
    s.quote = true;
    ASSERT_TRUE(settings_.Write(s));
    std::string raw = PlainMail(1000);
    raw[300] = '\0';  // in the second read (bytes 255 to 509)
    profile_.AddMessage("work", "zero", raw, "sender=a@example.jp\n");
    EXPECT_EQ(Reply(0, "zero"), S_OK);
    const std::string expected =
        raw.substr(kPlainHeader.size(), 300 - kPlainHeader.size()) + raw.substr(510);
    EXPECT_EQ(OnlyCompose().Text("body"), WideFromUtf8(expected));
    ExpectNothingAlive();
}

// Every way the messaging library can fail, and every selection the Inbox can hand over:
// the status the command ends with, whether a reply was composed, and nothing left alive.
TEST_F(ReplyEndToEnd, EndsEachFailureWithItsStatusAndReleasesEverything) {
    struct Case {
        const char* faults;
        SelectionShape shape;
        HRESULT status;
        bool composed;
        const char16_t* body;  // of the composed reply; null: none
        const char16_t* to;
    };
    const SelectionShape kMessage = SelectionShape::Message;
    const Case cases[] = {
        {"", kMessage, S_OK, true, u"署名\n> 明日の会議は10時からです。\n> よろしく。\n> ",
         u"taro@example.jp;"},
        {"open_entry=0x8004010F\n", kMessage, static_cast<HRESULT>(0x8004010F), false, nullptr,
         nullptr},
        {"open_entry_null=1\n", kMessage, E_OUTOFMEMORY, false, nullptr, nullptr},
        {"get_props=0x8007000E\n", kMessage, E_OUTOFMEMORY, false, nullptr, nullptr},
        // No property array: the reply is built without the store's properties.
        {"get_props_null=1\n", kMessage, S_OK, true,
         u"署名\n> 明日の会議は10時からです。\n> よろしく。\n> ", u""},
        // The raw text cannot be had: no quoting, and To falls back to the sender.
        {"open_property=0x8004010F\n", kMessage, S_OK, true, u"署名\n", u"taro@example.jp;"},
        {"stream_stat=0x80030005\n", kMessage, S_OK, true, u"署名\n", u"taro@example.jp;"},
        {"stream_read=0x80030005\n", kMessage, S_OK, true, u"署名\n", u"taro@example.jp;"},
        {"stream_read=0x80030005\nstream_read_after=1\n", kMessage, S_OK, true, u"署名\n",
         u"taro@example.jp;"},
        {"compose=0x80004005\n", kMessage, E_FAIL, false, nullptr, nullptr},
        {"", SelectionShape::OtherType, E_FAIL, false, nullptr, nullptr},
        {"", SelectionShape::EmptyId, E_FAIL, false, nullptr, nullptr},
        {"", SelectionShape::NullBytes, E_OUTOFMEMORY, false, nullptr, nullptr},
        {"", SelectionShape::NoBlock, E_FAIL, false, nullptr, nullptr},
        {"", SelectionShape::NoDataObject, E_NOINTERFACE, false, nullptr, nullptr},
    };
    SettingsValues s;
    s.accountIndex = 0;
    s.quote = true;
    s.quoteString = u">";
    s.signature = u"署名";
    ASSERT_TRUE(settings_.Write(s));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.faults) + " shape " + std::to_string(static_cast<int>(c.shape)));
        profile_.SetFaults(c.faults);
        const size_t before = Composed().size();
        EXPECT_EQ(Reply(0, "meeting", c.shape), c.status);
        const std::vector<JsonValue> composed = Composed();
        ASSERT_EQ(composed.size(), before + (c.composed ? 1 : 0));
        if (c.composed) {
            EXPECT_EQ(composed.back().Text("body"), std::u16string(c.body));
            EXPECT_EQ(composed.back().Text("to"), std::u16string(c.to));
        }
        ExpectNothingAlive();
    }
    profile_.SetFaults("");
}

// The emulated Inbox program itself, as the demo runs it: it creates the extension, picks
// the item by its text and reports the command's status; its messaging library reports
// at exit that nothing was left alive.
TEST_F(ReplyEndToEnd, InboxProgramRepliesAndLeavesNothingAlive) {
    SettingsValues s;
    s.accountIndex = 1;
    ASSERT_TRUE(settings_.Write(s));
    const std::u16string inbox = testing_support::WindowsPath(PELMORA_INBOX_FILE);
    const testing_support::ProcessResult r = testing_support::RunProcess(
        u"\"" + inbox + u"\" --profile \"" + profile_.Folder() +
            u"\" --view read --store 0 --message meeting --item アカウントを指定して返信",
        u"C:\\");
    EXPECT_EQ(r.exitCode, 0u) << r.output;
    EXPECT_NE(r.output.find("status 0x00000000"), std::string::npos) << r.output;
    EXPECT_EQ(OnlyCompose().Text("account"), u"ActiveSync");
    std::string live;
    ASSERT_TRUE(testing_support::ReadBytes(profile_.Path(u"live.jsonl"), live));
    const std::vector<JsonValue> lines = testing_support::ParseJsonLines(live);
    ASSERT_FALSE(lines.empty());
    for (const char* key : {"sessions", "tables", "messages", "streams", "buffers", "badFrees"}) {
        EXPECT_EQ(lines.back().Number(key), 0) << key;
    }
}

}  // namespace
}  // namespace pelmora
