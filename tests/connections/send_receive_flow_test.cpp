// The send/receive command's steps over an in-memory device: what is called in which order,
// the routing in force during the sync, and the registry put back byte for byte, also when
// a write fails anywhere in the switch or the restore.
#include "connections/send_receive_flow.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/connections/test_device.h"

namespace pelmora {
namespace {

using testing_support::Device;
using testing_support::DumpKey;

// Internet (0): a enabled, b off, "ActiveSync" at 2; work (1): w off, x enabled.
const char kPlain[] = "a=1@0 b=0@0 ActiveSync=2@0 w=0@1 x=1@1";
// Two enabled connections in the first destination, and a third destination.
const char kRich[] = "a=1@0 b=1@0 w=0@1 x=1@1 y=0@2";

// A run of the command: the device, the name set, the dialog's and the picker's answers, and
// the calls expected, the sync's with the routing in force then.
struct Scenario {
    const char* title = "";
    const char* conns = kPlain;
    const char* proxies = "0:p0";
    const char16_t* connectName = u"w";
    size_t answer = 0;
    int entry3 = 1;
    const char16_t* calls = u"";
};

// Answers as the scenario says and records each call; the sync with the routing then.
class FakeDevice : public SendReceiveDevice {
public:
    FakeDevice(const Scenario& s, Device& device) : s_(s), device_(device) {}
    std::u16string calls;

    bool BindPicker() override { return Call(u"bind", true); }
    int PickerEntry3(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override {
        return Call(u"3", s_.entry3);
    }
    int PickerEntry8() override { return Call(u"8", 1); }
    void UnbindPicker() override { Call(u"unbind", 0); }
    bool ChooseConnection(const std::vector<DualString>& names, size_t& choice) override {
        choice = s_.answer;
        return Call(u"dialog(" + testing_support::Wide(std::to_string(names.size())) + u")", true);
    }
    int32_t SyncMessages() override { return Call(u"sync(" + Routing() + u")", 0x40); }

private:
    std::u16string Routing() {
        return testing_support::Summary(ConnectionCatalogue(device_, device_.Registry()));
    }
    template <typename T>
    T Call(const std::u16string& name, T answer) {
        calls += name + u" ";
        return answer;
    }
    const Scenario& s_;
    Device& device_;
};

struct MemoryStore : SnapshotStore {
    std::optional<std::string> text;
    bool Load(std::string& out) override { return text && (out = *text, true); }
    bool Save(const std::string& in) override { return (text = in, true); }
    bool Remove() override { return (text.reset(), true); }
};

// One command: its calls. The result is the sync's, 0 without one.
std::u16string RunCommand(Device& device, const Scenario& s, MemoryStore& store) {
    FakeDevice fake(s, device);
    SendReceivePlatform platform{fake, device, device.Registry(), store};
    std::vector<DualString> choiceList;
    const int32_t result = RunSendReceive(platform, s.connectName, choiceList);
    EXPECT_TRUE(choiceList.empty());  // the next run lists the connections once again
    EXPECT_EQ(result, fake.calls.find(u"sync") != std::u16string::npos ? 0x40 : 0);
    return fake.calls;
}

const char16_t kToW[] = u"bind 3 8 sync(a ActiveSync b w x | 会社/w | p0) unbind ";

const Scenario kFlowRows[] = {
    {.title = "by_name", .calls = kToW},
    {.title = "proxy_key_named_in_lower_case", .proxies = "10:p0", .calls = kToW},
    {.title = "name_differs_in_case_dialog_picks_activesync",
     .connectName = u"W",
     .answer = 1,
     .calls =
         u"bind dialog(5) 3 8 sync(a ActiveSync b w x | インターネット/ActiveSync | p0) unbind "},
    {.title = "entry3_answers_other_than_1", .entry3 = 2, .calls = u"bind 3 unbind "},
    {.title = "no_proxy_anywhere", .proxies = "", .calls = u"bind unbind "},
    {.title = "empty_catalogue", .conns = "", .calls = u"bind unbind "},
    {.title = "rich_to_the_later_proxy",
     .conns = kRich,
     .proxies = "0:p0 1:p1",
     .calls = u"bind 3 8 sync(a b w x y | 会社/w | p1) unbind "},
};

TEST(Flow, RunsItsStepsAndPutsTheRegistryBack) {
    for (const Scenario& row : kFlowRows) {
        SCOPED_TRACE(row.title);
        Device device(row.conns, row.proxies);
        const std::string before = DumpKey(device.Registry());
        MemoryStore store;
        EXPECT_EQ(RunCommand(device, row, store), row.calls);
        EXPECT_EQ(DumpKey(device.Registry()), before);
        EXPECT_FALSE(store.text.has_value());
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
                    EXPECT_EQ(RunCommand(device, scenario, store), u"");
                }
                device.Registry().failWrite = 0;
                EXPECT_TRUE(RecoverRouting(store, device.Registry()));
                EXPECT_FALSE(store.text.has_value());
                EXPECT_EQ(DumpKey(device.Registry()), before);
            }
        }
    }
}

// Only a whole snapshot is restored; anything else found in the file is dropped unused.
TEST(SnapshotText, OnlyAWholeSnapshotParses) {
    const char* const kBroken[] = {
        "pelmora-routing 1\n",                          // no end
        "pelmora-routing 2\nend\n",                     // another form
        "pelmora-routing 1\nV 4 4100 01000000\nend\n",  // a value before any key
        "pelmora-routing 1\nK whole 1 410\nend\n",      // odd hexadecimal
        "pelmora-routing 1\nK value 1 4100\nV 4 4100 01\nV 4 4200 01\nend\n",
        "pelmora-routing 1\nK whole 0 4100\nV 4 4100 01\nend\n",  // values of no key
        "pelmora-routing 1\nend\nK whole 0 4100\n",               // past the end
        "pelmora-routing 1\nK whole 1 4100 \nend\n",              // trailing space
    };
    Device device(kPlain, "0:p0");
    const std::string before = DumpKey(device.Registry());
    for (const char* text : kBroken) {
        RoutingSnapshot snapshot;
        EXPECT_FALSE(snapshot.Parse(text)) << text;
        MemoryStore store;
        store.text = text;
        EXPECT_TRUE(RecoverRouting(store, device.Registry()) && !store.text) << text;
    }
    EXPECT_EQ(DumpKey(device.Registry()), before);
}

}  // namespace
}  // namespace pelmora
