// The send/receive command's steps over an in-memory device: what is called in which order,
// the registry byte for byte while the sync asks for its connection and after the command,
// also when a write fails anywhere in the switch or the restore; what a later start undoes of
// a switch left in place, and what it leaves.
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

// Internet (0): a enabled, b off, "ActiveSync" at 2, the proxy entry; work (1): w off, x
// enabled.
const char kPlain[] = "a=1@0 b=0@0 ActiveSync=2@0 w=0@1 x=1@1 0:p0";
// Two enabled connections in the first destination, a proxy key without values in the
// second, and a third destination.
const char kRich[] = "a=1@0 b=1@0 w=0@1 x=1@1 y=0@2 0:p0 1:-";

// The process ends inside the picker (a command killed after its switch).
struct Killed {};

// A run of the command: the device, the name set, the dialog's and the picker's answers, the
// calls expected, and the device that the registry is when the sync asks for its connection.
struct Scenario {
    const char* title = "";
    const char* device = kPlain;
    const char16_t* connectName = u"w";
    size_t answer = 0;
    int entry3 = 1;  // -1: out of memory there; -2: killed there
    std::string calls = "";
    const char* switched = nullptr;
};

// Answers as the scenario says and records each call: the dialog with the labels it shows,
// entry 3 with whether the switch was flushed, the sync's wait with the writes made and, in
// `switched`, the registry then.
class FakeDevice : public SendReceiveDevice {
public:
    FakeDevice(const Scenario& s, Device& device) : s_(s), device_(device) {}
    std::string calls = "", switched = "";

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
        switched = DumpKey(device_.Registry());
        Call("connected#" + std::to_string(destination.data1 - testing_support::Guid(0).data1) +
                 "(" + std::to_string(device_.Registry().writes) + " writes)",
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

// One command on the object whose choice list is `list`: its calls.
std::string RunCommand(Device& device, const Scenario& s, MemoryStore& store,
                       std::vector<DualString>* list = nullptr, std::string* switched = nullptr) {
    FakeDevice fake(s, device);
    SendReceivePlatform platform{fake, device, device.Registry(), store};
    store.unflushed = &device.Registry().unflushed;
    std::vector<DualString> ownList;
    std::vector<DualString>& choiceList = list != nullptr ? *list : ownList;
    try {
        RunSendReceive(platform, s.connectName, choiceList);
    } catch (const std::bad_alloc&) {
        fake.calls += "out-of-memory ";
    } catch (const Killed&) {
        return fake.calls + "killed ";
    }
    EXPECT_TRUE(choiceList.empty());  // the next run lists the connections once again
    EXPECT_FALSE(store.removedUnflushed);
    if (switched != nullptr) {
        *switched = fake.switched;
    }
    return fake.calls;
}

// The switch to w: the work network gets the proxy entry, a copy of the template whose "SrcId"
// is its own identifier; only w and x change "Enabled", the Internet's connections stay.
const char kToW[] = "bind 3 8 sync connected#1(13 writes) unbind ";
const char kSwitchedToW[] = "a=1@0 b=0@0 ActiveSync=2@0 w=1@1 x=0@1 1:p0";

const Scenario kFlowRows[] = {
    {.title = "by_name", .calls = kToW, .switched = kSwitchedToW},
    {.title = "proxy_key_named_in_lower_case",
     .device = "a=1@0 b=0@0 ActiveSync=2@0 w=0@1 x=1@1 10:p0",
     .calls = kToW,
     .switched = kSwitchedToW},
    // The destination keeps its proxy key; a and b are already as wanted, 2 is not 1 and
    // stays; the work network's missing proxy key is deleted all the same.
    {.title = "to_a_writes_only_the_proxy_values",
     .connectName = u"a",
     .calls = "bind 3 8 sync connected#0(11 writes) unbind ",
     .switched = kPlain},
    {.title = "name_differs_in_case_dialog_picks_activesync",
     .connectName = u"W",
     .answer = 1,
     .calls = "bind dialog(a Outlookメール b w x ) 3 8 sync connected#0(13 writes) unbind ",
     .switched = "a=0@0 b=0@0 ActiveSync=1@0 w=0@1 x=1@1 0:p0"},
    {.title = "dialog_answers_past_the_list",
     .connectName = u"",
     .answer = 5,
     .calls = "bind dialog(a Outlookメール b w x ) unbind "},
    {.title = "entry3_answers_other_than_1", .entry3 = 2, .calls = "bind 3 unbind "},
    {.title = "out_of_memory_after_switch", .entry3 = -1, .calls = "bind 3 unbind out-of-memory "},
    {.title = "proxy_without_enabled_connection",
     .device = "a=0@0 w=2@1 0:p0",
     .calls = "bind unbind "},
};

// Each row twice on the same object: the second run lists and does the same. The registry
// while the sync asks for its connection is, byte for byte, that of the device the row names.
TEST(Flow, RunsItsStepsAndPutsTheRegistryBack) {
    for (const Scenario& row : kFlowRows) {
        SCOPED_TRACE(row.title);
        Device device(row.device);
        const std::string before = DumpKey(device.Registry());
        MemoryStore store;
        std::vector<DualString> choiceList;
        std::string switched[2];
        for (std::string& registryThen : switched) {
            device.Registry().writes = 0;
            EXPECT_EQ(RunCommand(device, row, store, &choiceList, &registryThen), row.calls);
            EXPECT_EQ(DumpKey(device.Registry()), before);
            EXPECT_FALSE(store.text.has_value());
        }
        if (row.switched != nullptr) {
            Device wanted(row.switched);
            EXPECT_EQ(switched[0], DumpKey(wanted.Registry()));
            EXPECT_EQ(switched[1], switched[0]);
        }
    }
}

// Every write of the switch and of the restore failing in turn, once or for good: the
// command still leaves the registry as it found it, or its snapshot for the next start.
TEST(FlowWriteFailures, EveryWriteFailingOnceOrForGood) {
    for (const char* layout : {kPlain, kRich}) {
        Scenario scenario{.device = layout};
        Device clean(layout);
        MemoryStore store;
        RunCommand(clean, scenario, store);
        ASSERT_GT(clean.Registry().writes, 4);
        for (int n = 1; n <= clean.Registry().writes; ++n) {
            for (bool onward : {false, true}) {
                SCOPED_TRACE(testing::Message() << "write " << n << (onward ? " onward" : ""));
                Device device(layout);
                const std::string before = DumpKey(device.Registry());
                device.Registry().failWrite = n;
                device.Registry().failOnward = onward;
                RunCommand(device, scenario, store);
                if (!onward) {
                    EXPECT_FALSE(store.text.has_value());
                    EXPECT_EQ(DumpKey(device.Registry()), before);
                }
                device.Registry().failWrite = 0;
                EXPECT_TRUE(RecoverRouting(store, device.Registry()));
                EXPECT_FALSE(store.text.has_value());
                EXPECT_EQ(DumpKey(device.Registry()), before);
            }
        }
    }
}

// A change made by hand after a command was killed past its switch: a value set, or (with no
// value name) the key removed.
struct KillRow {
    const char* title;
    const char16_t* connectName;
    std::u16string key;
    const char16_t* value;
    uint32_t type;
    std::vector<uint8_t> data;

    void Apply(ConnectionRegistry& registry) const {
        OpenRegistryKey k(registry);
        if (value == nullptr) {
            EXPECT_EQ(registry.DeleteKey(key.c_str()), kRegistryOk);
        } else {
            ASSERT_TRUE(k.Open(key.c_str(), kKeyReadWrite));
            registry.SetValue(k.Get(), value, type, data.data(),
                              static_cast<uint32_t>(data.size()));
        }
    }
};

const std::u16string kConnections = std::u16string(kConnectionsKeyPath) + u"\\";

const KillRow kKillRows[] = {
    // b: in the Internet destination, which the switch to w left alone.
    {"connection_the_switch_left", u"w", kConnections + u"b", u"Enabled", kRegistryDword, Dword(1)},
    // w was switched on; 2 is neither what it was nor what the switch wrote.
    {"connection_the_switch_wrote", u"w", kConnections + u"w", u"Enabled", kRegistryDword,
     Dword(2)},
    // The switch to b rewrote the Internet proxy entry, Proxy with the same text.
    {"proxy_value_the_switch_wrote", u"b", kProxyKeyPrefix + testing_support::IdText(0), u"Proxy",
     kRegistryString, Bytes(u"by hand")},
    // x was switched off; its key is gone when the undo comes.
    {"connection_removed", u"w", kConnections + u"x", nullptr, 0, {}},
};

// Killed after the switch, then a change by hand: the next start undoes the rest of the switch
// and keeps the change.
TEST(KilledAfterSwitch, NextStartKeepsChangesMadeSince) {
    for (const KillRow& row : kKillRows) {
        SCOPED_TRACE(row.title);
        std::string expected;
        {
            Device changed(kPlain);
            row.Apply(changed.Registry());
            expected = DumpKey(changed.Registry());
        }
        Device device(kPlain);
        MemoryStore store;
        const Scenario killed{.connectName = row.connectName, .entry3 = -2};
        EXPECT_EQ(RunCommand(device, killed, store), "bind 3 unbind killed ");
        ASSERT_TRUE(store.text.has_value());
        row.Apply(device.Registry());
        EXPECT_EQ(RunCommand(device, {.entry3 = 0}, store), "bind 3 unbind ");
        EXPECT_FALSE(store.text.has_value());
        EXPECT_EQ(DumpKey(device.Registry()), expected);
    }
}

// A snapshot naming a key outside the Connection Manager's: every other key is of its own.
const char kForeignSnapshot[] =
    "pelmora-routing 2\nA 0\nK whole 1 0 "
    "43006f006d006d005c0043006f006e006e004d00670072005c004f007400680065007200\n"
    "B 4 4100 01000000\nend\n";

struct StoreRow {
    const char* stored;  // the snapshot kept before the command, if any
    const char* fault;   // of the store or the registry: "save", "take", "unreadable", "owned"
    std::string calls;
    const char* after;  // the snapshot then: "kept", "set aside" or "" (none)
};

const StoreRow kStoreRows[] = {
    {nullptr, "save", "bind unbind ", ""},
    {nullptr, "take", "bind unbind ", ""},
    {"x", "unreadable", "", "kept"},
    {nullptr, "owned", "", ""},
    // Only a whole snapshot naming only the Connection Manager's keys is restored.
    {kForeignSnapshot, "", kToW, "set aside"},
    {"pelmora-routing 2\nA 0\n", "", kToW, "set aside"},                          // no end
    {"pelmora-routing 1\nA 0\nend\n", "", kToW, "set aside"},                     // another form
    {"pelmora-routing 2\nA 0\nB 4 4100 01000000\nend\n", "", kToW, "set aside"},  // no key
    {"pelmora-routing 2\nA 0\nK whole 1 1 410\nend\n", "", kToW, "set aside"},    // odd hex
    {"pelmora-routing 2\nA 0\nend\nK whole 0 0 4100\n", "", kToW, "set aside"},   // past the end
};

// What the snapshot's store answers decides whether a switch is made: none without a kept
// snapshot, none over one that may hold the user's routing, none while another command owns
// the routing; a snapshot that cannot be used is set aside and changes nothing.
TEST(SnapshotStore, NoSwitchWithoutAKeptSnapshot) {
    for (const StoreRow& row : kStoreRows) {
        SCOPED_TRACE(testing::Message() << row.fault << " " << (row.stored ? row.stored : ""));
        Device device(kPlain);
        const std::string before = DumpKey(device.Registry());
        MemoryStore store;
        if (row.stored != nullptr) {
            store.text = row.stored;
        }
        const std::string fault = row.fault;
        store.unreadable = fault == "unreadable";
        store.ownedElsewhere = fault == "owned";
        store.failSave = fault == "save";
        device.Registry().failValueEnum = fault == "take";
        EXPECT_EQ(RunCommand(device, {}, store), row.calls);
        device.Registry().failValueEnum = false;
        EXPECT_EQ(store.text.has_value()   ? "kept"
                  : store.setAside.empty() ? ""
                                           : "set aside",
                  std::string(row.after));
        EXPECT_EQ(DumpKey(device.Registry()), before);
        if (row.calls != kToW) {
            EXPECT_EQ(device.Registry().writes, 0);
        }
    }
}

// A restore that fails every time blocks new switches for a bounded number of starts, then
// its snapshot is set aside for the user and commands run again.
TEST(SnapshotStore, ARestoreFailingEveryTimeIsSetAsideAfterItsAttempts) {
    Device device(kPlain);
    MemoryStore store;
    device.Registry().failWrite = 14;  // every write after the switch's 13
    device.Registry().failOnward = true;
    EXPECT_EQ(RunCommand(device, {}, store), kToW);
    ASSERT_TRUE(store.text.has_value());
    for (uint32_t attempt = 1; attempt < kRecoveryAttempts; ++attempt) {
        EXPECT_EQ(RunCommand(device, {}, store), "");
    }
    // The last attempt fails too: set aside, and the command runs (its switch writes nothing).
    EXPECT_EQ(RunCommand(device, {.entry3 = 0}, store), "bind 3 unbind ");
    EXPECT_EQ(store.setAside.size(), 1u);
    EXPECT_FALSE(store.text.has_value());
}

}  // namespace
}  // namespace pelmora
