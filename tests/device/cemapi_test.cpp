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

using testing_support::Leftovers;

// What the product never asks for: a short structure is refused, and without a profile
// nothing is composed. (Messages served, compose fields and the fault switches are met
// through the product in the reply and send/receive end-to-end tests.)
TEST(Cemapi, ComposeRefusesAShortStructureAndWantsAProfile) {
    testing_support::TestDeviceProfile profile;
    MAILCOMPOSEFIELDS f = {};
    f.cbSize = sizeof f - 4;
    EXPECT_EQ(MailComposeMessage(&f), E_INVALIDARG);
    EXPECT_TRUE(profile.Outbox().empty());
    f.cbSize = sizeof f;
    SetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE", nullptr);
    EXPECT_EQ(MailComposeMessage(&f), E_FAIL);
}

// "MAPIInitialize": it increments the subsystem's reference count and MAPIUninitialize
// decrements it, and calls made before MAPI is initialized return MAPI_E_NOT_INITIALIZED.
// Without a device profile there is no session to open.
TEST(Cemapi, LogonOnlyWhileMapiIsInitialized) {
    const struct {
        int initializes;
        int uninitializes;
        bool profile;
        HRESULT logon;
    } rows[] = {
        {0, 0, true, MAPI_E_NOT_INITIALIZED},
        {2, 1, true, S_OK},  // counted: one MAPIUninitialize leaves it initialized
        {1, 1, true, MAPI_E_NOT_INITIALIZED},
        {1, 0, false, MAPI_E_LOGON_FAILED},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.initializes << " up, " << row.uninitializes
                                        << " down, profile " << row.profile);
        testing_support::TestDeviceProfile profile;
        if (!row.profile) {
            SetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE", nullptr);
        }
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
    EXPECT_EQ(testing_support::RunTestInChild(u"CemapiChild.*").exitCode, 0u);
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
