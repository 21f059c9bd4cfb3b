// The account catalogue against device profiles, healthy and with each fault.
#include "accounts/account_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/cemapi/cemapi_testing.h"
#include "device/include/cemapi.h"
#include "platform/owners.h"
#include "tests/device/device_profile_fixture.h"

namespace pelmora {
namespace {

using testing_support::TestDeviceProfile;

std::vector<std::u16string> Texts(const std::vector<DualString>& list) {
    std::vector<std::u16string> out;
    for (const DualString& s : list) {
        out.push_back(s.Wide());
    }
    return out;
}

using Names = std::vector<std::u16string>;

// The listings release whatever they took from the messaging library.
class Accounts : public ::testing::Test {
  protected:
    void SetUp() override {
        profile_.AddStore("sync", u"ActiveSync");
        profile_.AddStore("sms", std::nullopt);
        profile_.AddStore("home1", u"自宅");
        profile_.AddStore("lower", u"activesync");
        profile_.AddStore("home2", u"自宅");
        profile_.AddStore("blank", u"");
        profile_.AddStore("trail", u"ActiveSync ");
    }
    void TearDown() override {
        CEMAPI_DEVICE_COUNTS c;
        CemapiDeviceCounts(&c);
        EXPECT_EQ(c.sessions, 0);
        EXPECT_EQ(c.tables, 0);
        EXPECT_EQ(c.buffers, 0);
        EXPECT_EQ(c.badFrees, 0);
    }

