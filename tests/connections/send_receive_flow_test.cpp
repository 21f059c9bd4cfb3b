// The send/receive command's steps over an in-memory device: what is called in which order,
// the routing value by value while the sync asks for its connection, and the registry put
// back byte for byte, also when a write fails anywhere in the switch or the restore; what a
// later start undoes of a switch left in place, and what it leaves.
#include "connections/send_receive_flow.h"

#include <gtest/gtest.h>

#include <new>
#include <optional>
#include <string>
#include <vector>

#include "accounts/account_label.h"
#include "tests/connections/test_device.h"
#include "text/utf8.h"

namespace pelmora {
namespace {

using testing_support::Bytes;
using testing_support::Device;
using testing_support::DumpKey;
using testing_support::Dword;
using testing_support::RoutingValues;

// Internet (0): a enabled, b off, "ActiveSync" at 2; work (1): w off, x enabled.
const char kPlain[] = "a=1@0 b=0@0 ActiveSync=2@0 w=0@1 x=1@1";
// Two enabled connections in the first destination, and a third destination.
const char kRich[] = "a=1@0 b=1@0 w=0@1 x=1@1 y=0@2";

// The process ends inside the picker (a command killed after its switch).
struct Killed {};

// A run of the command: the device, the name set, the dialog's and the picker's answers, and
// the calls expected, the sync's with the routing in force then.
struct Scenario {
    const char* title = "";
    const char* conns = kPlain;
    const char* proxies = "0:p0";
    const char16_t* connectName = u"w";
    size_t answer = 0;
    int entry3 = 1;  // -1: out of memory there; -2: killed there
    std::string calls = "";
};

// Answers as the scenario says and records each call: the dialog with the labels it shows,
// entry 3 with whether the switch was flushed, the sync with the routing and the writes made.
class FakeDevice : public SendReceiveDevice {
public:
    FakeDevice(const Scenario& s, Device& device) : s_(s), device_(device) {}
    std::string calls = "";

    bool BindPicker() override { return Call("bind", true); }
    int PickerEntry3(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override {
        Call(device_.Registry().unflushed ? "3(unflushed)" : "3", 0);
        if (s_.entry3 == -1) {
            throw std::bad_alloc();
        }
        if (s_.entry3 == -2) {
            throw Killed{};
        }
        return s_.entry3;
    }
    int PickerEntry8() override { return Call("8", 1); }
    void UnbindPicker() override { Call("unbind", 0); }
    bool ChooseConnection(const std::vector<DualString>& names, size_t& choice) override {
        std::string shown;
        for (const DualString& name : names) {
            shown += Utf8FromWide(AccountDisplayLabel(name).Wide()) + " ";
        }
        choice = s_.answer;
        return Call("dialog(" + shown + ")", true);
    }
    int32_t SyncMessages() override { return Call("sync", 0x40); }
    void AwaitSyncConnection(const DestinationGuid& destination) override {
        Call("connected#" + std::to_string(destination.data1 - testing_support::Guid(0).data1) +
                 "(" + RoutingValues(device_.Registry()) +
                 std::to_string(device_.Registry().writes) + " writes)",
             0);
    }

private:
    template <typename T>
    T Call(const std::string& name, T answer) {
        calls += name + " ";
        return answer;
    }
    const Scenario& s_;
    Device& device_;
};

struct MemoryStore : SnapshotStore {
    std::optional<std::string> text;
    std::vector<std::string> setAside;
    bool ownedElsewhere = false;
    bool unreadable = false;
    bool failSave = false;
    const bool* unflushed = nullptr;  // the registry's: a removal must come after a flush
    bool removedUnflushed = false;

