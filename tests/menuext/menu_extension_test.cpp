// The context-menu object and its class object, linked in directly: faces, reference and
// lock counting, the menu item, the verbs, and the selection read from the site.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/inbox/inbox_host_win32.h"
#include "menuext/class_factory.h"
#include "menuext/class_ids.h"
#include "menuext/menu_extension.h"
#include "menuext/menu_text.h"
#include "menuext/server.h"
#include "platform/owners.h"

namespace pelmora {
namespace {

using device::InboxSite;
using device::SelectionShape;

// A fresh object with `accounts` names in its choice list (no logon).
ComPtr<MenuExtension> MakeObject(int mode, int accounts = 0) {
    ComPtr<MenuExtension> object;
    object.Attach(new MenuExtension(nullptr, mode));
    for (int i = 0; i < accounts; ++i) {
        object->ChoiceList().push_back(DualString(u"account"));
    }
    return object;
}

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST(MenuExtensionObject, FacesShareOneIdentityAndCount) {
    ComPtr<MenuExtension> object = MakeObject(kReadViewMode);
    IUnknown* unknown = nullptr;
    IObjectWithSite* withSite = nullptr;
    IContextMenu* menu = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    ASSERT_EQ(object->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)),
              S_OK);
    ASSERT_EQ(object->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(withSite));
    EXPECT_NE(static_cast<void*>(unknown), static_cast<void*>(menu));
    // The second face's IUnknown leads back to the primary face.
    IUnknown* back = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, unknown);
    EXPECT_EQ(RefCount(menu), 5u);  // the owner, three faces handed out, `back`
    back->Release();
    unknown->Release();
    withSite->Release();
    menu->Release();
    EXPECT_EQ(RefCount(static_cast<IObjectWithSite*>(object.Get())), 1u);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->QueryInterface(IID_IDataObject, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST(MenuExtensionObject, HoldsOneServerLockForItsLifetime) {
    const LONG before = ServerLockCount();
    {
        ComPtr<MenuExtension> a = MakeObject(kReadViewMode);
        ComPtr<MenuExtension> b = MakeObject(kListViewMode);
        EXPECT_EQ(ServerLockCount(), before + 2);
        EXPECT_EQ(CanUnloadServer(), S_FALSE);
    }
    EXPECT_EQ(ServerLockCount(), before);
}

TEST(MenuExtensionFactoryObject, RefusesAggregationAndCountsLocks) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(GetServerClassObject(kListViewClassId, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)),
              S_OK);
    const LONG before = ServerLockCount();
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(factory, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    factory->LockServer(TRUE);
    factory->LockServer(TRUE);
    factory->LockServer(FALSE);
    EXPECT_EQ(ServerLockCount(), before + 1);
    factory->LockServer(FALSE);
    EXPECT_EQ(ServerLockCount(), before);
    EXPECT_EQ(factory->Release(), 0u);

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(GetServerClassObject(IID_IUnknown, IID_IClassFactory, &none),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(GetServerClassObject(kReadViewClassId, IID_IContextMenu, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
}

TEST(MenuExtensionObject, SiteIsKeptReleasedAndAskedThrough) {
    ComPtr<MenuExtension> object = MakeObject(kReadViewMode);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->GetSite(IID_IUnknown, &out), E_FAIL);
    EXPECT_EQ(out, nullptr);

    ComPtr<InboxSite> site;
    site.Attach(new InboxSite("0/a", SelectionShape::Message));
    ComPtr<InboxSite> other;
    other.Attach(new InboxSite("0/b", SelectionShape::Message));
    EXPECT_EQ(object->SetSite(site.Get()), S_OK);
    EXPECT_EQ(RefCount(site.Get()), 2u);
    IUnknown* asked = nullptr;
    ASSERT_EQ(object->GetSite(IID_IUnknown, reinterpret_cast<void**>(&asked)), S_OK);
    EXPECT_EQ(asked, site.Get());
    asked->Release();
    EXPECT_EQ(object->GetSite(IID_IContextMenu, &out), E_NOINTERFACE);

    EXPECT_EQ(object->SetSite(other.Get()), S_OK);  // the first site is let go
    EXPECT_EQ(RefCount(site.Get()), 1u);
    EXPECT_EQ(object->SetSite(nullptr), S_OK);
    EXPECT_EQ(RefCount(other.Get()), 1u);
    EXPECT_EQ(object->GetSite(IID_IUnknown, &out), E_FAIL);
}

struct MenuCase {
    int mode;
    int accounts;
    bool grayed;
};

TEST(MenuExtensionObject, ReplyItemIsGrayedWithFewerThanTwoAccounts) {
    const MenuCase cases[] = {
        {kReadViewMode, 0, true},  {kReadViewMode, 1, true},  {kReadViewMode, 2, false},
        {kReadViewMode, 5, false}, {kListViewMode, 0, false}, {kListViewMode, 1, false},
    };
    for (const MenuCase& c : cases) {
        ComPtr<MenuExtension> object = MakeObject(c.mode, c.accounts);
        HMENU menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 1, L"first");
        AppendMenuW(menu, MF_STRING, 2, L"last");
        EXPECT_EQ(object->QueryContextMenu(menu, 1, 40, 90, CMF_NORMAL), 1);
        EXPECT_EQ(object->CommandId(), 40u);
        ASSERT_EQ(GetMenuItemCount(menu), 3);
        EXPECT_EQ(GetMenuItemID(menu, 1), 40u);  // inserted at the position given
        wchar_t text[64] = {};
        GetMenuStringW(menu, 1, text, 64, MF_BYPOSITION);
        EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(text)), MenuTextForMode(c.mode));
        const bool grayed = (GetMenuState(menu, 40, MF_BYCOMMAND) & MF_GRAYED) != 0;
        EXPECT_EQ(grayed, c.grayed) << c.mode << " " << c.accounts;
        DestroyMenu(menu);
    }
}