    TestDeviceProfile profile_;
};

const Names kNames = {u"ActiveSync", u"自宅", u"activesync", u"自宅", u"", u"ActiveSync "};
const Names kLabels = {u"Outlookメール", u"自宅", u"activesync", u"自宅", u"", u"ActiveSync "};

TEST_F(Accounts, BothListingsGiveTheSameEntriesInTableOrder) {
    IMAPISession* session = nullptr;
    std::vector<DualString> names;
    ASSERT_EQ(InitializeMenuObjectAccounts(&session, 0, names), S_OK);
    ComPtr<IMAPISession> held;
    held.Attach(session);
    EXPECT_EQ(Texts(names), kNames) << "a row without a display name takes no index";

    std::vector<DualString> labels;
    ListSettingProgramAccounts(labels);
    EXPECT_EQ(Texts(labels), kLabels);
    ASSERT_EQ(labels.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(AccountDisplayLabel(names[i]), labels[i]) << "index " << i;
    }

    std::vector<DualString> appended = {DualString(u"kept")};
    EXPECT_EQ(ListAccounts(held.Get(), appended), S_OK);
    ASSERT_EQ(appended.size(), kNames.size() + 1);
    EXPECT_EQ(appended[0], u"kept");
    EXPECT_EQ(appended[1].Multibyte(), "ActiveSync");
    EXPECT_EQ(ListAccounts(nullptr, appended), E_INVALIDARG);
}

TEST_F(Accounts, DisplayLabelRenamesExactlyActiveSync) {
    const struct {
        const char16_t* name;
        const char16_t* label;
    } cases[] = {{u"ActiveSync", u"Outlookメール"},   {u"activesync", u"activesync"},
                 {u"ActiveSync ", u"ActiveSync "},    {u" ActiveSync", u" ActiveSync"},
                 {u"ActiveSyncX", u"ActiveSyncX"},    {u"", u""},
                 {u"Outlookメール", u"Outlookメール"}};
    for (const auto& c : cases) {
        EXPECT_EQ(AccountDisplayLabel(DualString(c.name)).Wide(), c.label);
    }
}

// Every fault, through the menu object's initialisation (read view) and the settings
// program's listing.
TEST_F(Accounts, FaultsGiveTheirStatusAndKeepWhatWasRead) {
    const struct {
        const char* faults;
        HRESULT status;  // of the read-view initialisation
        bool sessionKept;
        Names listed;  // the read view's list (the settings program's has the same length)
    } cases[] = {
        {"logon=0x80040111", static_cast<HRESULT>(0x80040111), false, {}},
        {"stores_table=0x8007000E", E_OUTOFMEMORY, true, {}},
        {"set_columns=0x80004005", S_OK, true, {}},
        {"query_rows=0x80040115", static_cast<HRESULT>(0x80040115), true, {}},
        // Rows 0..2 arrive (the nameless one among them), the fourth query fails.
        {"query_rows=0x80040115\nquery_rows_after=3",
         static_cast<HRESULT>(0x80040115),
         true,
         {u"ActiveSync", u"自宅"}},
        {"query_rows=0x80004005\nquery_rows_after=7", E_FAIL, true, kNames},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults);
        profile_.SetFaults(c.faults);
        IMAPISession* session = nullptr;
        std::vector<DualString> names;
        EXPECT_EQ(InitializeMenuObjectAccounts(&session, 0, names), c.status);
        EXPECT_EQ(session != nullptr, c.sessionKept);
        ComPtr<IMAPISession> held;
        held.Attach(session);
        EXPECT_EQ(Texts(names), c.listed);

        std::vector<DualString> labels;
        ListSettingProgramAccounts(labels);
        ASSERT_EQ(labels.size(), c.listed.size());
        for (size_t i = 0; i < labels.size(); ++i) {
            EXPECT_EQ(labels[i], AccountDisplayLabel(DualString(c.listed[i])));
        }
    }
}

TEST_F(Accounts, EmptyStoreTableIsASuccess) {
    profile_.SetStoreList("# no stores\r\n");
    IMAPISession* session = nullptr;
    std::vector<DualString> names;
    EXPECT_EQ(InitializeMenuObjectAccounts(&session, 0, names), S_OK);
    ComPtr<IMAPISession> held;
    held.Attach(session);
    EXPECT_TRUE(held);
    EXPECT_TRUE(names.empty());
    std::vector<DualString> labels;
    ListSettingProgramAccounts(labels);
    EXPECT_TRUE(labels.empty());
}

TEST_F(Accounts, MenuObjectLogsOnOnceAndListsOnlyInTheReadView) {
    // List view: the logon's status, no table read, the session kept.
    IMAPISession* session = nullptr;
    std::vector<DualString> choices;
    profile_.SetFaults("stores_table=0x80004005");
    EXPECT_EQ(InitializeMenuObjectAccounts(&session, 1, choices), S_OK);
    ComPtr<IMAPISession> listView;
    listView.Attach(session);
    EXPECT_TRUE(listView);
    EXPECT_TRUE(choices.empty());
    profile_.SetFaults("logon=0x80040111");
    session = nullptr;
    EXPECT_EQ(InitializeMenuObjectAccounts(&session, 1, choices), static_cast<HRESULT>(0x80040111));
    EXPECT_EQ(session, nullptr);

    // A second initialisation of an object that holds a session does nothing.
    profile_.SetFaults("");
    session = nullptr;
    ASSERT_EQ(InitializeMenuObjectAccounts(&session, 0, choices), S_OK);
    ComPtr<IMAPISession> readView;
    readView.Attach(session);
    ASSERT_EQ(choices.size(), kNames.size());
    IMAPISession* same = readView.Get();
    EXPECT_EQ(InitializeMenuObjectAccounts(&same, 0, choices), S_OK);
    EXPECT_EQ(same, readView.Get());
    EXPECT_EQ(choices.size(), kNames.size()) << "an object never lists twice";

    // Each new object logs on for itself.
    IMAPISession* second = nullptr;
    std::vector<DualString> secondChoices;
    ASSERT_EQ(InitializeMenuObjectAccounts(&second, 0, secondChoices), S_OK);
    ComPtr<IMAPISession> secondHeld;
    secondHeld.Attach(second);
    EXPECT_NE(second, readView.Get());
    EXPECT_EQ(InitializeMenuObjectAccounts(nullptr, 0, secondChoices), E_INVALIDARG);
}

}  // namespace
}  // namespace pelmora
