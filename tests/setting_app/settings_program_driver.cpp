#include "tests/setting_app/settings_program_driver.h"

#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/wide.h"
#include "tests/support/test_files.h"

namespace pelmora::testing_support {
namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kWaitMs = 15000;

HWND PollForWindow(DWORD processId, const wchar_t* className, HWND except) {
    for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs) {
        for (HWND window = FindWindowExW(nullptr, nullptr, className, nullptr); window != nullptr;
             window = FindWindowExW(nullptr, window, className, nullptr)) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == processId && window != except && IsWindowVisible(window)) {
                return window;
            }
        }
        Sleep(kPollMs);
    }
    return nullptr;
}

}  // namespace

SettingsProgram::SettingsProgram(const std::u16string& folder, bool first) {
    std::u16string program = folder + u"\\PelmoraSetting.exe",
                   commandLine = u"\"" + program + u"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if ((first &&
         !CopyFileW(W(HostPath(PELMORA_SETTING_EXE).c_str()), W(program.c_str()), FALSE)) ||
        !CreateProcessW(nullptr, W(&commandLine[0]), nullptr, nullptr, FALSE, 0, nullptr,
                        W(folder.c_str()), &startup, &info)) {
        return;
    }
    CloseHandle(info.hThread);
    process_.Reset(info.hProcess);
    processId_ = info.dwProcessId;
    threadId_ = info.dwThreadId;
    if (first) {
        WaitForInputIdle(process_.Get(), kWaitMs);
        window_ = PollForWindow(processId_, L"PELMORASETTING", nullptr);
        // The window shows before its page is built: a message answered from the message
        // loop says that start-up is over.
        DWORD_PTR ignored = 0;
        if (window_ != nullptr) {
            SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_BLOCK, kWaitMs, &ignored);
        }
    }
}

SettingsProgram::~SettingsProgram() {
    if (process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.Get(), 1);
        WaitForSingleObject(process_.Get(), kWaitMs);
    }
}

HWND SettingsProgram::SoftKey(const wchar_t* label) const {
    HWND bar = PollForWindow(processId_, L"DeviceMenuBar", nullptr);
    return bar != nullptr ? FindWindowExW(bar, nullptr, L"BUTTON", label) : nullptr;
}

HWND SettingsProgram::WaitForWindow(const wchar_t* className) const {
    return PollForWindow(processId_, className, window_);
}

HWND SettingsProgram::Focus() const {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(threadId_, &info) ? info.hwndFocus : nullptr;
}

DWORD SettingsProgram::WaitForExit(DWORD milliseconds) {
    DWORD code = STILL_ACTIVE;
    if (process_ && WaitForSingleObject(process_.Get(), milliseconds) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process_.Get(), &code);
    }
    return code;
}

AdvancedSheet::AdvancedSheet(const SettingsProgram& program) {
    PostMessageW(program.Window(), WM_COMMAND, IDM_ADVANCED, 0);
    sheet_ = program.WaitForWindow(L"#32770");
}

HWND AdvancedSheet::Item(Page page, int id) const {
    SendMessageW(sheet_, PSM_SETCURSEL, page, 0);
    HWND shown = reinterpret_cast<HWND>(SendMessageW(sheet_, PSM_GETCURRENTPAGEHWND, 0, 0));
    return GetDlgItem(shown, id);
}

void AdvancedSheet::Type(Page page, int id, const wchar_t* text) const {
    SendMessageW(Item(page, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}

void AdvancedSheet::Click(Page page, int id) const {
    SendMessageW(Item(page, id), BM_CLICK, 0, 0);
}

void AdvancedSheet::Close(int id) const {
    PostMessageW(Item(kReply, id), BM_CLICK, 0, 0);
    for (DWORD waited = 0; waited < kWaitMs && IsWindow(sheet_); waited += kPollMs) {
        Sleep(kPollMs);
    }
}

std::u16string TextOf(HWND control) {
    wchar_t text[512] = {};
    SendMessageW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
    return std::u16string(U(text));
}

void SettingsProgram::PressControlKey(WORD key) {
    // The key goes to the program's focus with Ctrl held in the input state that this
    // thread shares with the program's for the moment, so no other window, of this test
    // run or another, can take the keys as real input could.
    HWND focus = Focus();
    if (!AttachThreadInput(GetCurrentThreadId(), threadId_, TRUE)) {
        return;
    }
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(focus != nullptr ? focus : window_, WM_KEYDOWN, key, 1);
    WaitForSingleObject(process_.Get(), kWaitMs);  // both keys end the program
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    AttachThreadInput(GetCurrentThreadId(), threadId_, FALSE);
}

}  // namespace pelmora::testing_support
