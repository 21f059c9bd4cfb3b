// What every command of the context-menu object holds while it runs: the choice dialog's
// shared state, the object itself, and the settings freshly loaded.
#pragma once

#include "menuext/menu_extension.h"
#include "reply/choice_dialog_win32.h"

namespace pelmora {

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
    explicit KeepAlive(MenuExtension& object) : object_(object) {
        static_cast<IObjectWithSite&>(object_).AddRef();
    }
    ~KeepAlive() { static_cast<IObjectWithSite&>(object_).Release(); }
    KeepAlive(const KeepAlive&) = delete;
    KeepAlive& operator=(const KeepAlive&) = delete;

private:
    MenuExtension& object_;
};

// Loads the settings file into the object's record; without a readable file the record
// holds the defaults. The settings file's path, empty when it cannot be had.
DualString LoadCommandSettings(MenuExtension& extension);

}  // namespace pelmora
