// The stand-in messaging library through its exports, used the way the product does not.
#include "sdk/cemapi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wide.h"
#include "tests/device/device_profile_fixture.h"

namespace pelmora {
namespace {

using testing_support::Leftovers;

// What the product never asks for: a short structure is refused. (Messages served, compose fields
// and the fault switches are met through the product in the reply and send/receive end-to-end
// tests.)
TEST(Cemapi, ComposeRefusesAShortStructure) {
    testing_support::TestDeviceProfile profile;
    MAILCOMPOSEFIELDS f = {};
    f.cbSize = sizeof f - 4;
    EXPECT_EQ(MailComposeMessage(&f), E_INVALIDARG);
    EXPECT_TRUE(profile.Outbox().empty());
}

// "MAPIInitialize": it increments the subsystem's reference count and MAPIUninitialize
// decrements it, and calls made before MAPI is initialized return MAPI_E_NOT_INITIALIZED.
TEST(Cemapi, LogonOnlyWhileMapiIsInitialized) {
    const struct {
        int initializes;
        int uninitializes;
        HRESULT logon;
    } rows[] = {
        {0, 0, MAPI_E_NOT_INITIALIZED},
        {2, 1, S_OK},  // counted: one MAPIUninitialize leaves it initialized
        {1, 1, MAPI_E_NOT_INITIALIZED},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.initializes << " up, " << row.uninitializes << " down");
        testing_support::TestDeviceProfile profile;
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

}  // namespace
}  // namespace pelmora
