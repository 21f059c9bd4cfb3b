// The deliverables in the form they ship in: stripped, their debug information in a file
// beside them that the stripped file names, and a version resource in Japanese and English.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

// Little-endian fields; past the end reads as 0.
uint32_t Le(const std::string& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | (at + i < b.size() ? static_cast<unsigned char>(b[at + i]) : 0u);
    }
    return v;
}
uint32_t Le32(const std::string& b, size_t at) {
    return Le(b, at, 4);
}
uint16_t Le16(const std::string& b, size_t at) {
    return static_cast<uint16_t>(Le(b, at, 2));
}

struct Section {
    std::string name;
    std::string data;
};

// The section table of a PE file ("Microsoft PE and COFF Specification": section headers
// of 40 bytes after the optional header; a name "/n" is at offset n of the string table,
// which follows the symbol table's 18-byte records).
std::vector<Section> Sections(const std::string& file) {
    std::vector<Section> sections;
    const uint32_t pe = Le32(file, 0x3C);
    if (file.compare(0, 2, "MZ") != 0 || file.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
        return sections;
    }
    const size_t coff = pe + 4;
    const uint16_t count = Le16(file, coff + 2);
    const size_t strings = Le32(file, coff + 8) + Le32(file, coff + 12) * 18u;
    size_t header = coff + 20 + Le16(file, coff + 16);
    for (uint16_t i = 0; i < count && header + 40 <= file.size(); ++i, header += 40) {
        std::string name = file.substr(header, 8).c_str();
        if (name.size() > 1 && name[0] == '/') {
            name = file.substr(strings + std::stoul(name.substr(1))).c_str();
        }
        const uint32_t size = Le32(file, header + 16);
        const uint32_t at = Le32(file, header + 20);
        sections.push_back({name, at < file.size() ? file.substr(at, size) : std::string()});
    }
    return sections;
}

const Section* Find(const std::vector<Section>& sections, const std::string& name) {
    for (const Section& s : sections) {
        if (s.name == name) {
            return &s;
        }
    }
    return nullptr;
}

// A .gnu_debuglink section holds the debug file's name without folders, a NUL, padding to
// four bytes and the file's CRC-32 (GDB manual, "Debugging Information in Separate Files";
// the CRC of zlib, reflected polynomial 0xEDB88320).
uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

class ShippedForm : public ::testing::TestWithParam<Deliverable> {};

// A deliverable that still carries debug sections, names no debug file, names one that is
// not beside it or not the one built with it, or whose debug file holds no debug
// information, fails here.
TEST_P(ShippedForm, IsStrippedAndNamesItsDebugFile) {
    const std::u16string path = HostPath(GetParam().path);
    std::string file;
    ASSERT_TRUE(ReadBytes(path, file));
    const std::vector<Section> sections = Sections(file);
    ASSERT_NE(Find(sections, ".text"), nullptr);
    for (const Section& s : sections) {
        EXPECT_NE(s.name.rfind(".debug", 0), 0u) << s.name;
    }

    const Section* link = Find(sections, ".gnu_debuglink");
    ASSERT_NE(link, nullptr);
    const std::string debugName = link->data.c_str();
    const std::string built = GetParam().path;
    EXPECT_EQ(debugName, built.substr(built.rfind('/') + 1) + ".debug");
    std::string debug;
    ASSERT_TRUE(ReadBytes(path + u".debug", debug));
    const size_t crcAt = (debugName.size() + 4) & ~size_t{3};
    EXPECT_EQ(Le32(link->data, crcAt), Crc32(debug));
    EXPECT_NE(Find(Sections(debug), ".debug_info"), nullptr);
}

std::u16string VersionString(const std::vector<char>& info, const char16_t* block,
                             const char16_t* key) {
    const std::u16string query = u"\\StringFileInfo\\" + std::u16string(block) + u"\\" + key;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), W(query.c_str()), &value, &length) || value == nullptr) {
        return u"(none)";
    }
    return static_cast<const char16_t*>(value);
}

// Read through the platform's version functions, as the handheld's file properties do
// (VerQueryValueW, winver.h: "\\" gives VS_FIXEDFILEINFO, "\\VarFileInfo\\Translation" the
// language and code page pairs, "\\StringFileInfo\\<language><code page>\\<name>" a string).
TEST_P(ShippedForm, CarriesOneVersionInJapaneseAndEnglish) {
    const std::u16string path = HostPath(GetParam().path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(W(path.c_str()), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(W(path.c_str()), 0, size, info.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const DWORD ms = MAKELONG(PELMORA_VERSION_MINOR, PELMORA_VERSION_MAJOR);
    const DWORD ls = MAKELONG(0, PELMORA_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, ms);
    EXPECT_EQ(fixed->dwFileVersionLS, ls);
    EXPECT_EQ(fixed->dwProductVersionMS, ms);
    EXPECT_EQ(fixed->dwProductVersionLS, ls);
    EXPECT_EQ(fixed->dwFileType, GetParam().fileType);

    WORD* languages = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&languages), &length));
    const std::vector<WORD> translations(languages, languages + length / sizeof(WORD));
    EXPECT_EQ(translations, (std::vector<WORD>{0x0411, 1200, 0x0409, 1200}));

    const std::u16string version(PELMORA_VERSION_STRING,
                                 PELMORA_VERSION_STRING + std::strlen(PELMORA_VERSION_STRING));
    std::u16string descriptions[2];
    int i = 0;
    for (const char16_t* block : {u"041104B0", u"040904B0"}) {
        SCOPED_TRACE(testing::Message() << "block " << i);
        EXPECT_EQ(VersionString(info, block, u"ProductName"), u"Pelmora");
        EXPECT_EQ(VersionString(info, block, u"FileVersion"), version);
        EXPECT_EQ(VersionString(info, block, u"ProductVersion"), version);
        EXPECT_EQ(VersionString(info, block, u"OriginalFilename"), GetParam().fileName);
        descriptions[i] = VersionString(info, block, u"FileDescription");
        EXPECT_NE(descriptions[i], u"(none)");
        ++i;
    }
    // Each language says it in its own words.
    EXPECT_NE(descriptions[0], descriptions[1]);
}

INSTANTIATE_TEST_SUITE_P(Deliverables, ShippedForm, ::testing::ValuesIn(kDeliverables));

}  // namespace
}  // namespace pelmora
