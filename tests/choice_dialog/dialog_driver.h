// Drives the next dialog that the calling thread shows, from inside its modal loop: a
// thread hook notices the dialog being shown, then the steps run one by one, each from
// a message posted behind whatever the previous step posted, so a step sees the effects of
// the input that the steps before it posted. Steps never wait on time; only a dialog left
// open (shown by mistake, or by steps that do not close it) is ended once
// kDialogTimeLimitMs pass without a step, failing the test.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace pelmora::testing_support {

constexpr UINT kDialogTimeLimitMs = 15000;

class DialogDriver {
public:
    using Step = std::function<void(HWND dialog)>;

    explicit DialogDriver(std::vector<Step> steps, UINT timeLimitMs = kDialogTimeLimitMs);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    HWND Dialog() const { return dialog_; }
    size_t StepsRun() const { return next_; }

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HelperProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void PostNext();
    void EndOverdueDialog();

    std::vector<Step> steps_;
    size_t next_ = 0;
    UINT timeLimitMs_;
    HWND initialised_ = nullptr;
    HWND dialog_ = nullptr;
    HHOOK hook_ = nullptr;
    HWND helper_ = nullptr;
};

// Input as the user gives it, posted to the window's queue.
void PostDoubleClick(HWND list, int line);
void PostClick(HWND list, int line);
void PostKeyPress(HWND window, UINT key, wchar_t character);

// The Done button that the shell helpers put on the dialog's navigation bar (an owned
// window of the dialog); null when there is none.
HWND FindDoneButton(HWND dialog);

// Text of one list line.
std::u16string ListLine(HWND list, int line);

}  // namespace pelmora::testing_support
