// The control builder on synthetic templates: which items get a window and a record.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_layout/dialog_builder_win32.h"
#include "tests/dialog_layout/template_bytes.h"

namespace pelmora {
namespace {

BOOL CALLBACK AddClass(HWND child, LPARAM param) {
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    *reinterpret_cast<std::wstring*>(param) += L" " + std::wstring(name);
    return TRUE;
}

// Builds `bytes` (or, when empty, template `missingId` of this program, which has none)
// into a hidden window: the result, the record ids and the classes of the created children.
std::wstring Build(const Bytes& bytes, int missingId) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 240, 320, nullptr, nullptr,
                                  nullptr, nullptr);
    // A record list that is not empty beforehand: the builder empties it.
    std::vector<ControlRecord> records = {ControlRecord{0xFFFF, 0x80}};
    DialogTemplate t;
    std::vector<GdiObject> fonts;
    const bool ok =
        bytes.Size() == 0
            ? BuildDialogControls(t, GetModuleHandleW(nullptr), parent, missingId, &records, fonts)
            : BuildDialogControlsFrom(bytes.Get().data(), bytes.Size(), t,
                                      GetModuleHandleW(nullptr), parent, &records, fonts);
    std::wstring built = ok ? L"built, records" : L"failed, records";
    for (const ControlRecord& r : records) {
        built += L" " + std::to_wstring(r.id);
    }
    built += L", windows";
    EnumChildWindows(parent, AddClass, reinterpret_cast<LPARAM>(&built));
    DestroyWindow(parent);
    return built;
}

TEST(DialogBuilder, BuildsPredefinedAndNamedClassesAndSkipsOtherOrdinals) {
    // A button, ordinal 0x86 (skipped), a named class (a window, no record).
    Bytes three = Header(3);
    three.Item(0x50010003, {7, 0, 103, 13, 1000}).Word(0xFFFF).Word(0x80).Text(u"a").Word(0);
    three.Item(0x50000000, {7, 14, 50, 8, 1001}).Word(0xFFFF).Word(0x86).Text(u"b").Word(0);
    three.Item(0x50000000, {7, 30, 50, 8, 1002}).Text(u"Static").Text(u"c").Word(0);
    EXPECT_EQ(Build(three, 0), L"built, records 1000, windows Button Static");
    EXPECT_EQ(Build(Header(0), 0), L"built, records, windows");
    EXPECT_EQ(Build(Bytes(), 4321), L"failed, records 65535, windows");  // no such template
}

}  // namespace
}  // namespace pelmora
