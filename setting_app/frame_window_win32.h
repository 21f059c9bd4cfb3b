// The settings program's small window framework: the application, the registry of its
// window objects and the window base class with one virtual operation per message.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/owners.h"
#include "sdk/aygshell.h"
#include "text/dual_string.h"

namespace pelmora {

// The program takes no options; the list is kept for the window's command-line check.
using OptionList = std::vector<DualString>;

class FrameWindow {
public:
    FrameWindow() = default;
    FrameWindow(const FrameWindow&) = delete;
    FrameWindow& operator=(const FrameWindow&) = delete;

    // One slot per operation, in this order. A message operation's result below 0 means
    // "not handled": the window procedure then gives the message to DefWindowProcW.
    virtual int CheckCommandLine(const OptionList& options);  // 1: run without a window
    virtual int RunWithoutWindow(const OptionList& options);
    virtual bool Create(HINSTANCE instance, const DualString& className, const DualString& title,
                        int menuBarId, int showCommand);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnInitMenuPopup(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnPaint(HDC dc, PAINTSTRUCT* paint);
    virtual LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnActivate(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnSettingChange(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    virtual ~FrameWindow() = default;

    HINSTANCE instance = nullptr;
    HWND window = nullptr;  // bound by the class window procedure on the first message
    int menuBarId = 0;      // 0 or less: no menu bar
    HWND menuBar = nullptr;
};

// The framework's program-wide state: the window objects (owned, in registration order)
// and the one being created, which the class window procedure binds to its first message.
struct WindowRegistry {
    std::vector<std::unique_ptr<FrameWindow>> windows;
    FrameWindow* creating = nullptr;
};
WindowRegistry& Windows();

LRESULT CALLBACK ClassWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class SettingsApplication {
public:
    SettingsApplication() = default;
    SettingsApplication(const SettingsApplication&) = delete;
    SettingsApplication& operator=(const SettingsApplication&) = delete;
    // Destroys and frees every registered window.
    ~SettingsApplication();

    virtual ATOM RegisterWindowClass(HINSTANCE instance, const DualString& name);
    virtual ATOM InitInstance(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine,
                              int showCommand);
    virtual bool ParseCommandLine(LPCWSTR commandLine, int showCommand, OptionList& options);

    // Runs `window` (handed over to the registry) to the end of the message loop; the
    // result is the exit code.
    int Run(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand,
            std::unique_ptr<FrameWindow> window, int menuBarId);

    DualString className;
    DualString title;
    HINSTANCE instance = nullptr;
    HACCEL accelerators = nullptr;
    HICON icon = nullptr;
    bool severalInstances = false;

private:
    KernelHandle instanceMutex_;  // held until the program ends
};

}  // namespace pelmora
