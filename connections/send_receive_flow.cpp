#include "connections/send_receive_flow.h"

#include <new>

namespace pelmora {

namespace {

// Lets the picker go on every path once it was bound.
class PickerBinding {
public:
    explicit PickerBinding(SendReceiveDevice& device)
        : device_(device), bound_(device.BindPicker()) {}
    ~PickerBinding() {
        if (bound_) {
            device_.UnbindPicker();
        }
    }
    PickerBinding(const PickerBinding&) = delete;
    PickerBinding& operator=(const PickerBinding&) = delete;
    bool Bound() const { return bound_; }

private:
    SendReceiveDevice& device_;
    bool bound_;
};

// The connection names stay in the object's choice list only while the command runs, so a
// second run of the same object does not list every connection twice.
class ListedNames {
public:
    ListedNames(std::vector<DualString>& list, const std::vector<DualString>& names)
        : list_(list), size_(list.size()) {
        list_.insert(list_.end(), names.begin(), names.end());
    }
    ~ListedNames() { list_.resize(size_); }
    ListedNames(const ListedNames&) = delete;
    ListedNames& operator=(const ListedNames&) = delete;

private:
    std::vector<DualString>& list_;
    size_t size_;
};

bool Choose(SendReceiveDevice& device, const DualString& connectName,
            const std::vector<DualString>& names, size_t& choice) {
    if (!connectName.Empty()) {
        for (choice = 0; choice < names.size(); ++choice) {
            if (names[choice] == connectName) {
                return true;
            }
        }
    }
    return device.ChooseConnection(names, choice) && choice < names.size();
}

const DestinationGuid* GuidOf(const ConnectionCatalogue& catalogue, const DualString& description) {
    for (const DestinationEntry& destination : catalogue.Destinations()) {
        if (destination.Description() == description) {
            return &destination.info.guid;
        }
    }
    return nullptr;
}

}  // namespace

int32_t RunSendReceive(SendReceivePlatform& platform, const DualString& connectName,
                       std::vector<DualString>& choiceList) {
    // One owner of the routing at a time: a switch in force belongs to its command, and
    // nobody else undoes it while that command lives.
    RoutingOwner owner(platform.snapshots);
    // A switch that an earlier command never undid is undone before anything else; while it
    // cannot be, no new switch is made over it (its snapshot holds the user's routing).
    if (!owner.Owned() || !RecoverRouting(platform.snapshots, platform.registry)) {
        return kRoutingBusy;
    }

    PickerBinding picker(platform.device);
    if (!picker.Bound()) {
        return 0;
    }
    ConnectionCatalogue catalogue(platform.destinations, platform.registry);
    if (catalogue.Destinations().empty()) {
        return 0;
    }
    ListedNames listed(choiceList, catalogue.ConnectionNames());
    size_t choice = 0;
    if (!Choose(platform.device, connectName, choiceList, choice)) {
        return 0;
    }
    const DualString chosen = choiceList[choice];

    DualString savedDescription, savedConnection, destination;
    if (!catalogue.CurrentRouting(savedDescription, savedConnection) ||
        !catalogue.FindDestinationOfConnection(chosen, destination) ||
        !catalogue.PlanSelection(destination, chosen)) {
        return 0;
    }
    const DestinationGuid guid = *GuidOf(catalogue, destination);
    // What the switch will touch is kept, durably, before it is touched, with what it writes.
    RoutingSnapshot snapshot;
    if (!snapshot.Take(catalogue, platform.registry) ||
        !platform.snapshots.Save(snapshot.Serialize())) {
        return 0;
    }
    int32_t result = 0;
    try {
        catalogue.WriteBack();
        platform.registry.Flush();
        if (platform.device.PickerEntry3(0, 1, 3000, 0, 0) == 1 &&
            platform.device.PickerEntry8() != 0) {
            result = platform.device.SyncMessages();
            // The sync runs after its request returns and reads the routing only when it asks
            // for its connection: the switch stays until then.
            if (result >= 0) {
                platform.device.AwaitSyncConnection(guid);
            }
        }
    } catch (const std::bad_alloc&) {
        RestoreAndForget(snapshot, platform.snapshots, platform.registry);
        throw;
    }
    RestoreAndForget(snapshot, platform.snapshots, platform.registry);
    return result;
}

}  // namespace pelmora
