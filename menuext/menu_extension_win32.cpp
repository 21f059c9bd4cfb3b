#include "menuext/menu_extension.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "accounts/account_catalogue.h"
#include "connections/send_receive.h"
#include "menuext/class_ids.h"
#include "menuext/menu_text.h"
#include "menuext/server.h"
#include "platform/owners.h"
#include "sdk/inboxmenu.h"
#include "platform/wide.h"
#include "reply/reply_command.h"

namespace pelmora {

namespace {

// Room for either menu text (12 and 10 characters).
constexpr size_t kMenuTextCapacity = 30;

template <typename T>
T ReadUnaligned(const void* base, size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const BYTE*>(base) + offset, sizeof value);
    return value;
}

}  // namespace

MenuExtension::MenuExtension(HINSTANCE module, int mode) : module_(module), mode_(mode) {
    LockServerCount(true);
}

MenuExtension::~MenuExtension() {
    if (site_ != nullptr) {
        site_->Release();
    }
    if (session_ != nullptr) {
        session_->Release();
    }
    choiceList_.clear();
    LockServerCount(false);
}

STDMETHODIMP MenuExtension::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IObjectWithSite)) {
        *ppv = static_cast<IObjectWithSite*>(this);
        static_cast<IObjectWithSite*>(this)->AddRef();
        return S_OK;
    }
    if (IsEqualIID(riid, IID_IContextMenu)) {
        *ppv = static_cast<IContextMenu*>(this);
        static_cast<IContextMenu*>(this)->AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MenuExtension::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

STDMETHODIMP_(ULONG) MenuExtension::Release() {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count != 0) {
        return static_cast<ULONG>(count);
    }
    delete this;
    return 0;
}

STDMETHODIMP MenuExtension::SetSite(IUnknown* site) {
    if (site_ != nullptr) {
        site_->Release();
        site_ = nullptr;
    }
    if (site != nullptr) {
        site_ = site;
        site_->AddRef();
    }
    return S_OK;
}

STDMETHODIMP MenuExtension::GetSite(REFIID riid, void** ppvSite) {
    if (ppvSite == nullptr) {
        return E_POINTER;
    }
    *ppvSite = nullptr;
    if (site_ == nullptr) {
        return E_FAIL;
    }
    return site_->QueryInterface(riid, ppvSite);
}

STDMETHODIMP MenuExtension::QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst,
                                             UINT idCmdLast, UINT) {
    if (idCmdFirst > idCmdLast) {
        return E_FAIL;
    }
    char16_t text[kMenuTextCapacity];
    const int32_t copied = BoundedTextCopy(text, kMenuTextCapacity, MenuTextForMode(mode_));
    if (copied < 0) {
        return copied;
    }
    if (!InsertMenuW(menu, indexMenu, MF_BYPOSITION | MF_STRING, idCmdFirst, W(text))) {
        return E_FAIL;
    }
    const bool grayed = mode_ == kReadViewMode && choiceList_.size() < 2;
    EnableMenuItem(menu, idCmdFirst, MF_BYCOMMAND | (grayed ? MF_GRAYED : MF_ENABLED));
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1);
}

STDMETHODIMP MenuExtension::GetCommandString(UINT_PTR, UINT, UINT*, CHAR* name, UINT cchMax) {
    // The Inbox reads the name as wide text whatever the requested type says.
    return BoundedTextCopy(reinterpret_cast<char16_t*>(name), cchMax, MenuTextForMode(mode_));
}

STDMETHODIMP MenuExtension::InvokeCommand(CMINVOKECOMMANDINFO* pici) {
    if (pici == nullptr) {
        return E_INVALIDARG;
    }
    // The Inbox does not promise an aligned structure.
    const void* verb = ReadUnaligned<const void*>(pici, offsetof(CMINVOKECOMMANDINFO, lpVerb));
    switch (ClassifyVerb(verb)) {
        case VerbKind::None:
            return S_OK;
        case VerbKind::Offset:
            // Offset 0, the only command this object adds, arrives as the null verb above;
            // every other offset names another extension's command.
            return E_INVALIDARG;
        case VerbKind::Text:
            break;
    }
    if (mode_ != kReadViewMode && mode_ != kListViewMode) {
        return S_OK;
    }
    if (!VerbEquals(verb, MenuTextForMode(mode_))) {
        return E_INVALIDARG;
    }
    return RunCommand();
}

HRESULT MenuExtension::RunCommand() {
    try {
        return mode_ == kReadViewMode ? ReplyCommand(*this) : SendReceiveCommand(*this);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT MenuExtension::InitializeAccounts() {
    try {
        return InitializeMenuObjectAccounts(&session_, mode_, choiceList_);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT MenuExtension::GetSelectionBlock(const BYTE** block) {
    if (block == nullptr) {
        return E_POINTER;
    }
    *block = nullptr;
    if (site_ == nullptr) {
        return E_FAIL;
    }
    ComPtr<IDataObject> data;
    const HRESULT hr = site_->QueryInterface(IID_IDataObject, data.PutVoid());
    if (FAILED(hr)) {
        return hr;
    }
    if (!data) {
        return E_FAIL;
    }
    FORMATETC format = {};
    format.cfFormat = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(INBOX_ITEMREFARRAY_FORMAT));
    format.ptd = nullptr;
    format.dwAspect = DVASPECT_CONTENT;
    format.lindex = -1;
    format.tymed = TYMED_HGLOBAL;
    // The medium is read in place and not released: the block stays the Inbox's.
    STGMEDIUM medium = {};
    const HRESULT got = data->GetData(&format, &medium);
    if (FAILED(got)) {
        return got;
    }
    if (medium.hGlobal == nullptr) {
        return E_FAIL;
    }
    *block = static_cast<const BYTE*>(static_cast<void*>(medium.hGlobal));
    return S_OK;
}

HRESULT MenuExtension::GetSelectedEntryId(ULONG* count, BYTE** bytes) {
    if (count == nullptr || bytes == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    *bytes = nullptr;
    const BYTE* block = nullptr;
    const HRESULT hr = GetSelectionBlock(&block);
    if (FAILED(hr)) {
        return hr;
    }
    const auto* type = ReadUnaligned<const GUID*>(block, offsetof(ITEMREFARRAYBLOCK, type));
    const auto* item = ReadUnaligned<const void*>(block, offsetof(ITEMREFARRAYBLOCK, item));
    // A block without a type or an item reference cannot name a message.
    if (type == nullptr || item == nullptr || !IsEqualGUID(*type, kInboxMessageItemType)) {
        return E_FAIL;
    }
    const auto entryId = ReadUnaligned<SBinary>(item, 0);
    if (entryId.cb == 0) {
        return E_FAIL;
    }
    if (entryId.lpb == nullptr) {
        return E_OUTOFMEMORY;
    }
    *count = entryId.cb;
    *bytes = entryId.lpb;
    return S_OK;
}

HRESULT CreateMenuExtension(HINSTANCE module, int mode, MenuExtension** object) {
    *object = nullptr;
    MenuExtension* created = nullptr;
    try {
        created = new (std::nothrow) MenuExtension(module, mode);
    } catch (const std::bad_alloc&) {
        created = nullptr;
    }
    if (created == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = created->InitializeAccounts();
    if (FAILED(hr)) {
        created->Release();
        return hr;
    }
    *object = created;
    return hr;
}

}  // namespace pelmora
