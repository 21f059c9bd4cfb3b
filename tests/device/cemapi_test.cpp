// The stand-in messaging library through its exports and interfaces, used the way the
// product uses them. Every test ends with nothing of the library's left alive.
#include "sdk/cemapi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/cemapi/cemapi_testing.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "tests/device/device_profile_fixture.h"

namespace pelmora {
namespace {

using testing_support::JournalLine;
using testing_support::Leftovers;

const IID kIidMapiProp = {0x00020303, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const ULONG kProps[3] = {PR_MESSAGE_CLASS_W, PR_SENDER_EMAIL_ADDRESS_W, PR_SUBJECT_W};

// CR LF, 8-bit bytes and a NUL, long enough for three 255-byte reads.
std::string SampleRaw() {
    std::string raw = "From: =?ISO-2022-JP?B?GyRCJDUkaRsoQg==?= <sara@example.jp>\r\n\r\n";
    raw += std::string("\x82\xa0\0\x1b$B", 6);
    while (raw.size() < 600) {
        raw += "line of text\r\n";
    }
    return raw;
}

HRESULT Logon(ComPtr<IMAPISession>& session) {
    return MAPILogonEx(0, nullptr, nullptr, 0, session.Put());
}

// OpenEntry, then the property interface, as the reply does.
HRESULT Open(IMAPISession* session, const std::string& id, ComPtr<IMAPIProp>& message) {
    ComPtr<IUnknown> object;
    ULONG type = 0;
    const HRESULT hr = session->OpenEntry(static_cast<ULONG>(id.size()),
                                          reinterpret_cast<LPENTRYID>(const_cast<char*>(id.data())),
                                          nullptr, 0, &type, object.Put());
    if (FAILED(hr) || !object) {
        return FAILED(hr) ? hr : S_FALSE;
    }
    EXPECT_EQ(type, static_cast<ULONG>(MAPI_MESSAGE));
    return object->QueryInterface(kIidMapiProp, message.PutVoid());
}

HRESULT GetProps(IMAPIProp* message, ULONG& count, MapiBuffer<SPropValue>& values) {
    SizedSPropTagArray(3, tags) = {3, {kProps[0], kProps[1], kProps[2]}};
    const HRESULT hr = message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE,
                                         &count, values.Put());
    return SUCCEEDED(hr) && !values ? S_FALSE : hr;
}

// The raw text read as the reply reads it, 255 bytes at a time until a short read; the
// stream's size must match what was read.
HRESULT ReadRaw(IMAPIProp* message, std::string& raw, int& reads) {
    ComPtr<IUnknown> property;
    HRESULT hr = message->OpenProperty(PR_CE_MIME_TEXT, nullptr, 0, 0, property.Put());
    ComPtr<IStream> stream;
    if (FAILED(hr) || FAILED(hr = property->QueryInterface(IID_IStream, stream.PutVoid()))) {
        return hr;
    }
    STATSTG stat;
    if (FAILED(hr = stream->Stat(&stat, STATFLAG_NONAME))) {
        return hr;
    }
    for (char buf[255];; ++reads) {
        ULONG got = 0;
        if (FAILED(hr = stream->Read(buf, 255, &got))) {
            return hr;
        }
        raw.append(buf, got);
        if (got < 255) {
            return stat.cbSize.QuadPart == raw.size() ? S_OK : E_UNEXPECTED;
        }
    }
}

// A text property, or (no text) the error value of a missing one.
void ExpectText(const SPropValue& v, ULONG tag, const char16_t* text) {
    if (text == nullptr) {
        EXPECT_EQ(v.ulPropTag, PROP_TAG(PT_ERROR, PROP_ID(tag)));
        EXPECT_EQ(v.Value.err, MAPI_E_NOT_FOUND);
    } else {
        EXPECT_EQ(v.ulPropTag, tag);
        EXPECT_EQ(std::u16string(U(v.Value.lpszW)), text);
    }
}

class Cemapi : public ::testing::Test {
protected:
    void SetUp() override {
        profile_.AddMessage("b", "m1", SampleRaw(),
                            "class=IPM.Note\r\nsender=sara@example.jp\r\nsubject=さら\r\n");
        profile_.AddMessage("b", "propsOnly", std::nullopt, "class=IPM.Note\r\n");
        profile_.AddMessage("a", "rawOnly", "Subject: x\r\n\r\nbody\r\n", std::nullopt);
    }
    void TearDown() override { EXPECT_EQ(Leftovers(), ""); }

