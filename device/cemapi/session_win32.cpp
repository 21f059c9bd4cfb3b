// Logon, the session and the message-store table of the stand-in messaging library.
#include <new>

#include "device/cemapi/stand_in_win32.h"
#include "platform/wide.h"

namespace pelmora::device {

namespace {

class Session : public CountedObject<IMAPISession, ObjectKind::kSession> {
public:
    explicit Session(std::shared_ptr<const Profile> profile) : profile_(std::move(profile)) {}

    STDMETHODIMP QueryInterface(REFIID riid, LPVOID* ppv) override {
        if (ppv == nullptr) {
            return E_INVALIDARG;
        }
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, kIidMapiSession)) {
            return E_NOINTERFACE;
        }
        AddRef();
        *ppv = static_cast<IMAPISession*>(this);
        return S_OK;
    }

    STDMETHODIMP GetMsgStoresTable(ULONG, LPMAPITABLE* lppTable) override {
        if (lppTable == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *lppTable = nullptr;
        if (profile_->faults.storesTable.set) {
            return profile_->faults.storesTable.status;
        }
        return CreateStoreTable(profile_, lppTable);
    }

    STDMETHODIMP OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG,
                           ULONG* lpulObjType, LPUNKNOWN* lppUnk) override {
        if (lppUnk == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *lppUnk = nullptr;
        if (profile_->faults.openEntry.set) {
            return profile_->faults.openEntry.status;
        }
        if (lpEntryID == nullptr || cbEntryID == 0) {
            return MAPI_E_INVALID_ENTRYID;
        }
        IUnknown* message = nullptr;
        HRESULT hr = OpenMessage(profile_, reinterpret_cast<const unsigned char*>(lpEntryID),
                                 cbEntryID, &message);
        if (FAILED(hr)) {
            return hr;
        }
        if (lpInterface != nullptr) {
            // Hand out the interface asked for, or nothing.
            void* asked = nullptr;
            hr = message->QueryInterface(*lpInterface, &asked);
            message->Release();
            if (FAILED(hr)) {
                return MAPI_E_INTERFACE_NOT_SUPPORTED;
            }
            message = static_cast<IUnknown*>(asked);
        }
        if (profile_->faults.openEntryNull) {
            message->Release();
            return S_OK;
        }
        if (lpulObjType != nullptr) {
            *lpulObjType = MAPI_MESSAGE;
        }
        *lppUnk = message;
        return S_OK;
    }

    // The rest of the session is not used by the product.
    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* e) override { return NoError(e); }
    STDMETHODIMP OpenMsgStore(ULONG_PTR, ULONG, LPENTRYID, LPCIID, ULONG, LPMDB*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP OpenAddressBook(ULONG_PTR, LPCIID, ULONG, LPADRBOOK*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP OpenProfileSection(LPMAPIUID, LPCIID, ULONG, LPPROFSECT*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP GetStatusTable(ULONG, LPMAPITABLE*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP CompareEntryIDs(ULONG, LPENTRYID, ULONG, LPENTRYID, ULONG, ULONG*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP Advise(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP Unadvise(ULONG) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP MessageOptions(ULONG_PTR, ULONG, LPTSTR, LPMESSAGE) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP QueryDefaultMessageOpt(LPTSTR, ULONG, ULONG*, LPSPropValue*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP EnumAdrTypes(ULONG, ULONG*, LPTSTR**) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP QueryIdentity(ULONG*, LPENTRYID*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP Logoff(ULONG_PTR, ULONG, ULONG) override { return S_OK; }
    STDMETHODIMP SetDefaultStore(ULONG, ULONG, LPENTRYID) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP AdminServices(ULONG, LPSERVICEADMIN*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP ShowForm(ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG,
                          ULONG, ULONG, LPSTR) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP PrepareForm(LPCIID, LPMESSAGE, ULONG*) override { return MAPI_E_NO_SUPPORT; }

private:
    static HRESULT NoError(LPMAPIERROR* e) {
        if (e != nullptr) {
            *e = nullptr;
        }
        return S_OK;
    }

    std::shared_ptr<const Profile> profile_;
};

// The message-store table: one row per store of the profile, columns as set.
class StoreTable : public CountedObject<IMAPITable, ObjectKind::kTable> {
public:
    explicit StoreTable(std::shared_ptr<const Profile> profile) : profile_(std::move(profile)) {}

    STDMETHODIMP QueryInterface(REFIID riid, LPVOID* ppv) override {
        if (ppv == nullptr) {
            return E_INVALIDARG;
        }
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, kIidMapiTable)) {
            return E_NOINTERFACE;
        }
        AddRef();
        *ppv = static_cast<IMAPITable*>(this);
        return S_OK;
    }

    STDMETHODIMP SetColumns(LPSPropTagArray lpPropTagArray, ULONG) override {
        if (profile_->faults.setColumns.set) {
            return profile_->faults.setColumns.status;
        }
        if (lpPropTagArray == nullptr || lpPropTagArray->cValues > 64) {
            return MAPI_E_INVALID_PARAMETER;
        }
        try {
            columns_.assign(lpPropTagArray->aulPropTag,
                            lpPropTagArray->aulPropTag + lpPropTagArray->cValues);
        } catch (const std::bad_alloc&) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        return S_OK;
    }

    STDMETHODIMP QueryRows(LONG lRowCount, ULONG, LPSRowSet* lppRows) override {
        if (lppRows == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *lppRows = nullptr;
        if (profile_->faults.queryRows.Hits(queries_++)) {
            return profile_->faults.queryRows.status;
        }
        if (lRowCount <= 0) {
            return MAPI_E_INVALID_PARAMETER;
        }
        const size_t left = profile_->stores.size() - position_;
        const ULONG count = static_cast<ULONG>(
            static_cast<size_t>(lRowCount) < left ? static_cast<size_t>(lRowCount) : left);
        void* block = nullptr;
        if (MAPIAllocateBuffer(CbNewSRowSet(count > 0 ? count : 1), &block) != S_OK) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        auto* rows = static_cast<LPSRowSet>(block);
        rows->cRows = 0;
        for (ULONG i = 0; i < count; ++i) {
            SRow& row = rows->aRow[i];
            const HRESULT hr = FillRow(position_ + i, row);
            if (FAILED(hr)) {
                FreeProws(rows);
                return hr;
            }
            rows->cRows = i + 1;
        }
        position_ += count;
        *lppRows = rows;
        return S_OK;
    }

    STDMETHODIMP GetRowCount(ULONG, ULONG* lpulCount) override {
        if (lpulCount == nullptr) {
            return MAPI_E_INVALID_PARAMETER;
        }
        *lpulCount = static_cast<ULONG>(profile_->stores.size());
        return S_OK;
    }

    STDMETHODIMP SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) override {
        if (bkOrigin != BOOKMARK_BEGINNING || lRowCount < 0) {
            return MAPI_E_NO_SUPPORT;
        }
        const size_t n = profile_->stores.size();
        position_ = static_cast<size_t>(lRowCount) < n ? static_cast<size_t>(lRowCount) : n;
        if (lplRowsSought != nullptr) {
            *lplRowsSought = static_cast<LONG>(position_);
        }
        return S_OK;
    }

    // The rest of the table is not used by the product.
    STDMETHODIMP GetLastError(HRESULT, ULONG, LPMAPIERROR* e) override {
        if (e != nullptr) {
            *e = nullptr;
        }
        return S_OK;
    }
    STDMETHODIMP Advise(ULONG, LPMAPIADVISESINK, ULONG*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP Unadvise(ULONG) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP GetStatus(ULONG*, ULONG*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP QueryColumns(ULONG, LPSPropTagArray*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP SeekRowApprox(ULONG, ULONG) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP QueryPosition(ULONG*, ULONG*, ULONG*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP FindRow(LPSRestriction, BOOKMARK, ULONG) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP Restrict(LPSRestriction, ULONG) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP CreateBookmark(BOOKMARK*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP FreeBookmark(BOOKMARK) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP SortTable(LPSSortOrderSet, ULONG) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP QuerySortOrder(LPSSortOrderSet*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP Abort() override { return S_OK; }
    STDMETHODIMP ExpandRow(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet*, ULONG*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP CollapseRow(ULONG, LPBYTE, ULONG, ULONG*) override { return MAPI_E_NO_SUPPORT; }
    STDMETHODIMP WaitForCompletion(ULONG, ULONG, ULONG*) override { return S_OK; }
    STDMETHODIMP GetCollapseState(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) override {
        return MAPI_E_NO_SUPPORT;
    }
    STDMETHODIMP SetCollapseState(ULONG, ULONG, LPBYTE, BOOKMARK*) override {
        return MAPI_E_NO_SUPPORT;
    }

private:
    // One row's property array, in the column order; a column the store cannot give
    // carries an error value.
    HRESULT FillRow(size_t index, SRow& row) {
        row.ulAdrEntryPad = 0;
        row.cValues = static_cast<ULONG>(columns_.size());
        row.lpProps = nullptr;
        void* block = nullptr;
        const ULONG n = row.cValues > 0 ? row.cValues : 1;
        if (MAPIAllocateBuffer(n * sizeof(SPropValue), &block) != S_OK) {
            return MAPI_E_NOT_ENOUGH_MEMORY;
        }
        row.lpProps = static_cast<LPSPropValue>(block);
        const StoreEntry& store = profile_->stores[index];
        for (ULONG c = 0; c < row.cValues; ++c) {
            SPropValue& v = row.lpProps[c];
            ZeroMemory(&v, sizeof v);
            const ULONG tag = columns_[c];
            v.ulPropTag = tag;
            bool ok = true;
            if (tag == PR_DEFAULT_STORE) {
                v.Value.b = index == 0 ? 1 : 0;
            } else if (tag == PR_DISPLAY_NAME_W && store.name) {
                v.Value.lpszW = CopyWideMore(*store.name, block);
                ok = v.Value.lpszW != nullptr;
            } else if (tag == PR_DISPLAY_NAME_A && store.name) {
                v.Value.lpszA = CopyAnsiMore(*store.name, block);
                ok = v.Value.lpszA != nullptr;
            } else if (tag == PR_ENTRYID || tag == PR_RECORD_KEY) {
                const std::string id = std::to_string(index);
                void* bytes = nullptr;
                ok = MAPIAllocateMore(static_cast<ULONG>(id.size()), block, &bytes) == S_OK;
                if (ok) {
                    CopyMemory(bytes, id.data(), id.size());
                    v.Value.bin.cb = static_cast<ULONG>(id.size());
                    v.Value.bin.lpb = static_cast<LPBYTE>(bytes);
                }
            } else {
                v.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(tag));
                v.Value.err = MAPI_E_NOT_FOUND;
            }
            if (!ok) {
                return MAPI_E_NOT_ENOUGH_MEMORY;
            }
        }
        return S_OK;
    }

    std::shared_ptr<const Profile> profile_;
    std::vector<ULONG> columns_{PR_DEFAULT_STORE, PR_DISPLAY_NAME_W, PR_ENTRYID};
    size_t position_ = 0;
    uint32_t queries_ = 0;
};

}  // namespace

HRESULT CreateSession(std::shared_ptr<const Profile> profile, IMAPISession** session) {
    *session = new (std::nothrow) Session(std::move(profile));
    return *session != nullptr ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

HRESULT CreateStoreTable(std::shared_ptr<const Profile> profile, IMAPITable** table) {
    *table = new (std::nothrow) StoreTable(std::move(profile));
    return *table != nullptr ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

}  // namespace pelmora::device

using namespace pelmora::device;

// Reads the profile named by PELMORA_DEVICE_PROFILE: its store list and its faults. The
// session keeps that snapshot; message files are read when they are opened.
extern "C" HRESULT WINAPI MAPILogonEx(ULONG_PTR, LPTSTR, LPTSTR, ULONG, LPMAPISESSION* lppSession) {
    if (lppSession == nullptr) {
        return MAPI_E_INVALID_PARAMETER;
    }
    *lppSession = nullptr;
    MarkLibraryUsed();
    // "MAPIInitialize": calls made before it return MAPI_E_NOT_INITIALIZED.
    if (!MapiInitialized()) {
        return MAPI_E_NOT_INITIALIZED;
    }
    try {
        auto profile = std::make_shared<Profile>();
        if (!ProfileFolder(profile->folder)) {
            return MAPI_E_LOGON_FAILED;
        }
        const DWORD attributes = GetFileAttributesW(pelmora::W(profile->folder.c_str()));
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            return MAPI_E_LOGON_FAILED;
        }
        profile->faults = ReadFaults(profile->folder);
        if (profile->faults.logon.set) {
            return profile->faults.logon.status;
        }
        std::string stores;
        if (ReadWholeFile(profile->folder + u"\\stores.txt", stores)) {
            profile->stores = ParseStoreList(stores);
        }
        return CreateSession(std::move(profile), lppSession);
    } catch (const std::bad_alloc&) {
        return MAPI_E_NOT_ENOUGH_MEMORY;
    }
}
