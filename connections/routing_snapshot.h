// Every registry value that a routing switch over a catalogue may touch, as it stood before
// the switch: each destination's proxy key with all its values (or its absence) and each
// connection's "Enabled" value with its type and size. Restoring it puts back exactly that,
// and nothing else; its text form survives the process, so a switch that was never undone
// (the process killed, the handheld reset) is undone at the next start.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "connections/connection_catalogue.h"

namespace pelmora {

struct SavedValue {
    std::u16string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    bool operator==(const SavedValue& o) const {
        return name == o.name && type == o.type && data == o.data;
    }
};

// A proxy key (every value) or a connection key (its "Enabled" value only).
struct SavedKey {
    std::u16string path;
    bool wholeKey = false;
    bool exists = false;  // the key (whole) or the value (connection)
    std::vector<SavedValue> values;
};

class RoutingSnapshot {
public:
    // False when a key or value cannot be read whole: then no switch should be made.
    bool Take(const ConnectionCatalogue& catalogue, ConnectionRegistry& registry);
    // Writes back what differs. True when every write succeeded.
    bool Restore(ConnectionRegistry& registry) const;

    std::string Serialize() const;
    // False for anything that is not a whole snapshot.
    bool Parse(std::string_view text);

    const std::vector<SavedKey>& Keys() const { return keys_; }

private:
    std::vector<SavedKey> keys_;
};

// Where the snapshot of a switch in progress is kept, so that it outlives the process.
class SnapshotStore {
public:
    virtual ~SnapshotStore() = default;
    // False when there is none.
    virtual bool Load(std::string& text) = 0;
    // Written whole or not at all.
    virtual bool Save(const std::string& text) = 0;
    // True also when there was none.
    virtual bool Remove() = 0;
};

// Puts back the snapshot of a switch that was never undone. True when nothing is pending
// afterwards; a snapshot that cannot be restored stays for the next start. One that cannot
// be parsed cannot be restored either, and is removed.
bool RecoverRouting(SnapshotStore& store, ConnectionRegistry& registry);

// Restores (a second time when a write failed) and forgets the stored snapshot once the
// registry holds it again. True when complete.
bool RestoreAndForget(const RoutingSnapshot& snapshot, SnapshotStore& store,
                      ConnectionRegistry& registry);

}  // namespace pelmora
