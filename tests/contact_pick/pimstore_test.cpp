// The emulated device's contacts library on its own: the chooser's answers for what the
// caller asks.
#include <objbase.h>

#include <gtest/gtest.h>

#include "device/pimstore/pimstore_testing.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "sdk/pimstore.h"
#include "tests/device/device_profile_fixture.h"

namespace pelmora {
namespace {

using testing_support::TestDeviceProfile;

TEST(ChooseContact, AnswersWhatTheCallerAskedFor) {
    GetDesktopWindow();  // see PickContactAddress's test
    TestDeviceProfile profile;
    ASSERT_TRUE(testing_support::WriteBytes(profile.Path(u"contacts.txt"),
                                            "山田 花子|hanako@example.jp\r\n鈴木 次郎\r\n"));
    const CEPROPID email[] = {PIMPR_EMAIL1_ADDRESS};
    struct Row {
        UINT size;
        DWORD flags;
        const wchar_t* pick;
        HRESULT hr;
        const char16_t* name;  // null: none returned
        const char16_t* value;
        CEOID oid;
    } const rows[] = {
        {sizeof(CHOOSECONTACT), 25, L"山田 花子", S_OK, u"山田 花子", u"hanako@example.jp", 1},
        {sizeof(CHOOSECONTACT), CCF_RETURNPROPERTYVALUE, L"山田 花子", S_OK, nullptr,
         u"hanako@example.jp", 1},
        {sizeof(CHOOSECONTACT), 0, L"山田 花子", S_OK, nullptr, nullptr, 1},
        {sizeof(CHOOSECONTACT), 25, L"鈴木 次郎", S_OK, u"鈴木 次郎", nullptr, 2},
        {sizeof(CHOOSECONTACT), 25, L"nobody", E_ABORT, nullptr, nullptr, 0},
        {sizeof(CHOOSECONTACT) - 4, 25, L"山田 花子", E_INVALIDARG, nullptr, nullptr, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "flags " << row.flags << " size " << row.size);
        SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", row.pick);
        CHOOSECONTACT choose = {};
        choose.cbSize = row.size;
        choose.dwFlags = row.flags;
        choose.cRequiredProperties = 1;
        choose.rgpropidRequiredProperties = email;
        EXPECT_EQ(ChooseContact(&choose), row.hr);
        const Bstr name(choose.bstrContactName);
        const Bstr value(choose.bstrPropertyValueSelected);
        EXPECT_EQ(name ? std::u16string(U(name.Get())) : u"(none)",
                  row.name ? row.name : u"(none)");
        EXPECT_EQ(value ? std::u16string(U(value.Get())) : u"(none)",
                  row.value ? row.value : u"(none)");
        EXPECT_EQ(choose.oidContactID, row.oid);
        EXPECT_EQ(choose.propidSelected, row.hr == S_OK ? PIMPR_EMAIL1_ADDRESS : 0u);
    }
    SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", nullptr);
}

}  // namespace
}  // namespace pelmora