    testing_support::TestDeviceProfile profile_{
        "sync|ActiveSync\r\nnameless\r\na|会社\r\nb|会社\r\nempty|\r\n"};
};

// Missing properties come back as error values, a missing raw text as not found. (The store
// table is read through the account catalogue's tests.)
TEST_F(Cemapi, ServesMessagesAsTheProfileHasThem) {
    const struct {
        std::string id;
        HRESULT status;
        const char16_t* props[3];  // null: missing
        std::optional<std::string> raw;
    } cases[] = {
        {"3/m1", S_OK, {u"IPM.Note", u"sara@example.jp", u"さら"}, SampleRaw()},
        {"3/propsOnly", MAPI_W_ERRORS_RETURNED, {u"IPM.Note", nullptr, nullptr}, std::nullopt},
        {"2/rawOnly", MAPI_W_ERRORS_RETURNED, {}, "Subject: x\r\n\r\nbody\r\n"},
    };
    ComPtr<IMAPISession> session;
    ASSERT_EQ(Logon(session), S_OK);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        ComPtr<IMAPIProp> message;
        ASSERT_EQ(Open(session.Get(), c.id, message), S_OK);
        ULONG count = 0;
        MapiBuffer<SPropValue> values;
        ASSERT_EQ(GetProps(message.Get(), count, values), c.status);
        ASSERT_EQ(count, 3u);
        for (int i = 0; i < 3; ++i) {
            ExpectText(values.Get()[i], kProps[i], c.props[i]);
        }
        std::string raw;
        int reads = 1;
        EXPECT_EQ(ReadRaw(message.Get(), raw, reads), c.raw ? S_OK : MAPI_E_NOT_FOUND);
        EXPECT_EQ(raw, c.raw.value_or(""));
        EXPECT_EQ(reads, c.raw ? static_cast<int>(c.raw->size() / 255 + 1) : 1);
    }
}

TEST_F(Cemapi, ComposeIsJournalledUnlessItFails) {
    MAILCOMPOSEFIELDS f = {};
    f.cbSize = sizeof f;
    f.dwFlags = MCF_ACCOUNT_IS_NAME;
    f.pszTo = L"\"山田\" <yamada@example.jp>";
    f.pszCc = L"";
    f.pszBody = L"-- \r\n署名\r\n";
    f.pszAccount = L"ActiveSync";
    f.pszMsgClass = L"IPM.Note";
    ASSERT_EQ(MailComposeMessage(&f), S_OK);
    ASSERT_EQ(MailComposeMessage(nullptr), S_OK);
    f.pszAttachments = L"a.txt\0b c.jpg\0";
    f.cAttachments = 2;
    ASSERT_EQ(MailComposeMessage(&f), S_OK);
    f.cbSize = sizeof f - 4;
    EXPECT_EQ(MailComposeMessage(&f), E_INVALIDARG);
    profile_.SetFaults("compose=0x80004005\nsync=0x8000FFFF\n");
    EXPECT_EQ(MailComposeMessage(&f), E_FAIL);
    EXPECT_EQ(MailSyncMessages(nullptr, 0), E_UNEXPECTED);
    SetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE", nullptr);
    EXPECT_EQ(MailComposeMessage(&f), E_FAIL);  // no outbox to write to
    IMAPISession* session = reinterpret_cast<IMAPISession*>(1);
    EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), MAPI_E_LOGON_FAILED);
    EXPECT_EQ(session, nullptr);
    SetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE", W(profile_.Folder().c_str()));
    const std::vector<JournalLine> lines = profile_.Outbox();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].json,
              R"({"call": "MailComposeMessage", "flags": 1, "account": "ActiveSync", )"
              R"("to": "\"山田\" <yamada@example.jp>", "cc": "", "bcc": null, "subject": null, )"
              R"("body": "-- \r\n署名\r\n", "attachments": null, "attachmentCount": 0, )"
              R"("messageClass": "IPM.Note"})");
    EXPECT_EQ(lines[1].json, R"({"call": "MailComposeMessage", "request": null})");
    EXPECT_EQ(lines[2].Raw("attachments"), R"(["a.txt", "b c.jpg"])");
}

// Run only as a child process of the test below: leaves a session and a buffer behind and
// frees a block twice.
TEST(CemapiChild, DISABLED_LeaveThingsBehind) {
    IMAPISession* session = nullptr;
    ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), S_OK);
    void* buffer = nullptr;
    ASSERT_EQ(MAPIAllocateBuffer(8, &buffer), S_OK);
    ASSERT_EQ(MAPIAllocateBuffer(8, &buffer), S_OK);
    EXPECT_EQ(MAPIFreeBuffer(buffer), 0u);
    EXPECT_NE(MAPIFreeBuffer(buffer), 0u);
}

TEST(CemapiProcessEnd, LeftoversAreRecordedInTheProfile) {
    testing_support::TestDeviceProfile profile;
    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    SetEnvironmentVariableW(L"GTEST_OUTPUT", nullptr);  // the child keeps off this run's report
    const auto child = testing_support::RunProcess(
        u"\"" + std::u16string(U(self)) +
        u"\" --gtest_also_run_disabled_tests --gtest_filter=CemapiChild.*");
    EXPECT_EQ(child.exitCode, 0u);
    std::string bytes;
    ASSERT_TRUE(testing_support::ReadBytes(profile.Path(u"live.jsonl"), bytes));
    const auto lines = testing_support::JournalLines(bytes);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].json.substr(lines[0].json.find("\"sessions\"")),
              R"("sessions": 1, "tables": 0, "messages": 0, "streams": 0, "buffers": 1, )"
              R"("badFrees": 1})");
}

}  // namespace
}  // namespace pelmora
