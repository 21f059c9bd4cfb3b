// devicescreen: drives and photographs the emulated handheld's screen from a script. Runs
// its commands in order, in one process; input goes through the window system as a user's
// would, pictures are read back from the screen as it is shown, so a popup menu of another
// program is in the picture too.
//
//   desktop               fails unless this program can open windows on the display
//   wait NAME [MS]        until a visible window of that class or title exists
//   wait-menu [MS]        until a popup menu is shown
//   wait-gone NAME [MS]   until no visible window of that class or title exists
//   capture FILE.png [X Y W H]   the screen (default: the handheld's whole screen, QVGA
//                         or VGA as the session's DPI says)
//   tap X Y | double-tap X Y     a tap (two) with the stylus
//   hold X Y              a tap and hold until a popup menu shows (at most 3 s)
//   tap-control NAME ID   a tap in the middle of the shown control ID of that window (its
//                         pages included), once it is there
//   key NAME              escape, return, up, down, left, right, tab, space
//   text STRING           types STRING at the focus, character by character
//   wait-text NAME ID STRING [MS]   until control ID of that window shows STRING
//   sleep MS
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "device/aygshell/device_screen.h"
#include "device/screen/screen_capture_win32.h"
#include "platform/owners.h"

namespace pelmora::device {

namespace {

void Error(const std::wstring& text) {
    const std::wstring line = L"devicescreen: " + text + L"\n";
    const int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), n,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
              &written, nullptr);
}

struct Search {
    const std::wstring* name;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t text[256] = {};
    wchar_t cls[256] = {};
    GetClassNameW(window, cls, 256);
    GetWindowTextW(window, text, 256);
    if (IsWindowVisible(window) && (*search->name == cls || *search->name == text)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window whose class or title is `name`, whichever program shows it.
HWND FindShown(const std::wstring& name) {
    Search search = {&name, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <typename Done>
bool WaitFor(Done done, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() > end) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

struct ControlSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchControl(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ControlSearch*>(param);
    if (IsWindowVisible(window) && GetDlgCtrlID(window) == search->id) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The shown control `id` anywhere inside the window `name` (a sheet's page included).
HWND FindControl(const std::wstring& name, int id) {
    HWND top = FindShown(name);
    ControlSearch search = {id, nullptr};
    if (top != nullptr) {
        EnumChildWindows(top, MatchControl, reinterpret_cast<LPARAM>(&search));
    }
    return search.found;
}

std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 5000,
                        nullptr);
    return text;
}

bool MenuShown() {
    return FindShown(L"#32768") != nullptr;
}

void Button(DWORD flags) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

void Key(WORD vk) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = vk;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof input[0]);
}

// Each character as its own key press, as a handheld's input panel gives it.
void Type(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wScan = input[1].ki.wScan = c;
        input[0].ki.dwFlags = KEYEVENTF_UNICODE;
        input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof input[0]);
        Sleep(20);
    }
}

void Tap(int x, int y) {
    SetCursorPos(x, y);
    Sleep(50);
    Button(MOUSEEVENTF_LEFTDOWN);
    Button(MOUSEEVENTF_LEFTUP);
}

bool Capture(const std::wstring& path, const RECT& area) {
    // What the screen shows once the programs have drawn what they owe.
    Sleep(400);
    const std::string png = CaptureScreenPng(area);
    FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && !png.empty() &&
           WriteFile(file.Get(), png.data(), static_cast<DWORD>(png.size()), &written, nullptr) &&
           written == png.size();
}

WORD KeyCode(const std::wstring& name) {
    const std::pair<const wchar_t*, WORD> keys[] = {
        {L"escape", VK_ESCAPE}, {L"return", VK_RETURN}, {L"up", VK_UP},   {L"down", VK_DOWN},
        {L"left", VK_LEFT},     {L"right", VK_RIGHT},   {L"tab", VK_TAB}, {L"space", VK_SPACE},
    };
    for (const auto& [text, vk] : keys) {
        if (name == text) {
            return vk;
        }
    }
    return 0;
}

