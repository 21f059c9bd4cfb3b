// Choosing a contact's address through the emulated device's contacts library (registered
// in the prefix), with the profile's contacts and faults; the chooser picks by script.
#include "setting_app/contact_pick_win32.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include "device/pimstore/pimstore_testing.h"
#include "sdk/pimstore.h"
#include "setting_app/contact_pick.h"
#include "tests/device/device_profile_fixture.h"

namespace pelmora {
namespace {

using testing_support::TestDeviceProfile;

// Contacts with an address, with an empty one and with none.
const char kContacts[] = "山田 花子|hanako@example.jp\r\n佐藤 一郎|\r\n鈴木 次郎\r\n";

TEST(PickContactAddress, ChosenAddressIsAddedAndEveryFaultLeavesTheBoxAlone) {
    // Under Wine a process whose first window is COM's hidden one gets no display; the
    // desktop asked for first makes the chooser's window show.
    GetDesktopWindow();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    struct Row {
        const char* faults;
        const char16_t* pick;
        int result;
        const char16_t* box;  // |a| afterwards
    } const rows[] = {
        {"", u"山田 花子", kContactPicked, u"a;hanako@example.jp"},
        {"", u"佐藤 一郎", kContactPicked, u"a"},  // an empty address
        {"", u"鈴木 次郎", kContactPicked, u"a"},  // success without a value
        {"", u"(cancel)", kContactNotPicked, u"a"},
        {"contacts_create=0x80040154", u"山田 花子", kContactNotPicked, u"a"},
        {"contacts_create_null=1", u"山田 花子", kContactNotPicked, u"a"},
        {"contacts_logon=0x80004005", u"山田 花子", kContactNotPicked, u"a"},
        {"contacts_choose=0x8007000E", u"山田 花子", kContactNotPicked, u"a"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.faults) + " pick " + DualString(row.pick).Multibyte());
        TestDeviceProfile profile;
        ASSERT_TRUE(testing_support::WriteBytes(profile.Path(u"contacts.txt"), kContacts));
        profile.SetFaults(row.faults);
        SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK",
                                reinterpret_cast<LPCWSTR>(row.pick));
        DualString address(u"left over");
        EXPECT_EQ(PickContactAddress(address), row.result);
        DualString box(u"a");
        if (row.result == kContactPicked) {
            AppendContactAddress(DualString(u"a"), address, box);
        }
        EXPECT_TRUE(box == row.box) << box.Multibyte();
        CoFreeUnusedLibraries();
        PIMSTORE_DEVICE_COUNTS counts = {-1, -1};
        PimstoreDeviceCounts(&counts);
        EXPECT_EQ(counts.applications, 0);
        EXPECT_EQ(counts.strings, 0);
    }
    SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", nullptr);
    CoUninitialize();
}

// "ChooseContact Property ID's": PIMPR_ALL_EMAIL searches the e-mail addresses and is no
// property of an item itself; "CHOOSECONTACT": propidSelected is the property chosen. So a
// chosen address comes back under its own property, here the first e-mail address.
TEST(ChooseContact, AnswersWithTheChosenAddresssOwnProperty) {
    GetDesktopWindow();
    TestDeviceProfile profile;
    ASSERT_TRUE(testing_support::WriteBytes(profile.Path(u"contacts.txt"), kContacts));
    SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", L"山田 花子");
    const CEPROPID required[] = {PIMPR_ALL_EMAIL};
    CHOOSECONTACT choose = {};
    choose.cbSize = sizeof choose;
    choose.dwFlags = CCF_RETURNPROPERTYVALUE;
    choose.cRequiredProperties = 1;
    choose.rgpropidRequiredProperties = required;
    ASSERT_EQ(ChooseContact(&choose), S_OK);
    EXPECT_EQ(choose.propidSelected, static_cast<CEPROPID>(PIMPR_EMAIL1_ADDRESS));
    SysFreeString(choose.bstrPropertyValueSelected);
    SetEnvironmentVariableW(L"PELMORA_DEVICE_CONTACT_PICK", nullptr);
}

}  // namespace
}  // namespace pelmora
