// The emulated Inbox's side of the context-menu protocol: the selection it hands out, the
// site it gives each extension, and the extensions it loads for one menu.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "device/com_object_win32.h"
#include "device/inbox/inbox_options.h"
#include "platform/owners.h"
#include "sdk/cemapi.h"
#include "sdk/inboxmenu.h"

namespace pelmora::device {

// The selected item in the Inbox's "ItemRefArray" format (sdk/inboxmenu.h). The block stays the
// Inbox's: GetData hands it out with a release object that leaves it alone, so a reader may keep it
// or release the medium as it likes.
class SelectionData : public RefCounted<IDataObject> {
public:
    SelectionData(std::string entryId, SelectionShape shape);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
    ~SelectionData() override;

    bool Valid() const { return block_ != nullptr; }

private:
    SelectionShape shape_;
    std::string entryId_;
    SBinary item_ = {};
    HGLOBAL block_ = nullptr;
};

// The site: an IUnknown that answers IDataObject with the selection (unless told not to).
class InboxSite : public RefCounted<IUnknown> {
public:
    InboxSite(std::string entryId, SelectionShape shape);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;

    bool Valid() const { return data_ && data_->Valid(); }

private:
    bool offerData_;
    ComPtr<SelectionData> data_;
};

// One extension loaded for a menu, with the command identifiers it took.
struct LoadedExtension {
    std::u16string classId;
    HRESULT created = E_FAIL;
    ComPtr<IUnknown> object;
    ComPtr<IObjectWithSite> withSite;
    ComPtr<IContextMenu> menu;
    UINT firstId = 0;
    UINT idCount = 0;
};

// The registry key under which the Inbox finds the extensions of a view.
const wchar_t* ExtensionKey(InboxView view);

// Creates every extension registered for `view` through COM, in the key's order.
std::vector<LoadedExtension> LoadExtensions(InboxView view);

// Gives each extension `site` (or none), then lets each add its items to `menu`.
void BuildMenu(std::vector<LoadedExtension>& extensions, IUnknown* site, HMENU menu);

// The extension that owns command identifier `id`, or null.
LoadedExtension* OwnerOf(std::vector<LoadedExtension>& extensions, UINT id);

// Calls InvokeCommand with `verb` as the structure's verb pointer, at an odd address when
// `unaligned`.
HRESULT InvokeWithVerb(IContextMenu* menu, HWND window, const void* verb, bool unaligned);

}  // namespace pelmora::device