class Script {
public:
    explicit Script(std::vector<std::wstring> args) : args_(std::move(args)) {}

    int Run() {
        while (at_ < args_.size()) {
            const std::wstring command = args_[at_++];
            if (!Step(command)) {
                Error(L"step " + std::to_wstring(at_) + L" failed: " + command);
                return 1;
            }
        }
        return 0;
    }

private:
    bool More() const { return at_ < args_.size(); }
    bool NextIsNumber() const {
        return More() && !args_[at_].empty() && iswdigit(args_[at_][0]) != 0;
    }
    int Number() { return More() ? _wtoi(args_[at_++].c_str()) : 0; }
    std::wstring Text() { return More() ? args_[at_++] : std::wstring(); }
    DWORD Timeout() { return NextIsNumber() ? static_cast<DWORD>(Number()) : 10000; }

    bool Step(const std::wstring& command) {
        if (command == L"desktop") {
            // Wine opens the display for a process once: when the desktop was not ready
            // then, the process can show nothing and a new one must try again.
            GetDesktopWindow();
            HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                         nullptr, nullptr);
            if (probe != nullptr) {
                DestroyWindow(probe);
            }
            return probe != nullptr;
        }
        if (command == L"wait") {
            const std::wstring name = Text();
            return WaitFor([&] { return FindShown(name) != nullptr; }, Timeout());
        }
        if (command == L"wait-gone") {
            const std::wstring name = Text();
            return WaitFor([&] { return FindShown(name) == nullptr; }, Timeout());
        }
        if (command == L"wait-menu") {
            return WaitFor(MenuShown, Timeout());
        }
        if (command == L"capture") {
            const std::wstring path = Text();
            const ScreenGeometry screen = DeviceScreen();
            RECT area = {0, 0, screen.width, screen.height};
            if (NextIsNumber()) {
                area.left = Number();
                area.top = Number();
                area.right = area.left + Number();
                area.bottom = area.top + Number();
            }
            return !path.empty() && area.right > area.left && area.bottom > area.top &&
                   Capture(path, area);
        }
        if (command == L"tap" || command == L"double-tap") {
            const int x = Number();
            const int y = Number();
            Tap(x, y);
            if (command == L"double-tap") {
                Sleep(80);
                Tap(x, y);
            }
            return true;
        }
        if (command == L"tap-control") {
            const std::wstring name = Text();
            const int id = Number();
            HWND control = nullptr;
            RECT rc;
            // The window may show before its controls are built.
            if (!WaitFor([&] { return (control = FindControl(name, id)) != nullptr; }, 10000) ||
                !GetWindowRect(control, &rc)) {
                return false;
            }
            Tap((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
            return true;
        }
        if (command == L"text") {
            Type(Text());
            return true;
        }
        if (command == L"wait-text") {
            const std::wstring name = Text();
            const int id = Number();
            const std::wstring text = Text();
            return WaitFor(
                [&] {
                    HWND control = FindControl(name, id);
                    return control != nullptr && TextOf(control) == text;
                },
                Timeout());
        }
        if (command == L"hold") {
            const int x = Number();
            const int y = Number();
            SetCursorPos(x, y);
            Sleep(50);
            Button(MOUSEEVENTF_LEFTDOWN);
            const bool shown = WaitFor(MenuShown, 3000);
            Button(MOUSEEVENTF_LEFTUP);
            return shown;
        }
        if (command == L"key") {
            const WORD vk = KeyCode(Text());
            if (vk == 0) {
                return false;
            }
            Key(vk);
            Sleep(100);
            return true;
        }
        if (command == L"sleep") {
            Sleep(static_cast<DWORD>(Number()));
            return true;
        }
        return false;
    }

    std::vector<std::wstring> args_;
    size_t at_ = 0;
};

}  // namespace

}  // namespace pelmora::device

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        args.emplace_back(argv[i]);
    }
    LocalFree(argv);
    if (args.empty()) {
        pelmora::device::Error(L"usage: devicescreen COMMAND... (see the source's head)");
        return 2;
    }
    return pelmora::device::Script(std::move(args)).Run();
}
