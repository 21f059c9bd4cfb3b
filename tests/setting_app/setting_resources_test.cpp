// The built PelmoraSetting.exe's resources, read back from the file: what the resource
// build itself could get wrong. Its controls, keys and soft keys are worked through the
// running program instead.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "dialog_layout/dialog_template.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "setting_app/resource.h"
#include "tests/support/test_files.h"

namespace pelmora {
namespace {

using namespace std::string_literals;

std::u16string Resource(HMODULE module, LPCWSTR type, int id) {
    HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id),
                                  MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (found == nullptr) {
        return u"<none>";
    }
    const auto* words = static_cast<const char16_t*>(LockResource(LoadResource(module, found)));
    return std::u16string(words, SizeofResource(module, found) / 2);
}

// Every resource under Japanese (1041), its texts read as UTF-8, the pop-up's items in
// their order.
TEST(SettingResources, JapaneseTemplatesAndMenu) {
    const Library program(LoadLibraryExW(W(testing_support::HostPath(PELMORA_SETTING_EXE).c_str()),
                                         nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(program.Valid());
    const std::pair<int, const char16_t*> dialogs[] = {{IDD_MAIN_PAGE, u"Pelmora設定"},
                                                       {IDD_SIGNATURE_PAGE, u"署名"},
                                                       {IDD_REPLY_PAGE, u"返信"},
                                                       {IDD_QUOTE_PAGE, u"引用"}};
    for (const auto& [id, caption] : dialogs) {
        SCOPED_TRACE(id);
        const std::u16string bytes = Resource(program.Get(), RT_DIALOG, id);
        DialogTemplate parsed;
        ASSERT_TRUE(ParseDialogTemplate(reinterpret_cast<const uint8_t*>(bytes.data()),
                                        bytes.size() * 2, parsed));
        EXPECT_EQ(parsed.title, caption);
        EXPECT_EQ(parsed.pointSize, 8);
        EXPECT_EQ(parsed.faceName, u"ＭＳ Ｐゴシック");
    }
    // "メニュー": 詳細設定 (32776), a separator and キャンセル (32771), the last.
    EXPECT_EQ(Resource(program.Get(), RT_MENU, IDR_MENU_BAR),
              u"\0\0\x0090メニュー\0\0\x8008詳細設定\0\0\0\0\x0080\x8003キャンセル\0"s);
}

}  // namespace
}  // namespace pelmora
