// PelmoraSetting.exe's entry point.
#include <windows.h>
#include <objbase.h>

#include <memory>
#include <new>

#include "sdk/cemapi.h"
#include "setting_app/resource.h"
#include "setting_app/settings_window_win32.h"

namespace {

HINSTANCE g_instance = nullptr;

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand) {
    using namespace pelmora;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // The messaging subsystem is started before the account list logs on and stopped after
    // the last session is gone; without it the logon fails and the list stays empty.
    const bool mapi = MAPIInitialize(nullptr) == S_OK;
    int exitCode = 0;
    {
        SettingsApplication application;
        g_instance = instance;
        wchar_t text[100] = {};
        LoadStringW(instance, IDS_APP_CLASS, text, 100);
        application.className = DualString(reinterpret_cast<const char16_t*>(text));
        LoadStringW(instance, IDS_APP_TITLE, text, 100);
        application.title = DualString(reinterpret_cast<const char16_t*>(text));
        application.accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
        application.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
        application.severalInstances = false;
        std::unique_ptr<FrameWindow> window(new (std::nothrow) SettingsWindow);
        if (window != nullptr) {
            exitCode = application.Run(instance, previous, commandLine, showCommand,
                                       std::move(window), IDR_MENU_BAR);
        }
        if (mapi) {
            MAPIUninitialize();
        }
        CoUninitialize();
    }
    return exitCode;
}
