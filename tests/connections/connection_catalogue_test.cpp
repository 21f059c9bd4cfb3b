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
using testing_support::IdText;

std::u16string Joined(const std::vector<DualString>& names) {
    std::u16string s;
    for (const DualString& n : names) {
        s += (s.empty() ? u"" : u",") + n.Wide();
    }
    return s;
}

std::u16string Routing(const ConnectionCatalogue& catalogue) {
    DualString description, connection;
    if (!catalogue.CurrentRouting(description, connection)) {
        return u"-";
    }
    return description.Wide() + u"/" + connection.Wide();
}

struct BuildRow {
    const char* title;
    const char* conns;
    const char* proxies;
    const char16_t* names;
    const char16_t* routing;
    const char16_t* proxyTemplate;
};

class Build : public ::testing::TestWithParam<BuildRow> {};

TEST_P(Build, ListsConnectionsAndRouting) {
    const BuildRow& row = GetParam();
    Device device(row.conns, row.proxies);
    ConnectionCatalogue catalogue(device, device.Registry());
    EXPECT_EQ(Joined(catalogue.ConnectionNames()), row.names);
    EXPECT_EQ(Routing(catalogue), row.routing);
    EXPECT_EQ(catalogue.ProxyTemplate().proxy.Wide(), row.proxyTemplate);
    EXPECT_EQ(device.OpenHandles(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Build,
    ::testing::Values(
        BuildRow{"plain", "a=1@0 b=0@0 w=1@1", "0:p0", u"a,b,w", u"インターネット/a", u"p0"},
        BuildRow{"dest_id_case", "a=1@0 x=1@10", "0:p0", u"a", u"インターネット/a", u"p0"},
        BuildRow{"enabled_2_is_off", "a=2@0 b=1@0", "0:p0", u"a,b", u"インターネット/b", u"p0"},
        BuildRow{"two_enabled", "a=1@0 b=1@0", "0:p0", u"a,b", u"インターネット/", u"p0"},
        BuildRow{"two_proxies", "a=1@0 w=1@1", "0:p0 1:p1", u"a,w", u"インターネット/a", u"p1"},
        BuildRow{"proxy_no_values_last", "a=1@0 w=1@1", "0:p0 1:-", u"a,w", u"インターネット/a",
                 u""},
        BuildRow{"selected_without_enabled", "a=0@0 w=1@1", "0:p0 1:p1", u"a,w", u"会社/w", u"p1"},
        BuildRow{"no_proxy", "a=1@0", "", u"a", u"-", u""},
        BuildRow{"destination_without_own", "a=1@1", "0:p0", u"a", u"-", u""}),
    [](const auto& info) { return std::string(info.param.title); });

// Values of unexpected type or size are read within their bounds, and a switch rewrites
// "Enabled" with the type and size it had.
TEST(BuildOddValues, ReadWithinBoundsWrittenAsFound) {
    Device device("a=0@0 b=0@0", "0:p0");
    std::u16string a = std::u16string(kConnectionsKeyPath) + u"\\a";
    std::u16string b = std::u16string(kConnectionsKeyPath) + u"\\b";
    device.PutValue(a, u"Enabled", kRegistryString, {2, 0});                        // 2 bytes
    device.PutValue(a, u"DestId", kRegistryString, Bytes(IdText(0), false));        // no NUL
    device.PutValue(b, u"Enabled", kRegistryBinary, std::vector<uint8_t>(300, 1));  // too large
    std::u16string proxy(512, u'x');
    device.PutValue(std::u16string(kProxyKeyPrefix) + IdText(0), u"Proxy", kRegistryString,
                    Bytes(proxy, false));
    ConnectionCatalogue catalogue(device, device.Registry());
    EXPECT_EQ(Joined(catalogue.ConnectionNames()), u"a");
    EXPECT_EQ(Routing(catalogue), u"-");
    EXPECT_EQ(catalogue.ProxyTemplate().proxy.Wide(), proxy);

    EXPECT_TRUE(catalogue.SelectConnection(DualString(), u"a"));
    OpenRegistryKey key(device.Registry());
    ASSERT_TRUE(key.Open(a.c_str(), kKeyRead));
    uint8_t data[8] = {};
    uint32_t type = 0, size = sizeof data;
    ASSERT_EQ(device.Registry().QueryValue(key.Get(), u"Enabled", &type, data, &size), kRegistryOk);
    EXPECT_EQ(type, kRegistryString);
    EXPECT_EQ(std::vector<uint8_t>(data, data + size), (std::vector<uint8_t>{1, 0}));

    // An empty "Enabled" has no room for the number: enabling it writes four bytes. Written
    // through the registry the rules run against, which on Windows is the device's own.
    OpenRegistryKey writable(device.Registry());
    ASSERT_TRUE(writable.Open(a.c_str(), kKeyAllAccess));
    ASSERT_EQ(device.Registry().SetValue(writable.Get(), u"Enabled", kRegistryBinary, data, 0),
              kRegistryOk);
    ConnectionCatalogue again(device, device.Registry());
    EXPECT_TRUE(again.SelectConnection(DualString(), u"a"));
    size = sizeof data;
    ASSERT_EQ(device.Registry().QueryValue(key.Get(), u"Enabled", &type, data, &size), kRegistryOk);
    EXPECT_EQ(std::vector<uint8_t>(data, data + size), (std::vector<uint8_t>{1, 0, 0, 0}));
}

#ifdef _WIN32
// The portable form of the identifier text is the platform's, digit for digit.
TEST(GuidText, MatchesThePlatform) {
    DeviceConnectionManager platform;
    for (const DestinationGuid& guid :
         {DestinationGuid{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
          DestinationGuid{
              0x0A1B2C3Du, 0x00EF, 0xF00D, {0x01, 0xAB, 0, 0x10, 0xFF, 0x7E, 0x80, 0x09}},
          DestinationGuid{0xFFFFFFFFu, 0xFFFF, 0xFFFF, {255, 255, 255, 255, 255, 255, 255, 255}}}) {
        char16_t mine[64], theirs[64];
        EXPECT_EQ(FormatGuidText(guid, mine, 64), platform.GuidText(guid, theirs, 64));
        EXPECT_EQ(std::u16string(mine), std::u16string(theirs));
        EXPECT_EQ(platform.GuidText(guid, theirs, 38), 0);
        EXPECT_EQ(FormatGuidText(guid, mine, 38), 0);
    }
}
#endif

}  // namespace
}  // namespace pelmora
