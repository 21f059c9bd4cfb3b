// The snapshot of a routing switch in progress, kept in a file next to the settings file and
// written as safely as the settings file is.
#pragma once

#include <windows.h>

#include "connections/routing_snapshot.h"
#include "text/dual_string.h"

namespace pelmora {

class SnapshotFile : public SnapshotStore {
public:
    // The file for the settings file at `settingsPath`: same folder and name, extension
    // ".routing".
    explicit SnapshotFile(const DualString& settingsPath);

    bool Load(std::string& text) override;
    bool Save(const std::string& text) override;
    bool Remove() override;

private:
    DualString path_;
};

// Undoes a switch that a send/receive command left in place (the process was killed, the
// handheld reset). Both deliverables call it when they start: the extension at each
// send/receive command, the settings program at its start with its own settings path. True
// when nothing is pending afterwards.
bool RecoverPendingRouting(const DualString& settingsPath);

}  // namespace pelmora
