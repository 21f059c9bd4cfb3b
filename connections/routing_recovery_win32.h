// The snapshot of a routing switch in progress, kept in a file next to the settings file, and
// the named lock that makes one process at a time the owner of the routing.
#pragma once

#include <windows.h>

#include "connections/routing_snapshot.h"
#include "platform/owners.h"
#include "text/dual_string.h"

namespace pelmora {

class SnapshotFile : public SnapshotStore {
public:
    // The file for the settings file at `settingsPath`: same folder and name, extension
    // ".routing".
    explicit SnapshotFile(const DualString& settingsPath);

    bool Own() override;
    void Disown() override;
    SnapshotLoad Load(std::string& text) override;
    bool Save(const std::string& text) override;
    bool Remove() override;
    bool SetAside() override;

private:
    DualString path_;
    KernelHandle lock_;
};

// Undoes a switch that a send/receive command left in place (the process was killed, the
// handheld reset), unless a live command owns the routing. The settings program calls it at
// its start with its own settings path. True when nothing is pending afterwards.
bool RecoverPendingRouting(const DualString& settingsPath);

}  // namespace pelmora
