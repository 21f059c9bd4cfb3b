#include "setting_app/frame_window_win32.h"

#include <new>

#include "platform/handheld.h"
#include "platform/wide.h"

namespace pelmora {
namespace {

// The shell's activation record, shared by every window of the program.
SHACTIVATEINFO g_activateInfo;

LRESULT Handled(LRESULT result, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return result < 0 ? DefWindowProcW(window, message, wParam, lParam) : 0;
}

}  // namespace

WindowRegistry& Windows() {
    static WindowRegistry registry;
    return registry;
}

LRESULT CALLBACK ClassWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRegistry& registry = Windows();
    if (window != nullptr) {
        for (const auto& registered : registry.windows) {
            if (registered->window == window) {
                return registered->WindowProc(message, wParam, lParam);
            }
        }
    }
    if (FrameWindow* creating = registry.creating) {
        creating->window = window;
        registry.creating = nullptr;
        return creating->WindowProc(message, wParam, lParam);
    }
    return 0;
}

int FrameWindow::CheckCommandLine(const OptionList&) {
    return 0;
}
int FrameWindow::RunWithoutWindow(const OptionList&) {
    return 0;
}

bool FrameWindow::Create(HINSTANCE instanceHandle, const DualString& className,
                         const DualString& title, int menuBarResource, int showCommand) {
    menuBarId = menuBarResource;
    instance = instanceHandle;
    // The first message binds the window handle, and OnCreate makes the menu bar.
    HWND created =
        CreateWindowExW(0, W(className), W(title), kTopLevelStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (created == nullptr) {
        return false;
    }
    // Placing the window is the program's work: the shell's work area (the screen below its
    // navigation bar), shortened by the menu bar, which the shell puts at the screen's foot.
    RECT own = {};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &own, 0)) {
        GetWindowRect(window, &own);
    }
    if (menuBar != nullptr) {
        RECT bar = {};
        GetWindowRect(menuBar, &bar);
        own.bottom -= bar.bottom - bar.top;
    }
    MoveWindow(window, own.left, own.top, own.right - own.left, own.bottom - own.top, FALSE);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return true;
}

LRESULT FrameWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND self = window;
    switch (message) {
        case WM_CREATE: {
            const LRESULT result = OnCreate(wParam, lParam);
            ZeroMemory(&g_activateInfo, sizeof g_activateInfo);
            g_activateInfo.cbSize = sizeof g_activateInfo;
            return Handled(result, self, message, wParam, lParam);
        }
        case WM_DESTROY:
            return Handled(OnDestroy(wParam, lParam), self, message, wParam, lParam);
        case WM_ACTIVATE: {
            const LRESULT result = OnActivate(wParam, lParam);
            SHHandleWMActivate(self, wParam, lParam, &g_activateInfo, 0);
            return Handled(result, self, message, wParam, lParam);
        }
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(self, &paint);
            const LRESULT result = OnPaint(dc, &paint);
            EndPaint(self, &paint);
            return Handled(result, self, message, wParam, lParam);
        }
        case WM_CLOSE:
            OnClose(wParam, lParam);
            return DefWindowProcW(self, message, wParam, lParam);
        case WM_SETTINGCHANGE: {
            const LRESULT result = OnSettingChange(wParam, lParam);
            SHHandleWMSettingChange(self, wParam, lParam, &g_activateInfo);
            return Handled(result, self, message, wParam, lParam);
        }
        case WM_KEYDOWN:
            return Handled(OnKeyDown(wParam, lParam), self, message, wParam, lParam);
        case WM_COMMAND:
            return Handled(OnCommand(wParam, lParam), self, message, wParam, lParam);
        case WM_TIMER:
            return Handled(OnTimer(wParam, lParam), self, message, wParam, lParam);
        case WM_INITMENUPOPUP:
            return Handled(OnInitMenuPopup(wParam, lParam), self, message, wParam, lParam);
        default:
            return DefWindowProcW(self, message, wParam, lParam);
    }
}

