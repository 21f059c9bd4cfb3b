// The context-menu object linked in directly: its faces, its site, the menu item, the verbs
// and the selection read from the site (the emulated Inbox's site, with each malformed shape).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/inbox/inbox_host_win32.h"
#include "menuext/menu_extension.h"
#include "menuext/menu_text.h"
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

TEST(MenuExtensionObject, ItemGoesWhereAskedOnlyWithinTheRange) {
    ComPtr<MenuExtension> object = MakeObject(kListViewMode);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"first");
    AppendMenuW(menu, MF_STRING, 2, L"last");
    EXPECT_EQ(object->QueryContextMenu(menu, 1, 7, 7, CMF_NORMAL), 1);
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(GetMenuItemID(menu, 1), 7u);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 7, text, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::u16string(reinterpret_cast<char16_t*>(text)), kSendReceiveMenuText);
    // A reversed range adds nothing, but the identifier is stored all the same.
    EXPECT_EQ(object->QueryContextMenu(menu, 0, 9, 8, CMF_NORMAL), E_FAIL);
    EXPECT_EQ(object->CommandId(), 9u);
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    DestroyMenu(menu);
    EXPECT_EQ(object->QueryContextMenu(nullptr, 0, 1, 5, CMF_NORMAL), E_FAIL);
}

TEST(MenuExtensionObject, CommandStringIsWideAndBounded) {
    for (int mode : {kReadViewMode, kListViewMode}) {
        ComPtr<MenuExtension> object = MakeObject(mode);
        const std::u16string expected = MenuTextForMode(mode);
        const UINT fits = static_cast<UINT>(expected.size() + 1);
        char16_t buffer[64];
        // Whatever identifier and type are asked for, the wide menu text comes back.
        EXPECT_EQ(
            object->GetCommandString(3, GCS_VERBA, nullptr, reinterpret_cast<CHAR*>(buffer), fits),
            S_OK);
        EXPECT_EQ(std::u16string(buffer), expected);
        EXPECT_LT(object->GetCommandString(0, GCS_VERBW, nullptr, reinterpret_cast<CHAR*>(buffer),
                                           fits - 1),
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

}  // namespace
}  // namespace pelmora