TEST(MenuExtensionObject, CommandRangeIsCheckedAfterTheIdentifierIsStored) {
    ComPtr<MenuExtension> object = MakeObject(kListViewMode);
    HMENU menu = CreatePopupMenu();
    EXPECT_EQ(object->QueryContextMenu(menu, 0, 7, 7, CMF_NORMAL), 1);
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    EXPECT_EQ(object->QueryContextMenu(menu, 0, 9, 8, CMF_NORMAL), E_FAIL);
    EXPECT_EQ(object->CommandId(), 9u);
    EXPECT_EQ(GetMenuItemCount(menu), 1);
    DestroyMenu(menu);
    // A menu that cannot take the item.
    EXPECT_EQ(object->QueryContextMenu(nullptr, 0, 1, 5, CMF_NORMAL), E_FAIL);
}

TEST(MenuExtensionObject, CommandStringIsWideAndBounded) {
    for (int mode : {kReadViewMode, kListViewMode}) {
        ComPtr<MenuExtension> object = MakeObject(mode);
        const std::u16string expected = MenuTextForMode(mode);
        for (UINT type : {GCS_VERBA, GCS_VERBW, GCS_HELPTEXTW}) {
            char16_t buffer[64];
            std::memset(buffer, 0x55, sizeof buffer);
            EXPECT_EQ(
                object->GetCommandString(3, type, nullptr, reinterpret_cast<CHAR*>(buffer), 64),
                S_OK);
            EXPECT_EQ(std::u16string(buffer), expected);
        }
        char16_t exact[16];
        EXPECT_EQ(object->GetCommandString(0, GCS_VERBW, nullptr, reinterpret_cast<CHAR*>(exact),
                                           static_cast<UINT>(expected.size() + 1)),
                  S_OK);
        EXPECT_LT(object->GetCommandString(0, GCS_VERBW, nullptr, reinterpret_cast<CHAR*>(exact),
                                           static_cast<UINT>(expected.size())),
                  0);
        EXPECT_LT(object->GetCommandString(0, GCS_VERBW, nullptr, nullptr, 64), 0);
    }
}

// Invokes with the structure copied to an odd address when `unaligned`.
HRESULT Invoke(MenuExtension& object, const void* verb, bool unaligned = false) {
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = static_cast<LPCSTR>(verb);
    if (!unaligned) {
        return object.InvokeCommand(&info);
    }
    alignas(8) BYTE buffer[sizeof info + 8];
    std::memcpy(buffer + 3, &info, sizeof info);
    return object.InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(buffer + 3));
}

