// The catalogue's reading, routing and switching rules over an in-memory Connection Manager.
#include "connections/connection_catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/connections/test_device.h"

namespace pelmora {
namespace {

using testing_support::Bytes;
using testing_support::Device;
using testing_support::DumpKey;
using testing_support::IdText;
using testing_support::Summary;

struct BuildRow {
    const char* title;
    const char* device;
    const char16_t* summary;
};

// "x" names its destination in lower case; "Enabled" 2 is not on.
const BuildRow kBuildRows[] = {
    {"plain", "a=2@0 b=1@0 w=1@1 x=1@10 0:p0", u"a b w | インターネット/b | p0"},
    {"two_enabled", "a=1@0 b=1@0 0:p0", u"a b | インターネット/ | p0"},
    {"later_proxy_without_values", "a=1@0 w=1@1 0:p0 1:-", u"a w | インターネット/a | "},
    {"selected_without_enabled", "a=0@0 w=1@1 0:p0 1:p1", u"a w | 会社/w | p1"},
    {"no_proxy", "a=1@0", u"a | - | "},
    {"destination_without_own", "a=1@1 0:p0", u"a | - | "},
};

TEST(Build, ListsConnectionsAndRouting) {
    for (const BuildRow& row : kBuildRows) {
        SCOPED_TRACE(row.title);
        Device device(row.device);
        EXPECT_EQ(Summary(ConnectionCatalogue(device, device.Registry())), row.summary);
    }
}

// Values of unexpected type or size are read within their bounds, and a switch rewrites
// "Enabled" with the type and size it had; an empty one gets the four bytes of the number.
TEST(BuildOddValues, ReadWithinBoundsWrittenAsFound) {
    Device device("a=0@0 b=0@0 c=0@0 0:p0");
    const std::u16string path = std::u16string(kConnectionsKeyPath) + u"\\";
    device.PutValue(path + u"a", u"Enabled", kRegistryString, {2, 0});                  // 2 bytes
    device.PutValue(path + u"a", u"DestId", kRegistryString, Bytes(IdText(0), false));  // no NUL
    device.PutValue(path + u"b", u"Enabled", kRegistryBinary, std::vector<uint8_t>(300, 1));
    device.PutValue(path + u"c", u"Enabled", kRegistryBinary, {});
#ifdef _WIN64
    // 64-bit Wine stores a text value with a terminator added (1026 bytes for 1024 written),
    // which would no longer fit: one character fewer keeps the value unterminated there.
    const std::u16string proxy(511, u'x');
#else
    const std::u16string proxy(512, u'x');  // fills the reading buffer exactly
#endif
    device.PutValue(std::u16string(kProxyKeyPrefix) + IdText(0), u"Proxy", kRegistryString,
                    Bytes(proxy, false));
    ConnectionCatalogue catalogue(device, device.Registry());
    EXPECT_EQ(Summary(catalogue), u"a c | - | " + proxy);  // "b" too large to read

    EXPECT_TRUE(catalogue.SelectConnection(DualString(), DualString()));  // all of them
    EXPECT_NE(DumpKey(device.Registry(), path + u"a").find("Enabled 1: 1 0\n"), std::string::npos);
    EXPECT_NE(DumpKey(device.Registry(), path + u"c").find("Enabled 3: 1 0 0 0\n"),
              std::string::npos);
}

}  // namespace
}  // namespace pelmora
