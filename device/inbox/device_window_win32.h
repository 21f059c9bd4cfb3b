// A window as the handheld shows one: the whole 240 x 320 screen, with the navigation bar
// across the top (title and "ok"), an optional header strip, the content, and the soft-key
// bar at the bottom. No desktop caption or frame. A tap and hold on the content asks for
// its context menu, as on the handheld.
#pragma once

#include <windows.h>

#include <string>

namespace pelmora::device {

class DeviceWindow {
public:
    DeviceWindow() = default;
    DeviceWindow(const DeviceWindow&) = delete;
    DeviceWindow& operator=(const DeviceWindow&) = delete;
    virtual ~DeviceWindow() = default;

    // Creates the screen window with `title` and the two soft keys' labels.
    bool Create(const std::u16string& title, const std::u16string& leftKey,
                const std::u16string& rightKey, HWND owner);
    HWND Window() const { return window_; }
    // The rectangle left for the header strip (of `headerHeight` pixels) and the content.
    RECT ContentArea() const;
    // Puts `content` below the header; a tap and hold on it opens the context menu.
    void SetContent(HWND content);
    void SetHeader(const std::u16string& left, const std::u16string& right, int lines);

    // The screen's text font, shared by every screen window.
    static HFONT Font();
    // Where a context menu goes for a hold at `at` (screen coordinates), clear of the finger.
    static UINT MenuPlacement(POINT at, POINT& where);

protected:
    // "ok" on the navigation bar closes the screen.
    virtual void OnDone() { DestroyWindow(window_); }
    // The right soft key opens the context menu above it; the left one is the screen's own.
    virtual void OnLeftSoftKey() = 0;
    // `at` in screen coordinates; (-1, -1) from the keyboard.
    virtual void OnContextMenu(POINT at) = 0;
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    virtual void OnDestroy() {}

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HoldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR data);
    void Paint();
    void LayoutContent();

    HWND window_ = nullptr;
    HWND content_ = nullptr;
    std::u16string title_;
    std::u16string keys_[2];
    std::u16string header_[2];
    int headerLines_ = 0;
    POINT pressed_ = {};
};

}  // namespace pelmora::device
