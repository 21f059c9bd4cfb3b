// The settings program's main window: the main page, the soft-key commands, and when the
// settings are loaded and saved.
#pragma once

#include <vector>

#include "setting_app/frame_window_win32.h"
#include "settings/settings_record.h"

namespace pelmora {

class SettingsWindow : public FrameWindow {
public:
    bool Create(HINSTANCE instance, const DualString& className, const DualString& title,
                int menuBarId, int showCommand) override;
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnClose(WPARAM wParam, LPARAM lParam) override;

    SettingsRecord record;

private:
    static constexpr int kLoadAttempts = 10;
    static constexpr DWORD kLoadWaitMs = 20;

    void LoadOrKeep(const DualString& path);
    void SaveAndClose();

    // The settings file holds settings that could not be read: it is never saved over.
    bool keepFile_ = false;

    // The page controls' fonts; released with this object, after the window and its
    // controls are gone.
    std::vector<GdiObject> fonts_;
};

}  // namespace pelmora
