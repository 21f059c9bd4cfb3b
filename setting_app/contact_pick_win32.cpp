#include "setting_app/contact_pick_win32.h"

#include "sdk/pimstore.h"

#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora {

namespace {

// Hide the "New" button, return the contact's name and the chosen property's value.
constexpr DWORD kChooserFlags = CCF_HIDENEW | CCF_RETURNCONTACTNAME | CCF_RETURNPROPERTYVALUE;
static_assert(kChooserFlags == 25);
static_assert(PIMPR_ALL_EMAIL == 0x1801001F);

}  // namespace

int PickContactAddress(DualString& text) {
    // A string reused from an earlier pick must not pass for this pick's address.
    text.Clear();
    ComPtr<IPOutlookApp2> application;
    HRESULT hr = CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IPOutlookApp2, application.PutVoid());
    // A server that reports success without an object has not given one to log on to.
    if (FAILED(hr) || !application) {
        return kContactNotPicked;
    }
    hr = application->Logon(0);
    if (FAILED(hr)) {
        return kContactNotPicked;
    }
    const CEPROPID required[] = {PIMPR_ALL_EMAIL};
    CHOOSECONTACT choose = {};
    choose.cbSize = sizeof choose;
    choose.dwFlags = kChooserFlags;
    choose.cRequiredProperties = 1;
    choose.rgpropidRequiredProperties = required;
    hr = ChooseContact(&choose);
    const Bstr name(choose.bstrContactName);
    const Bstr value(choose.bstrPropertyValueSelected);
    if (SUCCEEDED(hr) && value) {
        text.Assign(U(value.Get()));
    }
    application->Logoff();
    return FAILED(hr) ? kContactNotPicked : kContactPicked;
}

}  // namespace pelmora
