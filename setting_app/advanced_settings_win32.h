// The advanced settings sheet, opened by the menu command "詳細設定": three pages over the
// main window's settings record, edited in memory only.
#pragma once

#include <windows.h>

#include <cstddef>

#include "settings/settings_record.h"

namespace pelmora {

// A page of the sheet. The base behaviours: nothing to exchange, OK and Cancel buttons
// forwarded to the sheet, notifications accepted.
class SettingsPage {
public:
    virtual ~SettingsPage() = default;
    virtual bool Exchange(HWND dialog, bool save);
    virtual int DialogId();
    virtual INT_PTR OnInit(HWND dialog, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR OnSetActive();
    virtual INT_PTR OnKillActive();
    virtual INT_PTR OnApply(HWND dialog);
    virtual INT_PTR OnReset();

    int position = -1;                 // in the sheet; -1 until the sheet is built
    SettingsRecord* record = nullptr;  // not owned
    HINSTANCE module = nullptr;        // holds the page's dialog template
};

// Cc, Bcc (each with a contact browse) and the reply rules.
class ReplyPage : public SettingsPage {
public:
    bool Exchange(HWND dialog, bool save) override;
    int DialogId() override;
    INT_PTR OnInit(HWND dialog, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) override;
};

// Quoting on or off and the quote prefix.
class QuotePage : public SettingsPage {
public:
    bool Exchange(HWND dialog, bool save) override;
    int DialogId() override;
    INT_PTR OnInit(HWND dialog, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) override;
};

class SignaturePage : public SettingsPage {
public:
    bool Exchange(HWND dialog, bool save) override;
    int DialogId() override;
    INT_PTR OnInit(HWND dialog, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) override;
};

// Runs the sheet over `record` and returns when it closes: 1 when the sheet ran, 2 when it
// could not be shown.
int ShowAdvancedSettings(HINSTANCE module, HWND owner, SettingsRecord& record);

// An edit control's whole text, read in tries of `size` characters that double until the
// text fits.
void ReadDialogText(HWND dialog, int id, DualString& text, size_t size);

}  // namespace pelmora
