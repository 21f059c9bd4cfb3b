// The one modal list dialog of the extension: shows names, answers with the chosen
// position. Both commands use it; its state is program-wide, so one runs at a time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "reply/choice_dialog_ids.h"
#include "text/dual_string.h"

namespace pelmora {

// End values of the dialog: a choice, Done with nothing chosen, the dialog closed.
constexpr INT_PTR kChoiceMade = 1;
constexpr INT_PTR kChoiceNone = 2;
constexpr INT_PTR kChoiceClosed = 16;

// Resets the shared state at the start of a command: no selection, no numbers, no names.
void ResetChoiceDialog();
// Empties the state's copy of the names when a command ends.
void ClearChoiceDialog();
// The position chosen by the last dialog (-1 for none).
int32_t ChoiceDialogSelection();

// Runs dialog `templateId` of `module` modally over `names` (shown by display label) with
// list control `listId`; `initialSelection` (-1 for none) is selected at start when it is
// a position in the list. Returns the dialog's end value (-1 when the dialog could not be
// shown); with kChoiceMade the chosen position is ChoiceDialogSelection().
INT_PTR ChooseFromList(HINSTANCE module, int templateId, int listId,
                       const std::vector<DualString>& names, int32_t initialSelection, HWND owner);

}  // namespace pelmora