    bool Own() override { return !ownedElsewhere; }
    void Disown() override {}
    SnapshotLoad Load(std::string& out) override {
        if (unreadable) {
            return SnapshotLoad::kUnreadable;
        }
        return text ? (out = *text, SnapshotLoad::kText) : SnapshotLoad::kNone;
    }
    bool Save(const std::string& in) override { return !failSave && (text = in, true); }
    bool Remove() override {
        removedUnflushed = removedUnflushed || (unflushed != nullptr && *unflushed);
        return (text.reset(), true);
    }
    bool SetAside() override {
        setAside.push_back(text.value_or(""));
        return Remove();
    }
};

// One command: its calls. The result is the sync's, 0 without one.
std::string RunCommand(Device& device, const Scenario& s, MemoryStore& store,
                       std::vector<DualString>& choiceList) {
    FakeDevice fake(s, device);
    SendReceivePlatform platform{fake, device, device.Registry(), store};
    store.unflushed = &device.Registry().unflushed;
    int32_t result = 0;
    try {
        result = RunSendReceive(platform, s.connectName, choiceList);
    } catch (const std::bad_alloc&) {
        fake.calls += "out-of-memory ";
    } catch (const Killed&) {
        fake.calls += "killed ";
        return fake.calls;
    }
    EXPECT_TRUE(choiceList.empty());  // the next run lists the connections once again
    EXPECT_FALSE(store.removedUnflushed);
    const bool synced = fake.calls.find("sync") != std::string::npos;
    EXPECT_EQ(result, synced ? 0x40 : fake.calls.empty() ? kRoutingBusy : 0);
    return fake.calls;
}
std::string RunCommand(Device& device, const Scenario& s, MemoryStore& store) {
    std::vector<DualString> choiceList;
    return RunCommand(device, s, store, choiceList);
}

// The switch to w: the work network gets the proxy entry, a copy of the template whose
// "SrcId" is its own identifier; only w and x change "Enabled", the Internet's connections
// stay as they are.
const char kToW[] =
    "bind 3 8 sync connected#1(a=1 ActiveSync=2 b=0 w=1 x=0 | HTTP-#1 ConnectionGUID=cp0 "
    "DestId=dp0 Enable=1 ExtraInfo= Override= Proxy=p0 SrcId=#1 Type=2 Username= 13 writes) "
    "unbind ";

const Scenario kFlowRows[] = {
    {.title = "by_name", .calls = kToW},
    {.title = "proxy_key_named_in_lower_case", .proxies = "10:p0", .calls = kToW},
    // The destination keeps its proxy key; a and b are already as wanted, 2 is not 1 and
    // stays; the work network's missing proxy key is deleted all the same.
    {.title = "to_a_writes_only_the_proxy_values",
     .connectName = u"a",
     .calls = "bind 3 8 sync connected#0(a=1 ActiveSync=2 b=0 w=0 x=1 | HTTP-#0 "
              "ConnectionGUID=cp0 DestId=dp0 Enable=1 ExtraInfo= Override= Proxy=p0 SrcId=#0 "
              "Type=2 Username= 11 writes) unbind "},
    {.title = "name_differs_in_case_dialog_picks_activesync",
     .connectName = u"W",
     .answer = 1,
     .calls = "bind dialog(a Outlookメール b w x ) 3 8 sync connected#0(a=0 ActiveSync=1 b=0 w=0 "
              "x=1 | HTTP-#0 ConnectionGUID=cp0 DestId=dp0 Enable=1 ExtraInfo= Override= "
              "Proxy=p0 SrcId=#0 Type=2 Username= 13 writes) unbind "},
    {.title = "dialog_answers_past_the_list",
     .connectName = u"",
     .answer = 5,
     .calls = "bind dialog(a Outlookメール b w x ) unbind "},
    {.title = "entry3_answers_other_than_1", .entry3 = 2, .calls = "bind 3 unbind "},
    {.title = "out_of_memory_after_switch", .entry3 = -1, .calls = "bind 3 unbind out-of-memory "},
    {.title = "no_proxy_anywhere", .proxies = "", .calls = "bind unbind "},
    {.title = "proxy_without_enabled_connection", .conns = "a=0@0 w=2@1", .calls = "bind unbind "},
    {.title = "empty_catalogue", .conns = "", .calls = "bind unbind "},
    {.title = "rich_to_the_later_proxy",
     .conns = kRich,
     .proxies = "0:p0 1:p1",
     .calls = "bind 3 8 sync connected#1(a=1 b=1 w=1 x=0 y=0 | HTTP-#1 ConnectionGUID=cp1 "
              "DestId=dp1 Enable=1 ExtraInfo= Override= Proxy=p1 SrcId=#1 Type=2 Username= 14 "
              "writes) unbind "},
};

// Each row twice on the same object: the second run lists and does the same.
TEST(Flow, RunsItsStepsAndPutsTheRegistryBack) {
    for (const Scenario& row : kFlowRows) {
        SCOPED_TRACE(row.title);
        Device device(row.conns, row.proxies);
        const std::string before = DumpKey(device.Registry());
        MemoryStore store;
        std::vector<DualString> choiceList;
        for (int run = 0; run < 2; ++run) {
            device.Registry().writes = 0;
            EXPECT_EQ(RunCommand(device, row, store, choiceList), row.calls);
            EXPECT_EQ(DumpKey(device.Registry()), before);
            EXPECT_FALSE(store.text.has_value());
        }
    }
}

// Every write of the switch and of the restore failing in turn, once or for good: the
// command still leaves the registry as it found it, or its snapshot for the next start.
TEST(FlowWriteFailures, EveryWriteFailingOnceOrForGood) {
    for (const auto& [conns, proxies] : {std::pair{kPlain, "0:p0"}, std::pair{kRich, "0:p0 1:-"}}) {
        Scenario scenario{.conns = conns, .proxies = proxies};
        Device clean(conns, proxies);
        MemoryStore store;
        RunCommand(clean, scenario, store);
        ASSERT_GT(clean.Registry().writes, 4);
        for (int n = 1; n <= clean.Registry().writes; ++n) {
            for (bool onward : {false, true}) {
                SCOPED_TRACE(testing::Message() << "write " << n << (onward ? " onward" : ""));
                Device device(conns, proxies);
                const std::string before = DumpKey(device.Registry());
                device.Registry().failWrite = n;
                device.Registry().failOnward = onward;
                RunCommand(device, scenario, store);
                if (!onward) {
                    EXPECT_FALSE(store.text.has_value());
                    EXPECT_EQ(DumpKey(device.Registry()), before);
                } else if (store.text.has_value()) {
                    // No new switch over one still to undo.
                    EXPECT_EQ(RunCommand(device, scenario, store), "");
                }
                device.Registry().failWrite = 0;
                EXPECT_TRUE(RecoverRouting(store, device.Registry()));
                EXPECT_FALSE(store.text.has_value());
                EXPECT_EQ(DumpKey(device.Registry()), before);
            }
        }
    }
}

// A change made by hand: a value of a key set (to a DWORD, or to a text when `text` is set),
// or the key removed when `value` is null; the same change on a registry dump.
struct HandChange {
    std::u16string key;
    const char16_t* value;
    uint32_t number;
    const char16_t* text = nullptr;

