// What a routing switch over a catalogue changes: each destination's proxy key (every value,
// or its absence) and each connection's "Enabled" value, as they stood before the switch and
// as the switch writes them. Its text form is kept in a file while the switch is in force, so
// that a switch never undone (the process killed, the handheld reset) is undone at the next
// start; the undo puts back only what still holds what the switch wrote, so a change made
// since by anyone else stays.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "connections/connection_catalogue.h"

namespace pelmora {

using SavedValue = RegistryValue;

// A proxy key (every value) or a connection key (its "Enabled" value only).
struct SavedKey {
    std::u16string path;
    bool wholeKey = false;
    bool existed = false;  // before the switch: the key (whole) or the value (connection)
    bool kept = false;     // after the switch: the key is there (whole keys only)
    std::vector<SavedValue> before;
    std::vector<SavedValue> written;  // what the switch sets
};

class RoutingSnapshot {
public:
    // What `planned` (a catalogue whose selection is planned but not yet written back) will
    // touch, as it stands now, and what its write-back will put there. False when a key or
    // value cannot be read whole: then no switch should be made.
    bool Take(const ConnectionCatalogue& planned, ConnectionRegistry& registry);
    // Puts back the value before the switch wherever the registry still holds what the switch
    // wrote; a key the switch made goes while it holds nothing else, one it removed comes back
    // while nobody made it again. True when every write succeeded.
    bool Undo(ConnectionRegistry& registry) const;

    std::string Serialize() const;
    // False for anything that is not a whole snapshot, and for one naming any key outside the
    // Connection Manager's connections and HTTP proxy keys.
    bool Parse(std::string_view text);

    const std::vector<SavedKey>& Keys() const { return keys_; }
    // Recoveries that failed so far.
    uint32_t attempts = 0;

private:
    std::vector<SavedKey> keys_;
};

enum class SnapshotLoad { kNone, kText, kUnreadable };

// Where the snapshot of a switch in progress is kept, so that it outlives the process, and
// who may change the routing: one owner at a time, released when its process ends.
class SnapshotStore {
public:
    virtual ~SnapshotStore() = default;
    // False while another live process owns the routing.
    virtual bool Own() = 0;
    virtual void Disown() = 0;
    // kUnreadable: there is one, but it cannot be read.
    virtual SnapshotLoad Load(std::string& text) = 0;
    // Written whole or not at all; the one it replaces stays readable until then.
    virtual bool Save(const std::string& text) = 0;
    // True also when there was none.
    virtual bool Remove() = 0;
    // Keeps it under another name that nothing reads, so it no longer blocks.
    virtual bool SetAside() = 0;
};

// Holds the routing for its scope when nobody else does.
class RoutingOwner {
public:
    explicit RoutingOwner(SnapshotStore& store) : store_(store), owned_(store.Own()) {}
    ~RoutingOwner() {
        if (owned_) {
            store_.Disown();
        }
    }
    RoutingOwner(const RoutingOwner&) = delete;
    RoutingOwner& operator=(const RoutingOwner&) = delete;
    bool Owned() const { return owned_; }

private:
    SnapshotStore& store_;
    bool owned_;
};

// Failed recoveries after which a snapshot is set aside instead of blocking new switches.
constexpr uint32_t kRecoveryAttempts = 3;

// Undoes the switch that a stored snapshot describes; the caller owns the routing. True when
// nothing is pending afterwards: there was none, it was undone and removed, or it was set
// aside (unparsable, naming a foreign key, or failed kRecoveryAttempts times). An unreadable
// one is left untouched and blocks.
bool RecoverRouting(SnapshotStore& store, ConnectionRegistry& registry);

// Undoes (a second time when a write failed), flushes the registry and forgets the stored
// snapshot. True when complete.
bool RestoreAndForget(const RoutingSnapshot& snapshot, SnapshotStore& store,
                      ConnectionRegistry& registry);

}  // namespace pelmora
