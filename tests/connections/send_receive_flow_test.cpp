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

class FakeDevice : public SendReceiveDevice {
public:
    bool picker = true;
    int entry3 = 1;
    int entry8 = 1;
    std::optional<size_t> answer;  // the dialog's choice; none: cancelled
    std::string calls;
    std::u16string during;     // the routing when the sync ran
    Device* device = nullptr;  // read during the sync

    bool BindPicker() override {
        calls += "bind ";
        return picker;
    }
    int PickerEntry3(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) override {
        calls += "3(" + std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) +
                 "," + std::to_string(d) + "," + std::to_string(e) + ") ";
        return entry3;
    }
    int PickerEntry8() override {
        calls += "8 ";
        return entry8;
    }
    void UnbindPicker() override { calls += "unbind"; }
    bool ChooseConnection(const std::vector<DualString>& names, size_t& choice) override {
        calls += "dialog(" + std::to_string(names.size()) + ") ";
        choice = answer.value_or(0);
        return answer.has_value();
    }
    int32_t SyncMessages() override {
        calls += "sync ";
        during = device->Compact();
        return 0x40;
    }
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

// Internet (0): a enabled, b off, "ActiveSync" at 2; work (1): w off, x enabled.
const char kPlain[] = "a=1@0 b=0@0 ActiveSync=2@0 w=0@1 x=1@1";
// Both destinations with their own proxy entry and two enabled connections in the first.
const char kRich[] = "a=1@0 b=1@0 w=0@1 x=1@1 y=0@2";

struct Outcome {
    int32_t result;
    std::string calls;
    std::u16string during;
    bool pending;  // a snapshot left behind
};

struct Scenario {
    const char* conns = kPlain;
    const char* proxies = "0:p0";
    const char16_t* connectName = u"w";
    std::optional<size_t> answer = std::nullopt;
    int entry3 = 1;
    int entry8 = 1;
    bool picker = true;
};

Outcome RunOnce(Device& device, const Scenario& s, MemoryStore& store) {
    FakeDevice fake;
    fake.picker = s.picker;
    fake.entry3 = s.entry3;
    fake.entry8 = s.entry8;
    fake.answer = s.answer;
    fake.device = &device;
    SendReceivePlatform platform{fake, device, device.Registry(), store};
    std::vector<DualString> choiceList;
    Outcome run{};
    run.result = RunSendReceive(platform, s.connectName, choiceList);
    EXPECT_TRUE(choiceList.empty());  // the next run lists the connections once again
    run.calls = fake.calls;
    run.during = fake.during;
    run.pending = store.text.has_value();
    return run;
}

struct FlowRow {
    const char* title;
    Scenario scenario;
    int32_t result;
    const char* calls;
    const char16_t* during;  // empty: no sync
};

class Flow : public ::testing::TestWithParam<FlowRow> {};

TEST_P(Flow, RunsItsStepsAndPutsTheRegistryBack) {
    const FlowRow& row = GetParam();
    Device device(row.scenario.conns, row.scenario.proxies);
    const std::string before = device.Dump();
    MemoryStore store;
    Outcome run = RunOnce(device, row.scenario, store);
    EXPECT_EQ(run.result, row.result);
    EXPECT_EQ(run.calls, row.calls);
    EXPECT_EQ(run.during, row.during);
    EXPECT_EQ(device.Dump(), before);
    EXPECT_FALSE(run.pending);
    EXPECT_EQ(device.OpenHandles(), 0u);
}

const char16_t kSwitchedToW[] = u"proxy:会社(p0) a=1 ActiveSync=2 b=0 w=1 x=0 ";
const char kSynced[] = "bind 3(0,1,3000,0,0) 8 sync unbind";
const char kChosenSynced[] = "bind dialog(5) 3(0,1,3000,0,0) 8 sync unbind";

INSTANTIATE_TEST_SUITE_P(
    Rows, Flow,
    ::testing::Values(
        FlowRow{"by_name", {}, 0x40, kSynced, kSwitchedToW},
        FlowRow{"name_differs_in_case",
                {.connectName = u"W", .answer = 3},
                0x40,
                kChosenSynced,
                kSwitchedToW},
        FlowRow{"unknown_name_dialog_cancelled",
                {.connectName = u"zz"},
                0,
                "bind dialog(5) unbind",
                u""},
        FlowRow{"dialog_picks_activesync",
                {.connectName = u"", .answer = 1},
                0x40,
                kChosenSynced,
                u"proxy:インターネット(p0) a=0 ActiveSync=1 b=0 w=0 x=1 "},
        FlowRow{"entry3_refuses", {.entry3 = 2}, 0, "bind 3(0,1,3000,0,0) unbind", u""},
        FlowRow{"entry8_refuses", {.entry8 = 0}, 0, "bind 3(0,1,3000,0,0) 8 unbind", u""},
        FlowRow{"no_picker", {.picker = false}, 0, "bind ", u""},
        FlowRow{"proxy_key_named_in_lower_case", {.proxies = "10:p0"}, 0x40, kSynced, kSwitchedToW},
        FlowRow{"no_proxy_anywhere", {.proxies = ""}, 0, "bind unbind", u""},
        FlowRow{"empty_catalogue", {.conns = ""}, 0, "bind unbind", u""},
        FlowRow{"rich_to_the_later_proxy",
                {.conns = kRich, .proxies = "0:p0 1:p1", .connectName = u"w"},
                0x40,
                kSynced,
                u"proxy:会社(p1) a=1 b=1 w=1 x=0 y=0 "}),
    [](const auto& info) { return std::string(info.param.title); });

// Every write of the switch and of the restore failing in turn, once or for good: the
// command still leaves the registry as it found it, or its snapshot for the next start.
TEST(FlowWriteFailures, EveryWriteFailingOnceOrForGood) {
    for (const auto& [conns, proxies] : {std::pair{kPlain, "0:p0"}, std::pair{kRich, "0:p0 1:-"}}) {
        Scenario scenario{.conns = conns, .proxies = proxies};
        Device clean(conns, proxies);
        MemoryStore store;
        RunOnce(clean, scenario, store);
        ASSERT_GT(clean.Registry().writes, 4);
        for (int n = 1; n <= clean.Registry().writes; ++n) {
            for (bool onward : {false, true}) {
                SCOPED_TRACE(testing::Message() << "write " << n << (onward ? " onward" : ""));
                Device device(conns, proxies);
                const std::string before = device.Dump();
                device.Registry().failWrite = n;
                device.Registry().failOnward = onward;
                Outcome run = RunOnce(device, scenario, store);
                if (!onward) {
                    EXPECT_FALSE(run.pending);
                    EXPECT_EQ(device.Dump(), before);
                } else if (run.pending) {
                    // No new switch over one still to undo.
                    EXPECT_EQ(RunOnce(device, scenario, store).calls, "");
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
        "",
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
    ConnectionCatalogue catalogue(device, device.Registry());
    RoutingSnapshot taken, parsed;
    ASSERT_TRUE(taken.Take(catalogue, device.Registry()));
    ASSERT_TRUE(parsed.Parse(taken.Serialize()));
    EXPECT_EQ(parsed.Serialize(), taken.Serialize());

    const std::string before = device.Dump();
    MemoryStore store;
    store.text = kBroken[4];
    EXPECT_TRUE(RecoverRouting(store, device.Registry()));
    EXPECT_FALSE(store.text.has_value());
    EXPECT_EQ(device.Dump(), before);
}

}  // namespace
}  // namespace pelmora
