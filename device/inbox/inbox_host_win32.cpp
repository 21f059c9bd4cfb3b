#include "device/inbox/inbox_host_win32.h"

#include <cstring>
#include <new>

#include "platform/wide.h"

namespace pelmora::device {

namespace {

// Any other item type (an appointment, say).
const GUID kOtherItemType = {
    0x412F24E9, 0x87E6, 0x4BD5, {0x98, 0x20, 0x23, 0xE9, 0x23, 0x0D, 0x6E, 0x8E}};

const wchar_t kReadViewKey[] =
    L"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\Read_View";
const wchar_t kListViewKey[] =
    L"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View";

// Command identifiers offered to the extensions.
constexpr UINT kFirstCommandId = 100;
constexpr UINT kLastCommandId = 0x7FFF;

// Released media leave the block to its data object.
class KeepBlock : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) {
            return E_POINTER;
        }
        *ppv = IsEqualIID(riid, IID_IUnknown) ? this : nullptr;
        return *ppv != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
};
KeepBlock g_keepBlock;

CLIPFORMAT ItemRefArrayFormat() {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(INBOX_ITEMREFARRAY_FORMAT));
}

bool IsSelectionFormat(const FORMATETC* format) {
    return format != nullptr && format->cfFormat == ItemRefArrayFormat() &&
           (format->tymed & TYMED_HGLOBAL) != 0 && format->dwAspect == DVASPECT_CONTENT;
}

}  // namespace

SelectionData::SelectionData(std::string entryId, SelectionShape shape)
    : shape_(shape), entryId_(std::move(entryId)) {
    item_.cb = static_cast<ULONG>(entryId_.size());
    item_.lpb = reinterpret_cast<BYTE*>(&entryId_[0]);
    if (shape_ == SelectionShape::EmptyId) {
        item_.cb = 0;
    }
    if (shape_ == SelectionShape::NullBytes) {
        item_.lpb = nullptr;
    }
    ITEMREFARRAYBLOCK block = {};
    block.count = 1;
    block.type = shape_ == SelectionShape::OtherType ? &kOtherItemType : &kInboxMessageItemType;
    block.item = &item_;
    if (shape_ == SelectionShape::NullType) {
        block.type = nullptr;
    }
    if (shape_ == SelectionShape::NullItem) {
        block.item = nullptr;
    }
    block_ = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof block);
    if (block_ != nullptr) {
        std::memcpy(static_cast<void*>(block_), &block, sizeof block);
    }
}

SelectionData::~SelectionData() {
    if (block_ != nullptr) {
        GlobalFree(block_);
    }
}

STDMETHODIMP SelectionData::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDataObject)) {
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP SelectionData::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (medium == nullptr) {
        return E_INVALIDARG;
    }
    ZeroMemory(medium, sizeof *medium);
    if (!IsSelectionFormat(format)) {
        return DV_E_FORMATETC;
    }
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = shape_ == SelectionShape::NoBlock ? nullptr : block_;
    medium->pUnkForRelease = &g_keepBlock;
    return S_OK;
}

STDMETHODIMP SelectionData::QueryGetData(FORMATETC* format) {
    return IsSelectionFormat(format) ? S_OK : DV_E_FORMATETC;
}

STDMETHODIMP SelectionData::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (out != nullptr) {
        out->ptd = nullptr;
    }
    return DATA_S_SAMEFORMATETC;
}

InboxSite::InboxSite(std::string entryId, SelectionShape shape)
    : offerData_(shape != SelectionShape::NoDataObject) {
    data_.Attach(new (std::nothrow) SelectionData(std::move(entryId), shape));
}

STDMETHODIMP InboxSite::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = this;
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(riid, IID_IDataObject) && offerData_ && data_) {
        return data_->QueryInterface(riid, ppv);
    }
    return E_NOINTERFACE;
}

const wchar_t* ExtensionKey(InboxView view) {
    return view == InboxView::Read ? kReadViewKey : kListViewKey;
}

std::vector<LoadedExtension> LoadExtensions(InboxView view) {
    std::vector<LoadedExtension> extensions;
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ExtensionKey(view), 0, KEY_READ, key.Put()) !=
        ERROR_SUCCESS) {
        return extensions;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        LoadedExtension extension;
        extension.classId = U(name);
        CLSID clsid;
        if (FAILED(CLSIDFromString(name, &clsid))) {
            extension.created = REGDB_E_CLASSNOTREG;
        } else {
            extension.created = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                                 extension.object.PutVoid());
        }
        if (extension.object) {
            extension.object->QueryInterface(IID_IObjectWithSite, extension.withSite.PutVoid());
            extension.object->QueryInterface(IID_IContextMenu, extension.menu.PutVoid());
        }
        extensions.push_back(std::move(extension));
    }
    return extensions;
}

void BuildMenu(std::vector<LoadedExtension>& extensions, IUnknown* site, HMENU menu) {
    UINT next = kFirstCommandId;
    for (LoadedExtension& extension : extensions) {
        if (extension.withSite && site != nullptr) {
            extension.withSite->SetSite(site);
        }
        if (!extension.menu || next > kLastCommandId) {
            continue;
        }
        const int position = GetMenuItemCount(menu);
        const HRESULT hr = extension.menu->QueryContextMenu(
            menu, position < 0 ? 0 : static_cast<UINT>(position), next, kLastCommandId, CMF_NORMAL);
        if (SUCCEEDED(hr)) {
            extension.firstId = next;
            extension.idCount = HRESULT_CODE(hr);
            next += extension.idCount;
        }
    }
}

LoadedExtension* OwnerOf(std::vector<LoadedExtension>& extensions, UINT id) {
    for (LoadedExtension& extension : extensions) {
        if (extension.idCount > 0 && id >= extension.firstId &&
            id - extension.firstId < extension.idCount) {
            return &extension;
        }
    }
    return nullptr;
}

HRESULT InvokeWithVerb(IContextMenu* menu, HWND window, const void* verb, bool unaligned) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.hwnd = window;
    info.lpVerb = static_cast<LPCSTR>(verb);
    info.nShow = SW_SHOWNORMAL;
    if (!unaligned) {
        return menu->InvokeCommand(&info);
    }
    // A copy one byte past an aligned address.
    alignas(8) BYTE buffer[sizeof info + 8];
    std::memcpy(buffer + 1, &info, sizeof info);
    return menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(buffer + 1));
}

}  // namespace pelmora::device
