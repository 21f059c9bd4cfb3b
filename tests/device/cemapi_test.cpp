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
    ASSERT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, session.Put()), S_OK);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        ComPtr<IUnknown> object;
        ULONG type = 0;
        ASSERT_EQ(session->OpenEntry(static_cast<ULONG>(c.id.size()),
                                     reinterpret_cast<LPENTRYID>(const_cast<char*>(c.id.data())),
                                     nullptr, 0, &type, object.Put()),
                  S_OK);
        EXPECT_EQ(type, static_cast<ULONG>(MAPI_MESSAGE));
        ComPtr<IMAPIProp> message;
        ASSERT_EQ(object->QueryInterface(kIidMapiProp, message.PutVoid()), S_OK);
        SizedSPropTagArray(3, tags) = {3, {kProps[0], kProps[1], kProps[2]}};
        ULONG count = 0;
        MapiBuffer<SPropValue> values;
        ASSERT_EQ(message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count,
                                    values.Put()),
                  c.status);
        ASSERT_EQ(count, 3u);
        for (int i = 0; i < 3; ++i) {
            const SPropValue& v = values.Get()[i];
            // A missing property is an error value.
            EXPECT_EQ(v.ulPropTag, c.props[i] ? kProps[i] : PROP_TAG(PT_ERROR, PROP_ID(kProps[i])));
            EXPECT_TRUE(c.props[i] ? std::u16string(U(v.Value.lpszW)) == c.props[i]
                                   : v.Value.err == MAPI_E_NOT_FOUND);
        }
        // The raw text read as the reply reads it, 255 bytes at a time until a short read.
        ComPtr<IUnknown> property;
        ASSERT_EQ(message->OpenProperty(PR_CE_MIME_TEXT, nullptr, 0, 0, property.Put()),
                  c.raw ? S_OK : MAPI_E_NOT_FOUND);
        ComPtr<IStream> stream;
        STATSTG stat;
        if (!c.raw || property->QueryInterface(IID_IStream, stream.PutVoid()) != S_OK ||
            stream->Stat(&stat, STATFLAG_NONAME) != S_OK) {
            EXPECT_FALSE(c.raw.has_value());
            continue;
        }
        std::string raw;
        size_t reads = 0;
        for (ULONG got = 255; got == 255; ++reads) {
            char buf[255];
            ASSERT_EQ(stream->Read(buf, 255, &got), S_OK);
            raw.append(buf, got);
        }
        EXPECT_EQ(raw, *c.raw);
        EXPECT_EQ(stat.cbSize.QuadPart, raw.size());
        EXPECT_EQ(reads, raw.size() / 255 + 1);
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