    std::vector<uint8_t> Data() const { return text != nullptr ? Bytes(text) : Dword(number); }
    void Apply(ConnectionRegistry& registry) const {
        if (value == nullptr) {
            registry.DeleteKey(key.c_str());
            return;
        }
        OpenRegistryKey k(registry);
        ASSERT_TRUE(k.Open(key.c_str(), kKeyReadWrite));
        const std::vector<uint8_t> data = Data();
        registry.SetValue(k.Get(), value, text != nullptr ? kRegistryString : kRegistryDword,
                          data.data(), static_cast<uint32_t>(data.size()));
    }
    std::string On(std::string dump) const {
        const size_t at = dump.find(ToMultibyte(key) + "\n");
        size_t end = dump.find('\n', at) + 1;
        while (end < dump.size() && dump.compare(end, 2, "  ") == 0) {
            end = dump.find('\n', end) + 1;
        }
        if (value == nullptr) {
            return dump.erase(at, end - at);
        }
        std::string line = "  " + ToMultibyte(value) + " " +
                           std::to_string(text != nullptr ? kRegistryString : kRegistryDword) + ":";
        for (uint8_t b : Data()) {
            line += " " + std::to_string(b);
        }
        const size_t old = dump.find("  " + ToMultibyte(value) + " ", at);
        return dump.replace(old, dump.find('\n', old) - old, line);
    }
};

std::u16string ConnectionKey(const char16_t* name) {
    return std::u16string(kConnectionsKeyPath) + u"\\" + name;
}

struct KillRow {
    const char* title;
    const char16_t* connectName;
    HandChange change;
};

const KillRow kKillRows[] = {
    // b: in the Internet destination, which the switch to w left alone.
    {"connection_the_switch_left", u"w", {ConnectionKey(u"b"), u"Enabled", 1}},
    // The switch to b rewrote the Internet proxy entry, Proxy with the same text.
    {"proxy_value_the_switch_wrote",
     u"b",
     {kProxyKeyPrefix + testing_support::IdText(0), u"Proxy", 0, u"by hand"}},
    // x was switched off; its key is gone when the undo comes.
    {"connection_removed", u"w", {ConnectionKey(u"x"), nullptr, 0}},
};

// Killed after the switch, then a change by hand: the next command, and the settings
// program's start, undo the rest of the switch and keep the change.
TEST(KilledAfterSwitch, NextStartKeepsChangesMadeSince) {
    for (const KillRow& row : kKillRows) {
        for (const bool byNextCommand : {false, true}) {
            SCOPED_TRACE(testing::Message() << row.title << (byNextCommand ? " next command" : ""));
            Device device(kPlain, "0:p0");
            const std::string expected = row.change.On(DumpKey(device.Registry()));
            MemoryStore store;
            Scenario killed{.connectName = row.connectName, .entry3 = -2};
            EXPECT_EQ(RunCommand(device, killed, store), "bind 3 unbind killed ");
            ASSERT_TRUE(store.text.has_value());
            row.change.Apply(device.Registry());
            if (byNextCommand) {
                EXPECT_EQ(RunCommand(device, {.entry3 = 0}, store), "bind 3 unbind ");
            } else {
                EXPECT_TRUE(RecoverRouting(store, device.Registry()));
            }
            EXPECT_FALSE(store.text.has_value() || store.removedUnflushed);
            EXPECT_EQ(DumpKey(device.Registry()), expected);
        }
    }
}

// A snapshot naming a key outside the Connection Manager's: every other key is of its own.
const char kForeignSnapshot[] =
    "pelmora-routing 2\nA 0\nK whole 1 0 "
    "43006f006d006d005c0043006f006e006e004d00670072005c004f007400680065007200\n"
    "B 4 4100 01000000\nend\n";

struct StoreRow {
    const char* title;
    const char* stored;  // the snapshot kept before the command, if any
    bool unreadable, ownedElsewhere, failSave, failTake;
    std::string calls = "";
    bool kept;  // the stored snapshot is still there after the command
};

const StoreRow kStoreRows[] = {
    {"save_fails", nullptr, false, false, true, false, "bind unbind ", false},
    {"take_fails", nullptr, false, false, false, true, "bind unbind ", false},
    {"unreadable_snapshot", "x", true, false, false, false, "", true},
    {"owned_by_a_live_command", nullptr, false, true, false, false, "", false},
    {"foreign_key_set_aside", kForeignSnapshot, false, false, false, false, kToW, false},
};

// What the snapshot's store answers decides whether a switch is made: none without a kept
// snapshot, none over one that may hold the user's routing, none while another command owns
// the routing; a snapshot that names a foreign key is set aside unused.
TEST(SnapshotStore, NoSwitchWithoutAKeptSnapshot) {
    for (const StoreRow& row : kStoreRows) {
        SCOPED_TRACE(row.title);
        Device device(kPlain, "0:p0");
        const std::string before = DumpKey(device.Registry());
        MemoryStore store;
        if (row.stored != nullptr) {
            store.text = row.stored;
        }
        store.unreadable = row.unreadable;
        store.ownedElsewhere = row.ownedElsewhere;
        store.failSave = row.failSave;
        device.Registry().failValueEnum = row.failTake;
        EXPECT_EQ(RunCommand(device, {}, store), row.calls);
        device.Registry().failValueEnum = false;
        EXPECT_EQ(store.text.has_value(), row.kept);
        EXPECT_EQ(DumpKey(device.Registry()), before);
        if (row.calls != kToW) {
            EXPECT_EQ(device.Registry().writes, 0);
        }
    }
}

// A restore that fails every time blocks new switches for a bounded number of starts, then
// its snapshot is set aside for the user and commands run again.
TEST(SnapshotStore, ARestoreFailingEveryTimeIsSetAsideAfterItsAttempts) {
    Device device(kPlain, "0:p0");
    MemoryStore store;
    device.Registry().failWrite = 14;  // every write after the switch's 13
    device.Registry().failOnward = true;
    EXPECT_EQ(RunCommand(device, {}, store), kToW);
    ASSERT_TRUE(store.text.has_value());
    for (uint32_t attempt = 1; attempt < kRecoveryAttempts; ++attempt) {
        EXPECT_EQ(RunCommand(device, {}, store), "");
        EXPECT_NE(store.text->find("\nA " + std::to_string(attempt) + "\n"), std::string::npos);
    }
    // The last attempt fails too: set aside, and the command runs (its switch writes nothing).
    EXPECT_EQ(RunCommand(device, {.entry3 = 0}, store), "bind 3 unbind ");
    ASSERT_EQ(store.setAside.size(), 1u);
    EXPECT_NE(store.setAside[0].find("\nA 2\n"), std::string::npos);
    EXPECT_FALSE(store.text.has_value());
}

// Only a whole snapshot naming only the Connection Manager's keys is restored; anything else
// found in the file is set aside unused.
TEST(SnapshotText, OnlyAWholeSnapshotParses) {
    const char* const kBroken[] = {
        "pelmora-routing 2\nA 0\n",                          // no end
        "pelmora-routing 1\nA 0\nend\n",                     // another form
        "pelmora-routing 2\nA 0\nB 4 4100 01000000\nend\n",  // a value before any key
        "pelmora-routing 2\nA 0\nK whole 1 1 410\nend\n",    // odd hexadecimal
        "pelmora-routing 2\nA 0\nend\nK whole 0 0 4100\n",   // past the end
        kForeignSnapshot,
    };
    Device device(kPlain, "0:p0");
    const std::string before = DumpKey(device.Registry());
    for (const char* text : kBroken) {
        RoutingSnapshot snapshot;
        EXPECT_FALSE(snapshot.Parse(text)) << text;
        MemoryStore store;
        store.text = text;
        EXPECT_TRUE(RecoverRouting(store, device.Registry()) && !store.text) << text;
        EXPECT_EQ(store.setAside.size(), 1u) << text;
    }
    EXPECT_EQ(DumpKey(device.Registry()), before);
}

}  // namespace
}  // namespace pelmora
