// Builds a dialog template's controls as child windows of an ordinary window, scaled with
// the template's own font.
#pragma once

#include <windows.h>

#include <vector>

#include "dialog_layout/dialog_template.h"
#include "platform/owners.h"

namespace pelmora {

// One control of a predefined class built from a template item.
struct ControlRecord {
    uint16_t id = 0;
    uint16_t classOrdinal = 0;  // 0x80 BUTTON ... 0x85 COMBOBOX
    HWND window = nullptr;
    WNDPROC previousProc = nullptr;
    HWND innerWindow = nullptr;  // a combo box's list or edit child
    WNDPROC innerPreviousProc = nullptr;
};

// Builds template `templateId` of `instance` into `parent`: one child window per item of a
// named class or of the predefined classes 0x80 to 0x85, ids as in the template. `controls`
// (optional) is emptied and gets one record per predefined-class control. The fonts made
// for the controls go to `fonts`, whose owner releases them after the controls are gone.
// False when the template is missing or cannot be copied (nothing is built).
bool BuildDialogControls(DialogTemplate& dialogTemplate, HINSTANCE instance, HWND parent,
                         int templateId, std::vector<ControlRecord>* controls,
                         std::vector<GdiObject>& fonts);

// As BuildDialogControls, from the `size` bytes of a template already in memory.
bool BuildDialogControlsFrom(const uint8_t* bytes, size_t size, DialogTemplate& dialogTemplate,
                             HINSTANCE instance, HWND parent, std::vector<ControlRecord>* controls,
                             std::vector<GdiObject>& fonts);

// A dialog-unit pair in pixels for a template font on this screen.
UnitPair DialogUnitsToPixels(const DualString& faceName, int pointSize, UnitPair units);

// The logical font of a template's face and point size on the screen `dc`.
LOGFONTW DialogFont(HDC dc, const DualString& faceName, int pointSize);

}  // namespace pelmora
