// The routing snapshot's text form on arbitrary bytes: whatever parses must write back as a
// text that parses to the same snapshot.
#include <cstddef>
#include <cstdint>
#include <string>

#include "connections/routing_snapshot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pelmora::RoutingSnapshot snapshot;
    if (!snapshot.Parse(std::string_view(reinterpret_cast<const char*>(data), size))) {
        return 0;
    }
    const std::string written = snapshot.Serialize();
    pelmora::RoutingSnapshot again;
    if (!again.Parse(written) || again.Serialize() != written) {
        __builtin_trap();
    }
    return 0;
}
