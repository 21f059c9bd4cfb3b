#include "tests/device/pelmora_view_win32.h"

#include "device/cemapi/device_profile.h"

namespace pelmora::testing_support {

PelmoraView::PelmoraView(device::InboxView view, const std::string& message)
    : extensions_(device::LoadExtensions(view)) {
    site_.Attach(
        new device::InboxSite(device::MakeEntryId(0, message), device::SelectionShape::Message));
    device::BuildMenu(extensions_, site_.Get(), menu_);
    const char16_t* classId = view == device::InboxView::Read
                                  ? u"{0ED86D47-9EDC-4878-9165-3F7553440109}"
                                  : u"{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}";
    for (device::LoadedExtension& extension : extensions_) {
        if (extension.classId == classId) {
            pelmora_ = &extension;
        }
    }
}

PelmoraView::~PelmoraView() {
    DestroyMenu(menu_);
}

HRESULT PelmoraView::Invoke(const char16_t* verb) {
    if (pelmora_ == nullptr || !pelmora_->menu) {
        return E_FAIL;
    }
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(L"C:\\");
    const HRESULT hr = device::InvokeWithVerb(pelmora_->menu.Get(), nullptr, verb, false);
    SetCurrentDirectoryW(previous);
    return hr;
}

}  // namespace pelmora::testing_support
