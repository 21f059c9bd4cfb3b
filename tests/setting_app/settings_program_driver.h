// Runs PelmoraSetting.exe from a folder of its own (where it keeps its settings file) and
// drives its window from this process by window messages and input.
#pragma once

#include <windows.h>

#include <string>

#include "setting_app/resource.h"

#include "platform/owners.h"

namespace pelmora::testing_support {

class SettingsProgram {
public:
    // Copies the built program into `folder` and starts it there; Window() is null when
    // no window came up. Not `first`: started from the copy already there, no window waited for.
    explicit SettingsProgram(const std::u16string& folder, bool first = true);
    // Ends the program if it still runs.
    ~SettingsProgram();
    SettingsProgram(const SettingsProgram&) = delete;
    SettingsProgram& operator=(const SettingsProgram&) = delete;

    HWND Window() const { return window_; }
    HWND Item(int id) const { return GetDlgItem(window_, id); }
    // The soft key with this label on the program's menu bar.
    HWND SoftKey(const wchar_t* label) const;
    // The program's visible window of `className` other than its main window, waited for.
    HWND WaitForWindow(const wchar_t* className) const;
    // The window holding the keyboard focus in the program.
    HWND Focus() const;
    // Ctrl together with `key` at the program's focus, as if typed; returns when the
    // program has ended or after a wait.
    void PressControlKey(WORD key);
    // Waits for the program to end; its exit code, or STILL_ACTIVE after the wait.
    DWORD WaitForExit(DWORD milliseconds = 10000);

private:
    KernelHandle process_;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
};

// The advanced settings sheet of a running program, opened from its menu command and
// worked from this process.
class AdvancedSheet {
public:
    enum Page { kReply = 0, kQuote = 1, kSignature = 2 };

    explicit AdvancedSheet(const SettingsProgram& program);
    HWND Window() const { return sheet_; }
    // Shows `page` as a tap on its tab does; its control `id`.
    HWND Item(Page page, int id) const;
    void Type(Page page, int id, const wchar_t* text) const;
    // A button or check box click; a browse returns once the contact is chosen.
    void Click(Page page, int id) const;
    // A page's own "OK" or "キャンセル"; returns when the sheet is gone.
    void Close(int id) const;

private:
    HWND sheet_ = nullptr;
};

std::u16string TextOf(HWND control);

}  // namespace pelmora::testing_support
