// The main page: the automatic connection and account choices, built from dialog template
// 129 into the main window, and their copies to and from the settings record.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/owners.h"
#include "settings/settings_record.h"

namespace pelmora {

// Builds the page's controls into `window`, fills both lists, hooks the Tab walk and
// focuses the connection box. The controls' fonts go to `fonts`.
void BuildMainPage(HINSTANCE instance, HWND window, std::vector<GdiObject>& fonts);
void CopyRecordToPage(HWND window, const SettingsRecord& record);
void CopyPageToRecord(HWND window, SettingsRecord& record);
// The check boxes' commands: each enables its list while it is checked.
void OnMainPageCommand(HWND window, WORD id);

}  // namespace pelmora
