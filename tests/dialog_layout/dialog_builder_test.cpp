// The control builder on synthetic templates: which items get a window and a record.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "dialog_layout/dialog_builder_win32.h"
#include "tests/dialog_layout/template_bytes.h"

namespace pelmora {
namespace {

struct Built {
    bool result = false;
    std::vector<ControlRecord> records;
    std::vector<std::wstring> windows;  // class names of the created children, in order
};

BOOL CALLBACK AddClass(HWND child, LPARAM param) {
    wchar_t name[64] = {};
    GetClassNameW(child, name, 64);
    reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(name);
    return TRUE;
}

// Builds `bytes` (or, when empty, template `missingId` of this program, which has none)
// into a hidden window.
Built Build(const Bytes& bytes, int missingId = 0) {
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 240, 320, nullptr, nullptr,
                                  nullptr, nullptr);
    Built built;
    // A record list that is not empty beforehand: the builder empties it.
    built.records.push_back(ControlRecord{0xFFFF, 0x80});
    DialogTemplate t;
    std::vector<GdiObject> fonts;
    built.result = bytes.Size() == 0 ? BuildDialogControls(t, GetModuleHandleW(nullptr), parent,
                                                           missingId, &built.records, fonts)
                                     : BuildDialogControlsFrom(bytes.Get().data(), bytes.Size(), t,
                                                               GetModuleHandleW(nullptr), parent,
                                                               &built.records, fonts);
    EnumChildWindows(parent, AddClass, reinterpret_cast<LPARAM>(&built.windows));
    DestroyWindow(parent);
    return built;
}

TEST(DialogBuilder, BuildsPredefinedAndNamedClassesAndSkipsOtherOrdinals) {
    Bytes three = Header(3);
    three.Item(0x50010003, {7, 0, 103, 13, 1000}).Word(0xFFFF).Word(0x80).Text(u"a").Word(0);
    three.Item(0x50000000, {7, 14, 50, 8, 1001}).Word(0xFFFF).Word(0x86).Text(u"b").Word(0);
    three.Item(0x50000000, {7, 30, 50, 8, 1002}).Text(u"Static").Text(u"c").Word(0);
    const struct {
        const char* what;
        Bytes bytes;
        int missingId;
        bool result;
        std::vector<uint16_t> recordIds;
        std::vector<std::wstring> windows;
    } rows[] = {
        {"a button, ordinal 0x86 (skipped), a named class (a window, no record)",
         three,
         0,
         true,
         {1000},
         {L"Button", L"Static"}},
        {"a template without items", Header(0), 0, true, {}, {}},
        {"a template that is not there", Bytes(), 4321, false, {0xFFFF}, {}},
    };
    for (const auto& row : rows) {
        const Built built = Build(row.bytes, row.missingId);
        EXPECT_EQ(built.result, row.result) << row.what;
        std::vector<uint16_t> ids;
        for (const ControlRecord& r : built.records) {
            ids.push_back(r.id);
        }
        EXPECT_EQ(ids, row.recordIds) << row.what;
        EXPECT_EQ(built.windows, row.windows) << row.what;
    }
}

}  // namespace
}  // namespace pelmora
