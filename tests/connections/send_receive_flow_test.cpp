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

// Internet (0): a enabled, b off, "ActiveSync" at 2; work (1): w off, x enabled.
const char kPlain[] = "a=1@0 b=0@0 ActiveSync=2@0 w=0@1 x=1@1";
// Two enabled connections in the first destination, and a third destination.
const char kRich[] = "a=1@0 b=1@0 w=0@1 x=1@1 y=0@2";

struct Scenario {
    const char* conns = kPlain;
    const char* proxies = "0:p0";
    const char16_t* connectName = u"w";
    std::optional<size_t> answer = std::nullopt;  // the dialog's choice; none: cancelled
    int entry3 = 1;
    int entry8 = 1;
    bool picker = true;
};

// The routing at a glance: each destination carrying a proxy entry (with its "Proxy"),
// each connection enabled or not.
std::u16string Routing(Device& device) {
    ConnectionCatalogue catalogue(device, device.Registry());
    std::u16string out;
    for (const DestinationEntry& d : catalogue.Destinations()) {
        if (d.selected) {
            out += u" proxy:" + d.Description().Wide() + u"(" + d.proxy.proxy.Wide() + u")";
        }
        for (const ConnectionEntry& c : d.connections) {
            out += u" " + c.keyName.Wide() + (c.enabled ? u"=1" : u"=0");
        }
    }
    return out;
}

// Answers as the scenario says and records each call; the sync with the routing then.
class FakeDevice : public SendReceiveDevice {
public:
    FakeDevice(const Scenario& s, Device& device) : s_(s), device_(device) {}
    std::u16string calls;

    bool BindPicker() override { return Call(u"bind", s_.picker); }
    int PickerEntry3(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) override {
        return Call(u"3", s_.entry3);
    }
    int PickerEntry8() override { return Call(u"8", s_.entry8); }
    void UnbindPicker() override { Call(u"unbind", 0); }
    bool ChooseConnection(const std::vector<DualString>& names, size_t& choice) override {
        choice = s_.answer.value_or(0);
        return Call(u"dialog(" + testing_support::Wide(std::to_string(names.size())) + u")",
                    s_.answer.has_value());
    }
    int32_t SyncMessages() override { return Call(u"sync(" + Routing(device_) + u" )", 0x40); }

private:
    template <typename T>
    T Call(const std::u16string& name, T answer) {
        calls += name + u" ";
        return answer;
    }
    const Scenario& s_;
    Device& device_;
};

class MemoryStore : public SnapshotStore {
public:
    std::optional<std::string> text;
    bool Load(std::string& out) override {
        out = text.value_or("");
        return text.has_value();
    }
    bool Save(const std::string& in) override {
        text = in;
        return true;
    }
    bool Remove() override {
        text.reset();
        return true;
    }
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

struct FlowRow {
    const char* title;
    Scenario scenario;
    const char16_t* calls;
};

class Flow : public ::testing::TestWithParam<FlowRow> {};

TEST_P(Flow, RunsItsStepsAndPutsTheRegistryBack) {
    const FlowRow& row = GetParam();
    Device device(row.scenario.conns, row.scenario.proxies);
    const std::string before = device.Dump();
    MemoryStore store;
    EXPECT_EQ(RunCommand(device, row.scenario, store), row.calls);
    EXPECT_EQ(device.Dump(), before);
    EXPECT_FALSE(store.text.has_value());
}

const char16_t kToW[] = u"bind 3 8 sync( a=1 ActiveSync=0 b=0 proxy:会社(p0) w=1 x=0 ) unbind ";

INSTANTIATE_TEST_SUITE_P(
    Rows, Flow,
    ::testing::Values(
        FlowRow{"by_name", {}, kToW},
        FlowRow{"proxy_key_named_in_lower_case", {.proxies = "10:p0"}, kToW},
        FlowRow{"name_differs_in_case_dialog_picks_activesync",
                {.connectName = u"W", .answer = 1},
                u"bind dialog(5) 3 8 sync( proxy:インターネット(p0) a=0 ActiveSync=1 b=0 w=0 x=1 ) "
                u"unbind "},
        FlowRow{"unknown_name_dialog_cancelled", {.connectName = u"zz"}, u"bind dialog(5) unbind "},
        FlowRow{"entry3_refuses", {.entry3 = 2}, u"bind 3 unbind "},
        FlowRow{"entry8_refuses", {.entry8 = 0}, u"bind 3 8 unbind "},
        FlowRow{"no_picker", {.picker = false}, u"bind "},
        FlowRow{"no_proxy_anywhere", {.proxies = ""}, u"bind unbind "},
        FlowRow{"empty_catalogue", {.conns = ""}, u"bind unbind "},
        FlowRow{"rich_to_the_later_proxy",
                {.conns = kRich, .proxies = "0:p0 1:p1"},
                u"bind 3 8 sync( a=1 b=1 proxy:会社(p1) w=1 x=0 y=0 ) unbind "}),
    [](const auto& info) { return std::string(info.param.title); });

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
                const std::string before = device.Dump();
                device.Registry().failWrite = n;
                device.Registry().failOnward = onward;
                RunCommand(device, scenario, store);
                if (!onward) {
                    EXPECT_FALSE(store.text.has_value());
                    EXPECT_EQ(device.Dump(), before);
                } else if (store.text.has_value()) {
                    // No new switch over one still to undo.
                    EXPECT_EQ(RunCommand(device, scenario, store), u"");
                }
                device.Registry().failWrite = 0;
                EXPECT_TRUE(RecoverRouting(store, device.Registry()));
                EXPECT_FALSE(store.text.has_value());
                EXPECT_EQ(device.Dump(), before);
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
    for (const char* text : kBroken) {
        RoutingSnapshot snapshot;
        EXPECT_FALSE(snapshot.Parse(text)) << text;
    }
    Device device(kPlain, "0:p0");
    const std::string before = device.Dump();
    MemoryStore store;
    store.text = kBroken[0];
    EXPECT_TRUE(RecoverRouting(store, device.Registry()));
    EXPECT_FALSE(store.text.has_value());
    EXPECT_EQ(device.Dump(), before);
}

}  // namespace
}  // namespace pelmora
