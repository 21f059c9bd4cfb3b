// What every command of the context-menu object holds while it runs: the choice dialog's
// shared state, the object itself, and the settings freshly loaded.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <vector>

#include "reply/choice_dialog_win32.h"
#include "settings/settings_record.h"
#include "text/dual_string.h"

namespace pelmora {

// What any command uses of the object that runs it. The object implements this; the
// commands never see the object's own type, so the menu object depends on them and not
// the other way round.
class CommandContext {
public:
    // The COM object itself, held while a command runs.
    virtual IUnknown* Object() = 0;
    // The module whose resources (dialogs) and folder (settings file) the command uses.
    virtual HINSTANCE Module() const = 0;
    virtual SettingsRecord& Settings() = 0;
    // The names offered in the choice dialog (accounts or connections).
    virtual std::vector<DualString>& ChoiceList() = 0;

protected:
    ~CommandContext() = default;
};

// The choice dialog's shared state belongs to one command at a time: reset when the
// command starts, emptied when it ends, whichever way it ends.
class ChoiceDialogUse {
public:
    ChoiceDialogUse() { ResetChoiceDialog(); }
    ~ChoiceDialogUse() { ClearChoiceDialog(); }
    ChoiceDialogUse(const ChoiceDialogUse&) = delete;
    ChoiceDialogUse& operator=(const ChoiceDialogUse&) = delete;
};

// Keeps the object alive while the command runs: the dialog's modal loop dispatches the
// Inbox's messages, and the Inbox could drop its last reference meanwhile.
class KeepAlive {
public:
    explicit KeepAlive(CommandContext& context) : object_(context.Object()) { object_->AddRef(); }
    ~KeepAlive() { object_->Release(); }
    KeepAlive(const KeepAlive&) = delete;
    KeepAlive& operator=(const KeepAlive&) = delete;

private:
    IUnknown* object_;
};

// Loads the settings file into the object's record; without a readable file the record
// holds the defaults. The settings file's path, empty when it cannot be had.
DualString LoadCommandSettings(CommandContext& extension);

}  // namespace pelmora
