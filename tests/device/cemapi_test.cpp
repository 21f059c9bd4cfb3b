// The stand-in messaging library through its exports and interfaces, used the way the
// product does not: its edges and what it leaves behind at process end.
#include "sdk/cemapi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wide.h"
#include "tests/device/device_profile_fixture.h"

namespace pelmora {
namespace {

using testing_support::JournalLine;
using testing_support::Leftovers;

// What the product never asks for: a null request and attachments are journalled, a short
// structure is refused, and without a profile nothing is composed and no session opens.
// (Messages served, compose fields and the fault switches are met through the product in
// the reply and send/receive end-to-end tests.)
TEST(Cemapi, ComposeJournalsWhatTheProductNeverSends) {
    testing_support::TestDeviceProfile profile;
    MAILCOMPOSEFIELDS f = {};
    f.cbSize = sizeof f;
    f.pszAttachments = L"a.txt\0b c.jpg\0";
    f.cAttachments = 2;
    ASSERT_EQ(MailComposeMessage(nullptr), S_OK);
    ASSERT_EQ(MailComposeMessage(&f), S_OK);
    f.cbSize = sizeof f - 4;
    EXPECT_EQ(MailComposeMessage(&f), E_INVALIDARG);
    SetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE", nullptr);
    f.cbSize = sizeof f;
    EXPECT_EQ(MailComposeMessage(&f), E_FAIL);  // no outbox to write to
    IMAPISession* session = reinterpret_cast<IMAPISession*>(1);
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
    EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), MAPI_E_LOGON_FAILED);
    MAPIUninitialize();
    EXPECT_EQ(session, nullptr);
    SetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE", W(profile.Folder().c_str()));
    const std::vector<JournalLine> lines = profile.Outbox();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].json, R"({"call": "MailComposeMessage", "request": null})");
    EXPECT_EQ(lines[1].Raw("attachments"), R"(["a.txt", "b c.jpg"])");
    EXPECT_EQ(Leftovers(), "");
}

// "MAPIInitialize": it increments the subsystem's reference count and MAPIUninitialize
// decrements it, and calls made before MAPI is initialized return MAPI_E_NOT_INITIALIZED.
TEST(Cemapi, LogonOnlyWhileMapiIsInitialized) {
    testing_support::TestDeviceProfile profile;
    const struct {
        int initializes;
        int uninitializes;
        HRESULT logon;
    } rows[] = {
        {0, 0, MAPI_E_NOT_INITIALIZED},
        {1, 0, S_OK},
        {2, 1, S_OK},  // counted: one MAPIUninitialize leaves it initialized
        {1, 1, MAPI_E_NOT_INITIALIZED},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.initializes << " up, " << row.uninitializes << " down");
        for (int i = 0; i < row.initializes; ++i) {
            ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        }
        for (int i = 0; i < row.uninitializes; ++i) {
            MAPIUninitialize();
        }
        IMAPISession* session = reinterpret_cast<IMAPISession*>(1);
        EXPECT_EQ(MAPILogonEx(0, nullptr, nullptr, 0, &session), row.logon);
        EXPECT_EQ(session != nullptr, row.logon == S_OK);
        if (session != nullptr) {
            session->Release();
        }
        for (int i = row.uninitializes; i < row.initializes; ++i) {
            MAPIUninitialize();
        }
    }
    EXPECT_EQ(Leftovers(), "");
}

// Run only as a child process of the test below: leaves a session and a buffer behind and
// frees a block twice.
TEST(CemapiChild, DISABLED_LeaveThingsBehind) {
    ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
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
