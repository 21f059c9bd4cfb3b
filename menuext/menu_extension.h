// The Inbox context-menu object: one menu item (the reply command in the read view, the
// send/receive command in the list view), the Inbox's site through which the selected
// message is reached, and the state the commands share (MAPI session, choice list,
// settings), which it lends to the commands through their contexts.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <shobjidl.h>

#include <vector>

#include "reply/reply_command.h"
#include "sdk/cemapi.h"
#include "settings/settings_record.h"
#include "text/dual_string.h"

namespace pelmora {

// The reply command's context covers the send/receive command's too.
class MenuExtension : public IObjectWithSite, public IContextMenu, public ReplyContext {
public:
    // Reference count 1, no site, no session; holds one server lock until destroyed.
    MenuExtension(HINSTANCE module, int mode);

    // Primary face (IObjectWithSite); the IContextMenu face shares these IUnknown slots.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID riid, void** ppvSite) override;
    virtual ~MenuExtension();

    // IContextMenu face.
    STDMETHODIMP QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst, UINT idCmdLast,
                                  UINT flags) override;
    STDMETHODIMP InvokeCommand(CMINVOKECOMMANDINFO* pici) override;
    STDMETHODIMP GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved, CHAR* name,
                                  UINT cchMax) override;

    // Logs on and, for a read-view object, lists the accounts into the choice list. Run
    // once by the class object right after construction.
    HRESULT InitializeAccounts();

    // The site's "ItemRefArray" block, read in place: it stays owned by the Inbox's
    // selection.
    HRESULT GetSelectionBlock(const BYTE** block);
    // The MAPI entry identifier of the selected message (first item reference of the
    // selection). The bytes belong to the Inbox.
    HRESULT GetSelectedEntryId(ULONG* count, BYTE** bytes) override;

    IUnknown* Object() override { return static_cast<IObjectWithSite*>(this); }
    HINSTANCE Module() const override { return module_; }
    IMAPISession* Session() const override { return session_; }
    std::vector<DualString>& ChoiceList() override { return choiceList_; }
    SettingsRecord& Settings() override { return settings_; }
    int Mode() const { return mode_; }

private:
    HRESULT RunCommand();

    HINSTANCE module_;
    IMAPISession* session_ = nullptr;
    LONG refCount_ = 1;
    IUnknown* site_ = nullptr;
    int mode_;
    std::vector<DualString> choiceList_;
    SettingsRecord settings_;
};

// Constructs an object and runs its account initialisation; a failing initialisation
// destroys the object again and its status is returned with no object.
HRESULT CreateMenuExtension(HINSTANCE module, int mode, MenuExtension** object);

}  // namespace pelmora
