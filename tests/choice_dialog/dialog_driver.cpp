#include "dialog_driver.h"

#include <gtest/gtest.h>

#include <utility>

#include "platform/owners.h"

namespace pelmora::testing_support {
namespace {

constexpr UINT kRunStep = WM_APP + 1;
constexpr UINT_PTR kTimeLimitTimer = 1;
const wchar_t kHelperClass[] = L"DialogDriverHelper";
DialogDriver* g_current = nullptr;

LPARAM LinePoint(HWND list, int line) {
    RECT item = {};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&item));
    return MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
}

}  // namespace

DialogDriver::DialogDriver(std::vector<Step> steps, UINT timeLimitMs)
    : steps_(std::move(steps)), timeLimitMs_(timeLimitMs) {
    WNDCLASSW cls = {};
    cls.lpfnWndProc = HelperProc;
    cls.hInstance = GetModuleHandleW(nullptr);
    cls.lpszClassName = kHelperClass;
    RegisterClassW(&cls);  // already registered by an earlier driver: fine
    helper_ = CreateWindowExW(0, kHelperClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              cls.hInstance, nullptr);
    g_current = this;
    hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, HookProc, nullptr, GetCurrentThreadId());
}

DialogDriver::~DialogDriver() {
    UnhookWindowsHookEx(hook_);
    DestroyWindow(helper_);  // steps still queued die with it
    g_current = nullptr;
}

void DialogDriver::PostNext() {
    // The time limit starts again with every step, so only a dialog left alone runs out.
    SetTimer(helper_, kTimeLimitTimer, timeLimitMs_, nullptr);
    if (next_ < steps_.size()) {
        PostMessageW(helper_, kRunStep, 0, 0);
    }
}

void DialogDriver::EndOverdueDialog() {
    KillTimer(helper_, kTimeLimitTimer);
    if (!IsWindow(dialog_)) {
        return;  // closed in time; the timer outlived it
    }
    ADD_FAILURE() << "a dialog was still open " << timeLimitMs_ << " ms after the last input ("
                  << next_ << " of " << steps_.size() << " steps run); ended by the test driver";
    next_ = steps_.size();
    EndDialog(dialog_, IDCANCEL);
}

LRESULT CALLBACK DialogDriver::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    DialogDriver* driver = g_current;
    if (code == HC_ACTION && driver != nullptr && driver->dialog_ == nullptr) {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (call->message == WM_INITDIALOG) {
            driver->initialised_ = call->hwnd;
        } else if (call->message == WM_WINDOWPOSCHANGED && call->hwnd == driver->initialised_ &&
                   IsWindowVisible(call->hwnd)) {
            // The modal loop shows the dialog once its queue first runs dry; input comes
            // after that, as from a user looking at it.
            driver->dialog_ = call->hwnd;
            driver->PostNext();
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK DialogDriver::HelperProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    DialogDriver* driver = g_current;
    if (msg == kRunStep && driver != nullptr && driver->next_ < driver->steps_.size()) {
        Step& step = driver->steps_[driver->next_++];
        step(driver->dialog_);
        driver->PostNext();
        return 0;
    }
    if (msg == WM_TIMER && wParam == kTimeLimitTimer && driver != nullptr) {
        driver->EndOverdueDialog();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void PostClick(HWND list, int line) {
    const LPARAM at = LinePoint(list, line);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
}

void PostDoubleClick(HWND list, int line) {
    const LPARAM at = LinePoint(list, line);
    PostClick(list, line);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
}

void PostKeyPress(HWND window, UINT key, wchar_t character) {
    // Posted, so the dialog's own message loop and its dialog manager see each message, as
    // they see a real key press: down, the character, then up.
    PostMessageW(window, WM_KEYDOWN, key, static_cast<LPARAM>(0x00000001u));
    PostMessageW(window, WM_CHAR, character, static_cast<LPARAM>(0x00000001u));
    // Repeat count 1, previous state down, transition state up.
    PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

// The first owned window of `search->first` with a Done button, its button in `->second`.
static BOOL CALLBACK FindDoneOnOwned(HWND window, LPARAM param) {
    auto* s = reinterpret_cast<std::pair<HWND, HWND>*>(param);
    s->second = GetWindow(window, GW_OWNER) == s->first ? GetDlgItem(window, IDOK) : nullptr;
    return s->second == nullptr;
}

HWND FindDoneButton(HWND dialog) {
    std::pair<HWND, HWND> search{dialog, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(dialog, nullptr), FindDoneOnOwned,
                      reinterpret_cast<LPARAM>(&search));
    return search.second;
}

std::u16string ListLine(HWND list, int line) {
    wchar_t text[512] = L"<no line>";
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text));
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

}  // namespace pelmora::testing_support
