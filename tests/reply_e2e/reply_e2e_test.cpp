// Replies on the emulated device, from the Inbox's menu item to the compose request that
// the messaging library records: the built Pelmora.dll is registered and created through
// COM, reads the settings file at its fixed place and the selected message through the
// stand-in messaging library. Every case ends with no messaging object or buffer alive.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/cemapi/cemapi_testing.h"
#include "device/cemapi/device_profile.h"
#include "device/inbox/inbox_host_win32.h"
#include "platform/owners.h"
#include "tests/choice_dialog/dialog_driver.h"
#include "tests/device/device_profile_fixture.h"
#include "text/codecs.h"
#include "text/dual_string.h"
#include "text/utf8.h"

#ifndef PELMORA_DLL_FILE
#error "PELMORA_DLL_FILE must name the built Pelmora.dll"
#endif

namespace pelmora {
namespace {

using device::SelectionShape;
using testing_support::DialogDriver;
using testing_support::JsonValue;
using testing_support::ReadBytes;
using testing_support::TestDeviceProfile;
using testing_support::WriteBytes;

const char16_t kReplyVerb[] = u"アカウントを指定して返信";

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

// A build-tree file as Wine reaches it, through the Z: drive.
std::u16string WindowsPath(const char* unixPath) {
    std::u16string p = u"Z:" + WideFromUtf8(unixPath);
    std::replace(p.begin(), p.end(), u'/', u'\\');
    return p;
}

const wchar_t* const kServerKeys[] = {
    L"CLSID\\{0ED86D47-9EDC-4878-9165-3F7553440109}\\InprocServer32",
    L"CLSID\\{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}\\InprocServer32"};

std::optional<std::u16string> ServerPath(const wchar_t* key) {
    wchar_t value[1024] = {};
    LONG size = sizeof value - sizeof(wchar_t);
    if (RegQueryValueW(HKEY_CLASSES_ROOT, key, value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::u16string(reinterpret_cast<const char16_t*>(value));
}

HRESULT CallExport(HMODULE module, const char* name) {
    auto call =
        reinterpret_cast<HRESULT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return call != nullptr ? call() : E_FAIL;
}

// The built Pelmora.dll registered while the object lives; an earlier registration (the
// demo's, say) gets its server paths back afterwards.
class ServerRegistration {
  public:
    explicit ServerRegistration(const std::u16string& dllPath)
        : previous_{ServerPath(kServerKeys[0]), ServerPath(kServerKeys[1])},
          module_(LoadLibraryW(W(dllPath))) {
        registered_ = module_ != nullptr && CallExport(module_, "DllRegisterServer") == S_OK;
    }
    ~ServerRegistration() {
        if (!previous_[0]) {
            CallExport(module_, "DllUnregisterServer");
        }
        for (int i = 0; i < 2; ++i) {
            if (previous_[i]) {
                RegSetValueW(HKEY_CLASSES_ROOT, kServerKeys[i], REG_SZ, W(*previous_[i]), 0);
            }
        }
        FreeLibrary(module_);
    }
    bool Registered() const { return registered_; }

  private:
    std::optional<std::u16string> previous_[2];
    HMODULE module_;
    bool registered_ = false;
};

// The settings as the settings program stores them.
struct SettingsValues {
    std::optional<int32_t> accountIndex;  // none: not written (no automatic account)
    bool quote = false;
    std::u16string quoteString;
    std::u16string signature;
    std::u16string cc;
    std::u16string bcc;
};

// Owns \Program Files\Pelmora\Pelmora.ini on the device's C: drive while it lives, and
// puts back what was there.
class SettingsFile {
  public:
    SettingsFile() {
        std::string bytes;
        if (ReadBytes(kPath, bytes)) {
            previous_ = bytes;
        }
        createdFolder_ = CreateDirectoryW(L"C:\\Program Files\\Pelmora", nullptr) != FALSE;
    }
    ~SettingsFile() {
        if (previous_) {
            WriteBytes(kPath, *previous_);
        } else {
            Remove();
        }
        if (createdFolder_) {
            RemoveDirectoryW(L"C:\\Program Files\\Pelmora");
        }
    }
    // Texts as base64 of their ANSI bytes, booleans as TRUE/FALSE, lines ended by CR LF.
    bool Write(const SettingsValues& v) {
        auto text = [](const char* key, const std::u16string& value) {
            const std::string bytes = ToMultibyte(value);
            return value.empty()
                       ? std::string()
                       : std::string(key) + "=" + Base64Encode(bytes.data(), bytes.size()) + "\r\n";
        };
        std::string file = "[Pelmora]\r\n";
        if (v.accountIndex) {
            file += "RESACCOUNTINDEX=" + std::to_string(*v.accountIndex) + "\r\n";
        }
        file += text("CC", v.cc) + text("BCC", v.bcc);
        file += "PRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\n";
        file += std::string("QUATE=") + (v.quote ? "TRUE" : "FALSE") + "\r\n";
        file += text("QUATESTRING", v.quoteString) + text("SIGNATURE", v.signature);
        return WriteBytes(kPath, file);
    }
    void Remove() { DeleteFileW(W(kPath)); }

  private:
    const std::u16string kPath = u"C:\\Program Files\\Pelmora\\Pelmora.ini";
    std::optional<std::string> previous_;
    bool createdFolder_ = false;
};

// The Inbox's read view over one selected message, its menu built from every registered
// read-view extension. Invoke runs Pelmora's item with C: as the current drive: on the
// device, a path without a drive starts at its root.
class ReadView {
  public:
    ReadView(uint32_t store, const std::string& message, SelectionShape shape) {
        extensions_ = device::LoadExtensions(device::InboxView::Read);
        site_.Attach(new device::InboxSite(device::MakeEntryId(store, message), shape));
        menu_ = CreatePopupMenu();
        device::BuildMenu(extensions_, site_.Get(), menu_);
        for (device::LoadedExtension& extension : extensions_) {
            if (CompareStringOrdinal(W(extension.classId), -1,
                                     L"{0ED86D47-9EDC-4878-9165-3F7553440109}", -1,
                                     TRUE) == CSTR_EQUAL) {
                pelmora_ = &extension;
            }
        }
    }
    ~ReadView() {
        // The Inbox takes its site back before it lets the extensions go.
        for (device::LoadedExtension& extension : extensions_) {
            if (extension.withSite) {
                extension.withSite->SetSite(nullptr);
            }
        }
        extensions_.clear();
        DestroyMenu(menu_);
    }
    ReadView(const ReadView&) = delete;
    ReadView& operator=(const ReadView&) = delete;

    HRESULT Created() const { return pelmora_ != nullptr ? pelmora_->created : E_FAIL; }
    HRESULT Invoke() {
        if (pelmora_ == nullptr || !pelmora_->menu) {
            return E_FAIL;
        }
        wchar_t previous[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, previous);
        SetCurrentDirectoryW(L"C:\\");
        const HRESULT hr = device::InvokeWithVerb(pelmora_->menu.Get(), nullptr, kReplyVerb, false);
        SetCurrentDirectoryW(previous);
        return hr;
    }

  private:
    std::vector<device::LoadedExtension> extensions_;
    ComPtr<device::InboxSite> site_;
    HMENU menu_ = nullptr;
    device::LoadedExtension* pelmora_ = nullptr;
};

// The stand-in messaging library's live objects and buffers in this process.
CEMAPI_DEVICE_COUNTS DeviceCounts() {
    CEMAPI_DEVICE_COUNTS counts = {};
    if (HMODULE cemapi = GetModuleHandleW(L"cemapi.dll")) {
        auto read = reinterpret_cast<void(WINAPI*)(CEMAPI_DEVICE_COUNTS*)>(
            reinterpret_cast<void*>(GetProcAddress(cemapi, "CemapiDeviceCounts")));
        if (read != nullptr) {
            read(&counts);
        }
    }
    return counts;
}

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
const std::string kMeetingProps =
    "class=IPM.Note.Mobile\nsender=taro@example.jp\nsubject=会議の件\n";

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
        registration_ = new ServerRegistration(WindowsPath(PELMORA_DLL_FILE));
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
        const CEMAPI_DEVICE_COUNTS c = DeviceCounts();
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

    static ServerRegistration* registration_;
    SettingsFile settings_;
    TestDeviceProfile profile_;
};

ServerRegistration* ReplyEndToEnd::registration_ = nullptr;

TEST_F(ReplyEndToEnd, ComposesTheJapaneseReplyFieldByField) {
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
    EXPECT_EQ(request.Text("messageClass"), u"IPM.Note.Mobile");  // as the store has it
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
    {
        DialogDriver driver({[](HWND dialog) {
            SendMessageW(testing_support::FindDoneButton(dialog), BM_CLICK, 0, 0);
        }});
        EXPECT_EQ(Reply(0, "classless"), kErrorsReturned);
        EXPECT_NE(driver.Dialog(), nullptr);
        EXPECT_TRUE(Composed().empty());
    }
    // Chosen this time: without the class and subject properties none is handed on.
    DialogDriver driver(
        {[](HWND dialog) { testing_support::PostDoubleClick(GetDlgItem(dialog, 1001), 0); }});
    EXPECT_EQ(Reply(0, "classless"), S_OK);
    const JsonValue request = OnlyCompose();
    EXPECT_TRUE(IsNull(request, "messageClass"));
    EXPECT_TRUE(IsNull(request, "subject"));
    ExpectNothingAlive();
}

// The settings file is read again at every run of the same object.
TEST_F(ReplyEndToEnd, ReadsTheSettingsAtEveryRun) {
    ReadView view(0, "meeting", SelectionShape::Message);
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

}  // namespace
}  // namespace pelmora
