// The send/receive command's steps over what it uses of the device: the picker component,
// the choice dialog, the messaging application's sync, the Connection Manager and the place
// where the snapshot of a switch in progress is kept.
#pragma once

#include <cstdint>
#include <vector>

#include "connections/connection_catalogue.h"
#include "connections/routing_snapshot.h"
#include "text/dual_string.h"

namespace pelmora {

class SendReceiveDevice {
public:
    virtual ~SendReceiveDevice() = default;
    // Binding the picker; a binding that succeeded is let go once by UnbindPicker.
    virtual bool BindPicker() = 0;
    virtual int PickerEntry3(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) = 0;
    virtual int PickerEntry8() = 0;
    virtual void UnbindPicker() = 0;
    // The choice dialog over `names`: true with the chosen position, false when cancelled.
    virtual bool ChooseConnection(const std::vector<DualString>& names, size_t& choice) = 0;
    virtual int32_t SyncMessages() = 0;
    // Returns once the sync that SyncMessages started has a connection to `destination` (it
    // reads the routing when it asks for one), or when a bounded wait runs out.
    virtual void AwaitSyncConnection(const DestinationGuid& destination) = 0;
};

struct SendReceivePlatform {
    SendReceiveDevice& device;
    DestinationSource& destinations;
    ConnectionRegistry& registry;
    SnapshotStore& snapshots;
};

// Routes mail over the connection named `connectName` (or the one the user picks from all
// of them, listed after what `choiceList` holds while the command runs), syncs while that
// routing is in force, and puts the previous routing back exactly. The result is the
// sync's, 0 when there was none; kRoutingBusy when the routing cannot be changed now (another
// command owns it, or an earlier switch is still to be undone).
constexpr int32_t kRoutingBusy = static_cast<int32_t>(0x80004005);  // E_FAIL
int32_t RunSendReceive(SendReceivePlatform& platform, const DualString& connectName,
                       std::vector<DualString>& choiceList);

}  // namespace pelmora
