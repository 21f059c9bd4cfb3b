// The account catalogue against device profiles, healthy and with each fault.
#include "accounts/account_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/cemapi.h"
#include "platform/owners.h"
#include "tests/device/device_profile_fixture.h"

namespace pelmora {
namespace {

using Names = std::vector<std::u16string>;

Names Texts(const std::vector<DualString>& list) {
    Names out;
    for (const DualString& s : list) {
        out.push_back(s.Wide());
    }
    return out;
}

// The read view's initialisation: its status, its list, and whether it kept a session.
struct ReadView {
    HRESULT status;
    Names names;
    ComPtr<IMAPISession> session;
};
ReadView InitializeReadView() {
    ReadView view;
    IMAPISession* session = nullptr;
    std::vector<DualString> names;
    view.status = InitializeMenuObjectAccounts(&session, 0, names);
    view.session.Attach(session);
    view.names = Texts(names);
    return view;
}

Names SettingProgramLabels() {
    std::vector<DualString> labels;
    ListSettingProgramAccounts(labels);
    return Texts(labels);
}

// Each test runs in a process that has started MAPI, as the Inbox and the settings program
// are, and ends with nothing of the messaging library's left alive.
class Accounts : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(MAPIInitialize(nullptr), S_OK); }
    void TearDown() override {
        MAPIUninitialize();
        EXPECT_EQ(testing_support::Leftovers(), "");
    }

    testing_support::TestDeviceProfile profile_{
        "sync|ActiveSync\r\nsms\r\nhome1|自宅\r\nlower|activesync\r\nhome2|自宅\r\nblank|\r\n"
        "trail|ActiveSync \r\n"};
};

const Names kNames = {u"ActiveSync", u"自宅", u"activesync", u"自宅", u"", u"ActiveSync "};

// A row without a display name takes no index; the settings program's list differs from the
// menu's only in showing "ActiveSync" by its label. The listing appends. An empty table is a
// success.
TEST_F(Accounts, BothListingsGiveTheSameEntriesInTableOrder) {
    const ReadView view = InitializeReadView();
    Names labels = kNames;
    labels[0] = u"Outlookメール";
    EXPECT_EQ(SettingProgramLabels(), labels);
    std::vector<DualString> appended = {DualString(u"kept")};
    EXPECT_EQ(ListAccounts(view.session.Get(), appended), S_OK);
    EXPECT_EQ(appended.size(), kNames.size() + 1);

    ASSERT_TRUE(testing_support::WriteBytes(profile_.Path(u"stores.txt"), "# no stores\r\n"));
    const ReadView empty = InitializeReadView();
    EXPECT_TRUE(empty.status == S_OK && empty.session && empty.names.empty());
    EXPECT_TRUE(SettingProgramLabels().empty());
}

// Every fault, through the menu object's initialisation and the settings program's listing.
// Rows read before a failing query stay. A process that never started MAPI is refused its
// logon ("MAPIInitialize": calls made before it return MAPI_E_NOT_INITIALIZED), so its lists
// stay empty.
TEST_F(Accounts, FaultsGiveTheirStatusAndKeepWhatWasRead) {
    const struct {
        const char* faults;
        HRESULT status;
        bool sessionKept;
        Names listed;
        bool mapiStarted = true;
    } cases[] = {
        {"", S_OK, true, kNames},
        {"", MAPI_E_NOT_INITIALIZED, false, {}, false},
        {"logon=0x80040111", MAPI_E_LOGON_FAILED, false, {}},
        {"stores_table=0x8007000E", E_OUTOFMEMORY, true, {}},
        {"set_columns=0x80004005", S_OK, true, {}},
        {"query_rows=0x80040115", MAPI_E_NETWORK_ERROR, true, {}},
        // Rows 0..2 arrive (the nameless one among them), the fourth query fails.
        {"query_rows=0x80040115\nquery_rows_after=3",
         MAPI_E_NETWORK_ERROR,
         true,
         {u"ActiveSync", u"自宅"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.faults) + (c.mapiStarted ? "" : " MAPI not started"));
        profile_.SetFaults(c.faults);
        if (!c.mapiStarted) {
            MAPIUninitialize();
        }
        const ReadView view = InitializeReadView();
        EXPECT_EQ(view.status, c.status);
        EXPECT_EQ(!!view.session, c.sessionKept);
        EXPECT_EQ(view.names, c.listed);
        EXPECT_EQ(SettingProgramLabels().size(), c.listed.size());
        if (!c.mapiStarted) {
            ASSERT_EQ(MAPIInitialize(nullptr), S_OK);
        }
    }
}

}  // namespace
}  // namespace pelmora
