// The context-menu object linked in directly: its faces, its site, the menu item, the verbs
// and the selection read from the emulated Inbox's site in each malformed shape.
#include <windows.h>

#include <gtest/gtest.h>

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
    object->ChoiceList().assign(accounts, DualString(u"account"));
    return object;
}

ULONG RefCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

TEST(MenuExtensionObject, SiteIsKeptAndAskedThrough) {
    ComPtr<MenuExtension> object = MakeObject(kReadViewMode);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(object->GetSite(IID_IUnknown, &out), E_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(object->GetSite(IID_IUnknown, nullptr), E_POINTER);
    ComPtr<InboxSite> site;
    site.Attach(new InboxSite("0/a", SelectionShape::Message));
    EXPECT_EQ(object->SetSite(site.Get()), S_OK);
    ComPtr<IUnknown> asked;
    ASSERT_EQ(object->GetSite(IID_IUnknown, asked.PutVoid()), S_OK);
    EXPECT_EQ(asked.Get(), site.Get());
}

TEST(MenuExtensionObject, ItemGoesWhereAskedOnlyWithinTheRange) {
    ComPtr<MenuExtension> object = MakeObject(kListViewMode);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"first");
    AppendMenuW(menu, MF_STRING, 2, L"last");
    EXPECT_EQ(object->QueryContextMenu(menu, 1, 7, 7, CMF_NORMAL), 1);
    EXPECT_EQ(GetMenuItemID(menu, 1), 7u);
    EXPECT_EQ(GetMenuState(menu, 7, MF_BYCOMMAND) & MF_GRAYED, 0u);  // even without accounts
    EXPECT_EQ(object->QueryContextMenu(menu, 0, 9, 8, CMF_NORMAL), E_FAIL);  // reversed range
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    DestroyMenu(menu);
    EXPECT_EQ(object->QueryContextMenu(nullptr, 0, 1, 5, CMF_NORMAL), E_FAIL);

    // Whatever identifier and type are asked for, the wide menu text, if it fits; cut and
    // terminated if not, with nothing written past the end.
    char16_t buffer[64];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    const UINT fits = static_cast<UINT>(std::u16string(kSendReceiveMenuText).size() + 1);
    auto* out = reinterpret_cast<CHAR*>(buffer);
    EXPECT_LT(object->GetCommandString(0, GCS_VERBW, nullptr, out, fits - 1), 0);
    EXPECT_EQ(std::u16string(buffer), u"接続を指定して送受");
    EXPECT_EQ(buffer[fits - 1], u'#');
    EXPECT_EQ(object->GetCommandString(3, GCS_VERBA, nullptr, out, fits), S_OK);
    EXPECT_EQ(std::u16string(buffer), kSendReceiveMenuText);
    EXPECT_LT(object->GetCommandString(0, GCS_VERBW, nullptr, nullptr, 64), 0);
}

// Numeric command offsets are never read as text; another mode's verb runs nothing.
TEST(MenuExtensionObject, VerbsThatAreNotThisObjectsRunNothing) {
    auto offset = [](uintptr_t n) { return reinterpret_cast<const void*>(n); };
    const struct {
        int mode;
        const void* verb;
        HRESULT status;
    } cases[] = {
        {kListViewMode, nullptr, S_OK},
        {kListViewMode, kReplyMenuText, E_INVALIDARG},
        {kReadViewMode, u"アカウントを指定して返", E_INVALIDARG},
        {kListViewMode, offset(0xFFFF), E_INVALIDARG},
        {7, kSendReceiveMenuText, S_OK},  // an unknown mode runs nothing, not even its text
    };
    for (bool unaligned : {false, true}) {
        for (const auto& c : cases) {
            EXPECT_EQ(
                device::InvokeWithVerb(MakeObject(c.mode, 2).Get(), nullptr, c.verb, unaligned),
                c.status)
                << c.mode << " " << c.verb << " " << unaligned;
        }
    }
    EXPECT_EQ(MakeObject(kReadViewMode)->InvokeCommand(nullptr), E_INVALIDARG);
}

TEST(MenuExtensionObject, SelectedEntryIdComesFromTheFirstMessageReference) {
    const struct {
        SelectionShape shape;
        HRESULT status;
    } cases[] = {
        {SelectionShape::Message, S_OK},    {SelectionShape::OtherType, E_FAIL},
        {SelectionShape::NullType, E_FAIL}, {SelectionShape::NullItem, E_FAIL},
        {SelectionShape::EmptyId, E_FAIL},  {SelectionShape::NullBytes, E_OUTOFMEMORY},
        {SelectionShape::NoBlock, E_FAIL},  {SelectionShape::NoDataObject, E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.shape));
        ComPtr<MenuExtension> object = MakeObject(kReadViewMode, 2);
        ComPtr<InboxSite> site;
        site.Attach(new InboxSite("1/hello", c.shape));
        object->SetSite(site.Get());
        ULONG count = 99;
        BYTE* bytes = reinterpret_cast<BYTE*>(1);
        EXPECT_EQ(object->GetSelectedEntryId(&count, &bytes), c.status);
        if (c.status == S_OK) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), count), "1/hello");
        } else {
            EXPECT_TRUE(count == 0 && bytes == nullptr);
        }
        object->SetSite(nullptr);
        EXPECT_EQ(RefCount(site.Get()), 1u);  // let go again
    }
}

}  // namespace
}  // namespace pelmora
