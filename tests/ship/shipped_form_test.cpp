// The deliverables in the form they ship in: stripped, their debug information in a file
// beside them that the stripped file names, and a version resource in Japanese and English.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "pelmora_version.h"
#include "platform/wide.h"
#include "tests/support/test_files.h"

namespace pelmora {
namespace {

using testing_support::HostPath;
using testing_support::ReadBytes;

struct Deliverable {
    const char* path;
    const char16_t* fileName;
    DWORD fileType;
};

const Deliverable kDeliverables[] = {
    {PELMORA_DLL_FILE, u"Pelmora.dll", VFT_DLL},
    {PELMORA_SETTING_FILE, u"PelmoraSetting.exe", VFT_APP},
};

// A copy of the structure at `at`; zeros past the end.
template <typename T>
T At(const std::string& b, size_t at) {
    T v = {};
    if (at <= b.size() && b.size() - at >= sizeof v) {
        std::memcpy(&v, b.data() + at, sizeof v);
    }
    return v;
}

using Sections = std::map<std::string, std::string>;  // name: data

// The section table of a PE file ("PE Format", winnt.h's IMAGE_ structures: the section
// headers follow the optional header; a name "/n" is at offset n of the string table, which
// follows the symbol table's records). The file header is the same in 32- and 64-bit files.
Sections SectionsOf(const std::string& file) {
    Sections sections;
    const auto dos = At<IMAGE_DOS_HEADER>(file, 0);
    const auto nt = At<IMAGE_NT_HEADERS32>(file, static_cast<size_t>(dos.e_lfanew));
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || nt.Signature != IMAGE_NT_SIGNATURE) {
        return sections;
    }
    const IMAGE_FILE_HEADER& h = nt.FileHeader;
    const size_t strings = h.PointerToSymbolTable + h.NumberOfSymbols * size_t{IMAGE_SIZEOF_SYMBOL};
    size_t at = static_cast<size_t>(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                h.SizeOfOptionalHeader;
    for (WORD i = 0; i < h.NumberOfSections; ++i, at += sizeof(IMAGE_SECTION_HEADER)) {
        const auto header = At<IMAGE_SECTION_HEADER>(file, at);
        std::string name(reinterpret_cast<const char*>(header.Name), 8);
        name = name.c_str();
        if (name.size() > 1 && name[0] == '/') {
            name = file.substr(std::min<size_t>(file.size(), strings + std::stoul(name.substr(1))))
                       .c_str();
        }
        sections[name] = file.substr(std::min<size_t>(file.size(), header.PointerToRawData),
                                     header.SizeOfRawData);
    }
    return sections;
}

class ShippedForm : public ::testing::TestWithParam<Deliverable> {};

// A deliverable that still carries debug sections, names no debug file (a .gnu_debuglink
// section: the file's name and a NUL; GDB manual, "Debugging Information in Separate Files")
// or names one that is not beside it or holds no debug information, fails here.
TEST_P(ShippedForm, IsStrippedAndNamesItsDebugFile) {
    const std::u16string path = HostPath(GetParam().path);
    std::string file;
    ASSERT_TRUE(ReadBytes(path, file));
    const Sections sections = SectionsOf(file);
    ASSERT_EQ(sections.count(".text"), 1u);
    for (const auto& [name, data] : sections) {
        EXPECT_NE(name.rfind(".debug", 0), 0u) << name;
    }

    const std::string link = sections.count(".gnu_debuglink") ? sections.at(".gnu_debuglink") : "";
    const std::string debugName = link.c_str();
    const std::string built = GetParam().path;
    EXPECT_EQ(debugName, built.substr(built.rfind('/') + 1) + ".debug");
    std::string debug;
    ASSERT_TRUE(ReadBytes(path + u".debug", debug));
    EXPECT_EQ(SectionsOf(debug).count(".debug_info"), 1u);
}

// Read through the platform's version functions, as the handheld's file properties do
// (VerQueryValueW, winver.h: "\\" gives VS_FIXEDFILEINFO, and
// "\\StringFileInfo\\<language><code page>\\<name>" a string).
TEST_P(ShippedForm, CarriesOneVersionInJapaneseAndEnglish) {
    const std::u16string path = HostPath(GetParam().path);
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(W(path.c_str()), &ignored));
    ASSERT_TRUE(
        GetFileVersionInfoW(W(path.c_str()), 0, static_cast<DWORD>(info.size()), info.data()));
    auto query = [&](const std::u16string& name, UINT& length) -> const void* {
        void* value = nullptr;
        return VerQueryValueW(info.data(), W(name.c_str()), &value, &length) ? value : nullptr;
    };
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(query(u"\\", length));
    ASSERT_NE(fixed, nullptr);
    const DWORD ms = MAKELONG(PELMORA_VERSION_MINOR, PELMORA_VERSION_MAJOR);
    const DWORD ls = MAKELONG(0, PELMORA_VERSION_PATCH);
    EXPECT_EQ(std::vector<DWORD>({fixed->dwFileVersionMS, fixed->dwFileVersionLS,
                                  fixed->dwProductVersionMS, fixed->dwProductVersionLS,
                                  fixed->dwFileType}),
              std::vector<DWORD>({ms, ls, ms, ls, GetParam().fileType}));

    const std::u16string version(PELMORA_VERSION_STRING,
                                 PELMORA_VERSION_STRING + std::strlen(PELMORA_VERSION_STRING));
    for (const char* block : {"041104B0", "040904B0"}) {
        auto text = [&](const char16_t* key) {
            const void* value = query(
                u"\\StringFileInfo\\" + std::u16string(block, block + 8) + u"\\" + key, length);
            return value != nullptr ? std::u16string(static_cast<const char16_t*>(value))
                                    : u"(none)";
        };
        EXPECT_EQ(text(u"ProductName") + u"|" + text(u"FileVersion") + u"|" +
                      text(u"ProductVersion") + u"|" + text(u"OriginalFilename"),
                  u"Pelmora|" + version + u"|" + version + u"|" + GetParam().fileName)
            << block;
        EXPECT_NE(text(u"FileDescription"), u"(none)") << block;
    }
}

INSTANTIATE_TEST_SUITE_P(Deliverables, ShippedForm, ::testing::ValuesIn(kDeliverables));

}  // namespace
}  // namespace pelmora
