#include "dialog_layout/dialog_builder_win32.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/handheld.h"
#include "platform/wide.h"

namespace pelmora {
namespace {

constexpr wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr uint16_t kComboBox = 0x85;

const wchar_t* PredefinedClass(uint16_t ordinal) {
    static const wchar_t* const kClasses[] = {L"BUTTON",  L"EDIT",      L"STATIC",
                                              L"LISTBOX", L"SCROLLBAR", L"COMBOBOX"};
    return ordinal >= 0x80 && ordinal <= 0x85 ? kClasses[ordinal - 0x80] : nullptr;
}

// The screen's device context for the length of one measurement.
class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_ != nullptr) {
            ReleaseDC(nullptr, dc_);
        }
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

DialogBaseUnits MeasureBaseUnits(const DualString& faceName, int pointSize) {
    ScreenDc screen;
    const LOGFONTW logical = DialogFont(screen.Get(), faceName, pointSize);
    GdiObject font(CreateFontIndirectW(&logical));
    if (font && screen.Get() != nullptr) {
        HGDIOBJ previous = SelectObject(screen.Get(), font.Get());
        TEXTMETRICW metrics = {};
        SIZE extent = {};
        GetTextMetricsW(screen.Get(), &metrics);
        GetTextExtentExPointW(screen.Get(), kLetters, 52, 0, nullptr, nullptr, &extent);
        SelectObject(screen.Get(), previous);
        return BaseUnitsFromMetrics(extent.cx, metrics.tmHeight, metrics.tmExternalLeading);
    }
    const LONG units = GetDialogBaseUnits();
    return {LOWORD(units), HIWORD(units)};
}

// The combo box's inner window: its list for a drop-down kind, else its first child.
HWND ComboInnerWindow(HWND combo) {
    if ((GetWindowLongPtrW(combo, GWL_STYLE) & 0x3) != 0) {
        COMBOBOXINFO info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        SendMessageW(combo, CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(&info));
        return info.hwndList;
    }
    return GetWindow(combo, GW_CHILD);
}

WNDPROC WindowProcOf(HWND window) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
}

}  // namespace

LOGFONTW DialogFont(HDC dc, const DualString& faceName, int pointSize) {
    LOGFONTW logical;
    std::memset(&logical, 0, sizeof logical);
    logical.lfHeight = FontHeightForPoints(pointSize, GetDeviceCaps(dc, LOGPIXELSY));
    logical.lfWeight = FW_NORMAL;
    logical.lfCharSet = DEFAULT_CHARSET;
    const size_t n = std::min<size_t>(faceName.Length(), LF_FACESIZE - 1);
    std::memcpy(logical.lfFaceName, faceName.c_str(), n * sizeof(wchar_t));
    return logical;
}

UnitPair DialogUnitsToPixels(const DualString& faceName, int pointSize, UnitPair units) {
    return ScaleDialogUnits(units, MeasureBaseUnits(faceName, pointSize));
}

bool BuildDialogControls(DialogTemplate& dialogTemplate, HINSTANCE instance, HWND parent,
                         int templateId, std::vector<ControlRecord>* controls,
                         std::vector<GdiObject>& fonts) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const void* bytes = ResourceData(loaded);
    if (bytes == nullptr) {
        return false;
    }
    return BuildDialogControlsFrom(static_cast<const uint8_t*>(bytes),
                                   SizeofResource(instance, found), dialogTemplate, instance,
                                   parent, controls, fonts);
}

bool BuildDialogControlsFrom(const uint8_t* bytes, size_t size, DialogTemplate& dialogTemplate,
                             HINSTANCE instance, HWND parent, std::vector<ControlRecord>* controls,
                             std::vector<GdiObject>& fonts) {
    // The copy keeps 64 zero bytes past the resource; the parse itself never reads beyond
    // `size`, so a truncated template cannot lead it into them or past them.
    std::vector<uint8_t> copy;
    try {
        copy.assign(size + 64, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::memcpy(copy.data(), bytes, size);
    try {
        ParseDialogTemplate(copy.data(), size, dialogTemplate);
        dialogTemplate.resource = std::move(copy);
        if (controls != nullptr) {
            controls->clear();
        }
        // The base units are the same for every item of one template.
        const DialogBaseUnits base =
            MeasureBaseUnits(dialogTemplate.faceName, dialogTemplate.pointSize);
        for (const DialogItem& item : dialogTemplate.items) {
            const wchar_t* cls =
                item.classIsName ? W(item.className) : PredefinedClass(item.classOrdinal);
            if (cls == nullptr) {
                continue;
            }
            const UnitPair at = ScaleDialogUnits({item.x, item.y}, base);
            const UnitPair extent = ScaleDialogUnits({item.cx, item.cy}, base);
            HWND window = CreateWindowExW(
                item.extendedStyle, cls, W(item.title), item.style, at.horizontal, at.vertical,
                extent.horizontal, extent.vertical, parent,
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance, nullptr);
            if (dialogTemplate.hasFont) {
                ScreenDc screen;
                const LOGFONTW logical =
                    DialogFont(screen.Get(), dialogTemplate.faceName, dialogTemplate.pointSize);
                GdiObject font(CreateFontIndirectW(&logical));
                if (font) {
                    SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
                    fonts.push_back(std::move(font));
                }
            }
            if (controls == nullptr || item.classIsName) {
                continue;
            }
            ControlRecord record;
            record.id = item.id;
            record.classOrdinal = item.classOrdinal;
            record.window = window;
            record.previousProc = window != nullptr ? WindowProcOf(window) : nullptr;
            if (item.classOrdinal == kComboBox && window != nullptr) {
                record.innerWindow = ComboInnerWindow(window);
                record.innerPreviousProc =
                    record.innerWindow != nullptr ? WindowProcOf(record.innerWindow) : nullptr;
            }
            controls->push_back(record);
        }
    } catch (const std::bad_alloc&) {
        // Controls built so far stay; their fonts are owned already.
    }
    return true;
}

}  // namespace pelmora