LRESULT FrameWindow::OnCommand(WPARAM, LPARAM) {
    return 0;
}
LRESULT FrameWindow::OnInitMenuPopup(WPARAM, LPARAM) {
    return 0;
}
LRESULT FrameWindow::OnKeyDown(WPARAM, LPARAM) {
    return 0;
}

LRESULT FrameWindow::OnCreate(WPARAM, LPARAM) {
    if (menuBarId > 0) {
        SHMENUBARINFO info;
        ZeroMemory(&info, sizeof info);
        info.cbSize = sizeof info;
        info.hwndParent = window;
        info.nToolBarId = static_cast<UINT>(menuBarId);
        info.hInstRes = instance;
        menuBar = SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
    }
    return 0;
}

LRESULT FrameWindow::OnTimer(WPARAM, LPARAM) {
    return 0;
}
LRESULT FrameWindow::OnPaint(HDC, PAINTSTRUCT*) {
    return 0;
}

LRESULT FrameWindow::OnDestroy(WPARAM, LPARAM) {
    if (menuBar != nullptr) {
        DestroyWindow(menuBar);
        menuBar = nullptr;
    }
    PostQuitMessage(0);
    return 0;
}

LRESULT FrameWindow::OnActivate(WPARAM, LPARAM) {
    return 0;
}
LRESULT FrameWindow::OnSettingChange(WPARAM, LPARAM) {
    return 0;
}
LRESULT FrameWindow::OnClose(WPARAM, LPARAM) {
    return 0;
}

SettingsApplication::~SettingsApplication() {
    WindowRegistry& registry = Windows();
    for (auto& registered : registry.windows) {
        if (registered->window != nullptr && IsWindow(registered->window)) {
            DestroyWindow(registered->window);
        }
    }
    registry.windows.clear();
    registry.creating = nullptr;
}

ATOM SettingsApplication::RegisterWindowClass(HINSTANCE module, const DualString& name) {
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = ClassWindowProc;
    wc.hInstance = module;
    wc.hIcon = icon;
    wc.hbrBackground = SystemWindowBackground();
    wc.lpszClassName = W(name);
    return RegisterClassW(&wc);
}

ATOM SettingsApplication::InitInstance(HINSTANCE module, HINSTANCE, LPWSTR, int) {
    instance = module;
    SHInitExtraControls();
    return RegisterWindowClass(module, className);
}

bool SettingsApplication::ParseCommandLine(LPCWSTR commandLine, int, OptionList& options) {
    // Options are the command line's blank-separated words.
    for (const wchar_t* p = commandLine; p != nullptr && *p != 0;) {
        while (*p == L' ' || *p == L'\t') {
            ++p;
        }
        const wchar_t* start = p;
        while (*p != 0 && *p != L' ' && *p != L'\t') {
            ++p;
        }
        if (p != start) {
            options.emplace_back(U(start), static_cast<size_t>(p - start));
        }
    }
    return true;
}

int SettingsApplication::Run(HINSTANCE module, HINSTANCE previous, LPWSTR commandLine,
                             int showCommand, std::unique_ptr<FrameWindow> window, int menuBarId) {
    OptionList options;
    if (!ParseCommandLine(commandLine, showCommand, options)) {
        return 0;
    }
    const int check = window->CheckCommandLine(options);
    if (!severalInstances) {
        instanceMutex_.Reset(CreateMutexW(nullptr, FALSE, W(className)));
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            if (check == 0) {
                SetForegroundWindow(FindWindowW(W(className), W(title)));
            }
            return 0;
        }
    }
    if (check == 1) {
        return window->RunWithoutWindow(options);
    }
    if (InitInstance(module, previous, commandLine, showCommand) == 0) {
        return 0;
    }
    WindowRegistry& registry = Windows();
    FrameWindow* created = window.get();
    registry.creating = created;
    registry.windows.push_back(std::move(window));
    if (!created->Create(module, className, title, menuBarId, showCommand)) {
        return 0;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        // The command goes to the main window, which owns the accelerators: sent to the
        // focused control (the message's own window) it would be lost, and Ctrl+Q or Ctrl+A
        // would do nothing.
        if (accelerators != nullptr && created->window != nullptr &&
            TranslateAcceleratorW(created->window, accelerators, &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace pelmora
