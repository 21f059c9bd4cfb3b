#include "accounts/account_catalogue.h"

#include "sdk/cemapi.h"

#include <new>

#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora {

namespace {

// A store table longer than this is not a real device's; the walk stops there.
constexpr int kMaxStores = 4096;

// The columns asked for, in this order; only the display name is read.
struct StoreColumns {
    ULONG cValues;
    ULONG aulPropTag[3];
};
const StoreColumns kStoreColumns = {3, {PR_DEFAULT_STORE, PR_DISPLAY_NAME_W, PR_ENTRYID}};

// The store listing shared by both deliverables; `relabel` gives the settings program's
// labels instead of the names.
HRESULT ListStores(IMAPISession* session, bool relabel, std::vector<DualString>& accounts) {
    if (session == nullptr) {
        return E_INVALIDARG;
    }
    ComPtr<IMAPITable> table;
    const HRESULT tableStatus = session->GetMsgStoresTable(MAPI_UNICODE, table.Put());
    if (FAILED(tableStatus)) {
        return tableStatus;
    }
    if (!table) {
        return E_FAIL;
    }
    if (FAILED(table->SetColumns(
            reinterpret_cast<LPSPropTagArray>(const_cast<StoreColumns*>(&kStoreColumns)), 0))) {
        return tableStatus;
    }
    HRESULT status = tableStatus;
    for (int n = 0; n < kMaxStores; ++n) {
        RowSet rows;
        status = table->QueryRows(1, 0, reinterpret_cast<LPSRowSet*>(rows.Put()));
        if (FAILED(status)) {
            break;
        }
        const SRowSet* set = reinterpret_cast<const SRowSet*>(rows.Get());
        if (set == nullptr || set->cRows != 1) {
            break;
        }
        const SRow& row = set->aRow[0];
        if (row.cValues < 2 || row.lpProps == nullptr) {
            continue;
        }
        const SPropValue& name = row.lpProps[1];
        if (name.ulPropTag != PR_DISPLAY_NAME_W || name.Value.lpszW == nullptr) {
            continue;
        }
        try {
            DualString entry(U(name.Value.lpszW));
            accounts.push_back(relabel ? AccountDisplayLabel(entry) : std::move(entry));
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    return status;
}

}  // namespace

HRESULT ListAccounts(IMAPISession* session, std::vector<DualString>& accounts) {
    return ListStores(session, false, accounts);
}

HRESULT InitializeMenuObjectAccounts(IMAPISession** session, int mode,
                                     std::vector<DualString>& choiceList) {
    if (session == nullptr) {
        return E_INVALIDARG;
    }
    if (*session != nullptr) {
        return S_OK;
    }
    const HRESULT logon = MAPILogonEx(0, nullptr, nullptr, 0, session);
    if (mode != 0) {
        return logon;
    }
    if (FAILED(logon)) {
        return logon;
    }
    return ListAccounts(*session, choiceList);
}

void ListSettingProgramAccounts(std::vector<DualString>& labels) {
    ComPtr<IMAPISession> session;
    if (FAILED(MAPILogonEx(0, nullptr, nullptr, 0, session.Put()))) {
        return;
    }
    ListStores(session.Get(), true, labels);
}

}  // namespace pelmora
