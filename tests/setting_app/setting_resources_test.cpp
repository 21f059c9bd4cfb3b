// The built PelmoraSetting.exe's resources, read back from the file and held against the
// tables the program is built from.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "dialog_layout/dialog_template.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "setting_app/resource.h"
#include "tests/support/test_files.h"

namespace pelmora {
namespace {

using namespace std::string_literals;

Library LoadProgram() {
    return Library(LoadLibraryExW(W(testing_support::HostPath(PELMORA_SETTING_EXE).c_str()),
                                  nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

std::vector<uint8_t> Resource(HMODULE module, LPCWSTR type, LPCWSTR name) {
    HRSRC found = FindResourceExW(module, type, name, MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (found == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(module, found)));
    return std::vector<uint8_t>(bytes, bytes + SizeofResource(module, found));
}

std::vector<uint16_t> Words(const std::vector<uint8_t>& bytes) {
    std::vector<uint16_t> words(bytes.size() / 2);
    std::memcpy(words.data(), bytes.data(), words.size() * 2);
    return words;
}

std::u16string String(HMODULE module, UINT id) {
    const wchar_t* text = nullptr;
    const int n = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&text), 0);
    return n > 0 ? std::u16string(U(text), static_cast<size_t>(n)) : u"<none>";
}

// One row per control: template, id, class ordinal, text, style, x, y, width, height.
struct ItemRow {
    int dialog;
    uint16_t id;
    uint16_t cls;
    const char16_t* text;
    uint32_t style;
    int x, y, cx, cy;
};
constexpr uint16_t kNone = 0xFFFF;
constexpr uint16_t B = 0x80, E = 0x81, S = 0x82, C = 0x85;
constexpr uint32_t kDefault = 0x50010001, kPush = 0x50010000, kCheck = 0x50010003,
                   kLabel = 0x50000000, kLine = 0x50810080;
const ItemRow kItems[] = {
    {129, kNone, S, u"", 0x50020000, 7, 127, 10, 8},
    {129, 1000, B, u"次の接続を自動で選択", kCheck, 7, 0, 103, 13},
    {129, 1001, C, u"", 0x50210003, 19, 14, 103, 82},
    {129, 1002, B, u"次のアカウントを自動で選択", kCheck, 7, 31, 138, 13},
    {129, 1003, C, u"", 0x50210003, 19, 44, 103, 65},
    {130, 1, B, u"OK", kDefault, 7, 102, 50, 14},
    {130, 2, B, u"キャンセル", kPush, 60, 102, 50, 14},
    {130, kNone, S, u"署名（空にすると使用しません）", kLabel, 7, 7, 133, 8},
    {130, 1008, E, u"", 0x508110C4, 7, 16, 146, 31},
    {131, 1, B, u"OK", kDefault, 7, 102, 50, 14},
    {131, 2, B, u"キャンセル", kPush, 60, 102, 50, 14},
    {131, kNone, S, u"Cc", kLabel, 7, 7, 10, 8},
    {131, 1009, E, u"", kLine, 29, 7, 83, 14},
    {131, 1011, B, u"参照", kPush, 116, 7, 28, 14},
    {131, kNone, S, u"Bcc", kLabel, 7, 26, 14, 8},
    {131, 1010, E, u"", kLine, 29, 26, 83, 14},
    {131, 1007, B, u"参照", kPush, 116, 26, 28, 14},
    {131, 1012, B, u"返信アドレスにFromを優先", kCheck, 7, 47, 99, 13},
    {131, 1013, B, u"全員に返信", kCheck, 7, 63, 52, 13},
    {131, 1014, B, u"全てCcに入れる", kCheck, 74, 63, 79, 13},
    {132, 1, B, u"OK", kDefault, 7, 102, 50, 14},
    {132, 2, B, u"キャンセル", kPush, 60, 102, 50, 14},
    {132, 1004, B, u"元の文章を引用", kCheck, 7, 7, 138, 13},
    {132, kNone, S, u"引用文字", kLabel, 7, 23, 35, 8},
    {132, 1005, E, u"", kLine, 45, 23, 78, 14},
};

TEST(SettingResources, DialogTemplatesHoldThePagesControls) {
    Library program = LoadProgram();
    ASSERT_TRUE(program.Valid());
    const struct {
        int id;
        const char16_t* caption;
        int cx, cy;
    } dialogs[] = {{129, u"Pelmora設定", 186, 142},
                   {130, u"署名", 160, 123},
                   {131, u"返信", 160, 123},
                   {132, u"引用", 160, 123}};
    for (const auto& d : dialogs) {
        SCOPED_TRACE(d.id);
        const std::vector<uint8_t> bytes =
            Resource(program.Get(), RT_DIALOG, MAKEINTRESOURCEW(d.id));
        DialogTemplate parsed;
        ASSERT_TRUE(ParseDialogTemplate(bytes.data(), bytes.size(), parsed));
        EXPECT_EQ(parsed.title, d.caption);
        EXPECT_TRUE(parsed.hasFont);
        EXPECT_EQ(parsed.pointSize, 8);
        EXPECT_EQ(parsed.faceName, u"ＭＳ Ｐゴシック");
        int16_t size[2];
        std::memcpy(size, bytes.data() + 14, sizeof size);
        EXPECT_EQ(size[0], d.cx);
        EXPECT_EQ(size[1], d.cy);
        std::vector<const ItemRow*> rows;
        for (const ItemRow& row : kItems) {
            if (row.dialog == d.id) {
                rows.push_back(&row);
            }
        }
        ASSERT_EQ(parsed.items.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            const DialogItem& item = parsed.items[i];
            const ItemRow& row = *rows[i];
            SCOPED_TRACE(row.id);
            EXPECT_EQ(item.id, row.id);
            EXPECT_FALSE(item.classIsName);
            EXPECT_EQ(item.classOrdinal, row.cls);
            EXPECT_EQ(item.title, row.text);
            EXPECT_EQ(item.style, row.style);
            EXPECT_EQ(std::vector<int>({item.x, item.y, item.cx, item.cy}),
                      std::vector<int>({row.x, row.y, row.cx, row.cy}));
        }
    }
}

TEST(SettingResources, StringsMenusKeysAndIcon) {
    Library program = LoadProgram();
    ASSERT_TRUE(program.Valid());
    HMODULE m = program.Get();
    EXPECT_EQ(String(m, 1), u"PelmoraSetting");
    EXPECT_EQ(String(m, 2), u"PELMORASETTING");
    EXPECT_EQ(String(m, 103), u"OK");
    EXPECT_EQ(String(m, 105), u"メニュー");
    EXPECT_EQ(String(m, 1000), u"Pelmora");
    EXPECT_EQ(String(m, 1012), u"RESALLCC");

    // Accelerators: Ctrl+A cancels, Ctrl+Q confirms (flags, key, command, padding).
    const uint16_t kFlags = FVIRTKEY | FNOINVERT | FCONTROL;
    EXPECT_EQ(Words(Resource(m, RT_ACCELERATOR, MAKEINTRESOURCEW(2))),
              std::vector<uint16_t>({kFlags, 'A', 32771, 0, kFlags | 0x80, 'Q', 40000, 0}));

    // The menu bar: menu 102 and two buttons of seven words.
    EXPECT_EQ(Words(Resource(m, RT_RCDATA, MAKEINTRESOURCEW(102))),
              std::vector<uint16_t>({102, 2, 0xFFFE, 40000, 4, 0x10, 103, 0, 0xFFFF, 0xFFFE, 32776,
                                     4, 0x18, 105, 0, 0}));
    EXPECT_EQ(Words(Resource(m, L"CEUX", L"HI_RES_AWARE")), std::vector<uint16_t>({1}));

    // The pop-up "メニュー": 詳細設定 (32776), a separator and キャンセル (32771), the last.
    const std::vector<uint16_t> menu = Words(Resource(m, RT_MENU, MAKEINTRESOURCEW(102)));
    EXPECT_EQ(std::u16string(menu.begin(), menu.end()),
              u"\0\0\x0090メニュー\0\0\x8008詳細設定\0\0\0\0\x0080\x8003キャンセル\0"s);

    // The icon group's images: 16, 32 and 48 pixels (count at word 2, 14-byte entries).
    const std::vector<uint8_t> group = Resource(m, RT_GROUP_ICON, MAKEINTRESOURCEW(101));
    ASSERT_GE(group.size(), 6u);
    std::vector<int> sizes;
    for (size_t i = 0; i < group[4] && 6 + 14 * i < group.size(); ++i) {
        sizes.push_back(group[6 + 14 * i]);
    }
    EXPECT_EQ(sizes, std::vector<int>({16, 32, 48}));
}

}  // namespace
}  // namespace pelmora
