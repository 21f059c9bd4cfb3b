// The connection rules over an in-memory Connection Manager built from arbitrary bytes
// (destinations, connections with odd "Enabled" and "DestId" values, proxy keys with odd
// values): building the catalogue, its lookups and a switch to any connection must stay in
// bounds, and restoring the snapshot taken before the switch must give back the registry
// exactly.
#include <cstddef>
#include <cstdint>
#include <string>

#include "connections/connection_catalogue.h"
#include "connections/routing_snapshot.h"
#include "tests/connections/test_device.h"

namespace {

using namespace pelmora;
using namespace pelmora::testing_support;

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
    uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
    std::vector<uint8_t> Bytes(size_t n) {
        n = std::min(n, static_cast<size_t>(end_ - p_));
        std::vector<uint8_t> out(p_, p_ + n);
        p_ += n;
        return out;
    }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

const char16_t* const kNames[] = {u"mopera U", u"ActiveSync", u"GPRS", u"GPRS2", u"社内LAN"};
const char16_t* const kValueNames[] = {u"Proxy",          u"Enable",    u"Type",     u"DestId",
                                       u"SrcId",          u"ExtraInfo", u"Override", u"Username",
                                       u"ConnectionGUID", u"Other"};

// A value's data: the identifier text of a destination (any letter case, terminated or not),
// a number, or raw bytes of any length up to 63.
std::vector<uint8_t> ValueData(Reader& in) {
    const uint8_t kind = in.Byte();
    switch (kind % 4) {
        case 0:
            return testing_support::Bytes(IdText(in.Byte() % 20), kind & 0x10);
        case 1:
            return Dword(in.Byte() % 4);
        default:
            return in.Bytes(in.Byte() % 64);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    MemoryConnectionManager device;
    const int destinations = in.Byte() % 4;
    for (int i = 0; i < destinations; ++i) {
        DestinationInfo info{};
        info.guid = {0xA0B1C2D3u + static_cast<uint32_t>(in.Byte() % 3),
                     0x1E2F,
                     0xABCD,
                     {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01, 0x02, 0x0F}};
        const std::u16string d = kDescriptions[in.Byte() % 3];
        std::copy(d.begin(), d.end(), info.description);
        device.destinations.push_back(info);
    }
    const int connections = in.Byte() % 6;
    for (int i = 0; i < connections; ++i) {
        const std::u16string path =
            std::u16string(kConnectionsKeyPath) + u"\\" + kNames[in.Byte() % 5];
        const uint8_t present = in.Byte();
        if (present & 1) {
            device.PutValue(path, u"Enabled", in.Byte() % 5, ValueData(in));
        }
        if (present & 2) {
            device.PutValue(path, u"DestId", in.Byte() % 5, ValueData(in));
        }
    }
    const int proxies = in.Byte() % 4;
    for (int i = 0; i < proxies; ++i) {
        const std::u16string path = std::u16string(kProxyKeyPrefix) + IdText(in.Byte() % 20);
        device.PutKey(path);
        const int values = in.Byte() % 6;
        for (int v = 0; v < values; ++v) {
            device.PutValue(path, kValueNames[in.Byte() % 10], in.Byte() % 5, ValueData(in));
        }
    }
    const uint8_t choice = in.Byte();

    const std::string before = DumpKey(device);
    ConnectionCatalogue catalogue(device, device);
    const std::vector<DualString> names = catalogue.ConnectionNames();
    DualString description, connection;
    catalogue.CurrentRouting(description, connection);
    if (names.empty()) {
        return 0;
    }
    const DualString& chosen = names[choice % names.size()];
    DualString destination;
    catalogue.FindDestinationOfConnection(chosen, destination);
    catalogue.PlanSelection(destination, chosen);
    RoutingSnapshot snapshot;
    if (!snapshot.Take(catalogue, device)) {
        return 0;
    }
    RoutingSnapshot saved;
    if (!saved.Parse(snapshot.Serialize())) {
        __builtin_trap();  // a snapshot that cannot be read back cannot undo the switch
    }
    catalogue.WriteBack();
    if (!saved.Undo(device)) {
        __builtin_trap();  // the in-memory registry never refuses a write
    }
    if (DumpKey(device) != before) {
        __builtin_trap();  // the routing did not come back exactly
    }
    return 0;
}