TEST(MenuExtensionObject, VerbsThatAreNotThisObjectsRunNothing) {
    for (bool unaligned : {false, true}) {
        ComPtr<MenuExtension> reply = MakeObject(kReadViewMode, 2);
        ComPtr<MenuExtension> sync = MakeObject(kListViewMode);
        EXPECT_EQ(Invoke(*reply.Get(), nullptr, unaligned), S_OK);
        EXPECT_EQ(Invoke(*sync.Get(), nullptr, unaligned), S_OK);
        EXPECT_EQ(Invoke(*reply.Get(), kSendReceiveMenuText, unaligned), E_INVALIDARG);
        EXPECT_EQ(Invoke(*sync.Get(), kReplyMenuText, unaligned), E_INVALIDARG);
        EXPECT_EQ(Invoke(*reply.Get(), u"アカウントを指定して返", unaligned), E_INVALIDARG);
        // Numeric command offsets are never read as text.
        for (uintptr_t offset : {uintptr_t{1}, uintptr_t{2}, uintptr_t{0xFFFF}}) {
            EXPECT_EQ(Invoke(*reply.Get(), reinterpret_cast<const void*>(offset), unaligned),
                      E_INVALIDARG);
            EXPECT_EQ(Invoke(*sync.Get(), reinterpret_cast<const void*>(offset), unaligned),
                      E_INVALIDARG);
        }
    }
    ComPtr<MenuExtension> reply = MakeObject(kReadViewMode);
    EXPECT_EQ(reply->InvokeCommand(nullptr), E_INVALIDARG);
    // An object of an unknown mode runs nothing even for its own text.
    ComPtr<MenuExtension> odd = MakeObject(7);
    EXPECT_EQ(Invoke(*odd.Get(), kSendReceiveMenuText), S_OK);
}

struct SelectionCase {
    SelectionShape shape;
    HRESULT status;
};

TEST(MenuExtensionObject, SelectedEntryIdComesFromTheFirstMessageReference) {
    const std::string id = "1/hello";
    const SelectionCase cases[] = {
        {SelectionShape::Message, S_OK},    {SelectionShape::OtherType, E_FAIL},
        {SelectionShape::NullType, E_FAIL}, {SelectionShape::NullItem, E_FAIL},
        {SelectionShape::EmptyId, E_FAIL},  {SelectionShape::NullBytes, E_OUTOFMEMORY},
        {SelectionShape::NoBlock, E_FAIL},  {SelectionShape::NoDataObject, E_NOINTERFACE},
    };
    for (const SelectionCase& c : cases) {
        ComPtr<MenuExtension> object = MakeObject(kReadViewMode, 2);
        ComPtr<InboxSite> site;
        site.Attach(new InboxSite(id, c.shape));
        object->SetSite(site.Get());
        ULONG count = 99;
        BYTE* bytes = reinterpret_cast<BYTE*>(1);
        EXPECT_EQ(object->GetSelectedEntryId(&count, &bytes), c.status)
            << static_cast<int>(c.shape);
        if (c.status == S_OK) {
            ASSERT_EQ(count, id.size());
            EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), count), id);
        } else {
            EXPECT_EQ(count, 0u);
            EXPECT_EQ(bytes, nullptr);
        }
        // The site is let go again.
        object->SetSite(nullptr);
        EXPECT_EQ(RefCount(site.Get()), 1u);
    }
}

TEST(MenuExtensionObject, NoSiteMeansNoSelection) {
    ComPtr<MenuExtension> object = MakeObject(kReadViewMode, 2);
    ULONG count = 0;
    BYTE* bytes = nullptr;
    EXPECT_EQ(object->GetSelectedEntryId(&count, &bytes), E_FAIL);
    ComPtr<InboxSite> site;
    site.Attach(new InboxSite("0/m", SelectionShape::Message));
    object->SetSite(site.Get());
    EXPECT_EQ(object->GetSelectedEntryId(&count, &bytes), S_OK);
    object->SetSite(nullptr);
    EXPECT_EQ(object->GetSelectedEntryId(&count, &bytes), E_FAIL);
    const BYTE* block = reinterpret_cast<const BYTE*>(1);
    EXPECT_EQ(object->GetSelectionBlock(&block), E_FAIL);
    EXPECT_EQ(block, nullptr);
}

}  // namespace
}  // namespace pelmora
