#include "connections/send_receive.h"

#include <new>

#include "connections/connection_manager_win32.h"
#include "connections/routing_recovery_win32.h"
#include "connections/send_receive_flow.h"
#include "platform/handheld.h"
#include "platform/owners.h"
#include "reply/command_scope_win32.h"
#include "sdk/cemapi.h"
#include "sdk/netpick.h"

namespace pelmora {

namespace {

template <typename Function>
Function Export(HMODULE module, const wchar_t* name) {
    // Through a plain function pointer type, which converts to any other without a warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(ExportAddress(module, name)));
}

// The picker component, the choice dialog and the sync on the device.
class DeviceSendReceive : public SendReceiveDevice {
public:
    explicit DeviceSendReceive(HINSTANCE module) : module_(module) {}

    bool BindPicker() override {
        library_.Reset(LoadLibraryW(L"Netpick.dll"));
        if (!library_) {
            return false;
        }
        auto create = Export<CREATE_OBJECT_NETPICK>(library_.Get(), L"CreateObjectNetpick");
        delete_ = Export<DELETE_OBJECT_NETPICK>(library_.Get(), L"DeleteObjectNetpick");
        object_ = (create != nullptr && delete_ != nullptr) ? create() : nullptr;
        // No object is as good as no library: its operations cannot be reached. An object
        // without its table still exists, and goes back to the library that made it.
        if (object_ == nullptr || object_->lpVtbl == nullptr) {
            if (object_ != nullptr) {
                delete_(object_);
                object_ = nullptr;
            }
            library_.Reset();
            return false;
        }
        return true;
    }
    int PickerEntry3(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) override {
        return object_->lpVtbl->entry3(object_, a, b, c, d, e);
    }
    int PickerEntry8() override { return object_->lpVtbl->entry8(object_); }
    void UnbindPicker() override {
        delete_(object_);
        object_ = nullptr;
        library_.Reset();
    }
    bool ChooseConnection(const std::vector<DualString>& names, size_t& choice) override {
        if (ChooseFromList(module_, IDD_CHOICE_DIALOG, IDC_CHOICE_LIST, names, -1, nullptr) !=
            kChoiceMade) {
            return false;
        }
        const int32_t selected = ChoiceDialogSelection();
        choice = static_cast<size_t>(selected);
        return selected >= 0;
    }
    int32_t SyncMessages() override { return MailSyncMessages(nullptr, 1); }
    void AwaitSyncConnection(const DestinationGuid& destination) override {
        AwaitDestinationConnected(destination);
    }

private:
    HINSTANCE module_;
    Library library_;
    DELETE_OBJECT_NETPICK delete_ = nullptr;
    NETPICK_OBJECT* object_ = nullptr;
};

}  // namespace

HRESULT SendReceiveCommand(SendReceiveContext& extension) {
    KeepAlive keepAlive(extension);
    ChoiceDialogUse dialogUse;
    try {
        const DualString settingsPath = LoadCommandSettings(extension);
        DeviceSendReceive device(extension.Module());
        DeviceConnectionManager connectionManager;
        SnapshotFile snapshots(settingsPath);
        SendReceivePlatform platform{device, connectionManager, connectionManager, snapshots};
        return RunSendReceive(platform, extension.Settings().connectName, extension.ChoiceList());
    } catch (const std::bad_alloc&) {
        // A switch in progress was undone on the way out.
        return E_OUTOFMEMORY;
    }
}

}  // namespace pelmora
