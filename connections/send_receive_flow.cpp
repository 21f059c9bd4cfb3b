#include "connections/send_receive_flow.h"

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

}  // namespace

int32_t RunSendReceive(SendReceivePlatform& platform, const DualString& connectName,
                       std::vector<DualString>& choiceList) {
    // A switch that an earlier command never undid is undone before anything else.
    RecoverRouting(platform.snapshots, platform.registry);

    PickerBinding picker(platform.device);
    if (!picker.Bound()) {
        return 0;
    }
    ConnectionCatalogue catalogue(platform.destinations, platform.registry);
    if (catalogue.Destinations().empty()) {
        return 0;
    }
    std::vector<DualString> names = catalogue.ConnectionNames();
    choiceList.insert(choiceList.end(), names.begin(), names.end());
    size_t choice = 0;
    if (!Choose(platform.device, connectName, choiceList, choice)) {
        return 0;
    }
    const DualString chosen = choiceList[choice];

    DualString savedDescription, savedConnection, destination;
    if (!catalogue.CurrentRouting(savedDescription, savedConnection) ||
        !catalogue.FindDestinationOfConnection(chosen, destination)) {
        return 0;
    }
    // What the switch may touch is kept, durably, before it is touched.
    RoutingSnapshot snapshot;
    if (!snapshot.Take(catalogue, platform.registry) ||
        !platform.snapshots.Save(snapshot.Serialize())) {
        return 0;
    }
    int32_t result = 0;
    if (catalogue.SelectConnection(destination, chosen) &&
        platform.device.PickerEntry3(0, 1, 3000, 0, 0) == 1 &&
        platform.device.PickerEntry8() != 0) {
        result = platform.device.SyncMessages();
    }
    RestoreAndForget(snapshot, platform.snapshots, platform.registry);
    return result;
}

}  // namespace pelmora
