// The settings file as the two deliverables meet it on the device: their string tables,
// their file locations, and the file shared between two processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "menuext/resource.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "settings/settings_names.h"
#include "settings/settings_paths_win32.h"
#include "settings/settings_record.h"
#include "tests/support/test_files.h"
#include "text/resource_string_win32.h"

namespace pelmora {
namespace {

using testing_support::HostPath;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

Library LoadTable(const char* unixPath) {
    return Library(
        LoadLibraryExW(W(HostPath(unixPath).c_str()), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

std::u16string ResourceText(HMODULE module, UINT id) {
    DualString s;
    EXPECT_TRUE(LoadResourceString(module, id, s));
    return s.Wide();
}

TEST(SettingsFiles, BothDeliverablesCarryTheSameNamesAndFindTheirFiles) {
    Library extension = LoadTable(PELMORA_EXTENSION_MODULE);
    Library program = LoadTable(PELMORA_PROGRAM_MODULE);
    Library bare = LoadTable(PELMORA_BARE_MODULE);  // no settings names
    ASSERT_TRUE(extension.Valid() && program.Valid() && bare.Valid());
    for (UINT id = IDS_SETTINGS_SECTION; id <= IDS_KEY_RESALLCC; ++id) {
        const std::u16string text = ResourceText(extension.Get(), id);
        EXPECT_FALSE(text.empty()) << id;
        EXPECT_EQ(text, ResourceText(program.Get(), id)) << id;
    }

    DualString path;
    ASSERT_TRUE(ExtensionSettingsPath(extension.Get(), path));
    EXPECT_EQ(path.Wide(), u"\\Program Files\\Pelmora\\Pelmora.ini");
    // This test program carries the settings names, so it stands in for the settings
    // program: the file lies next to it.
    ASSERT_TRUE(ProgramSettingsPath(nullptr, path));
    EXPECT_EQ(path.Wide(), HostPath(PELMORA_TEST_BINARY_DIR) + u"\\Pelmora.ini");
    // A module without the names, or without a file of its own, gives no path.
    EXPECT_FALSE(ExtensionSettingsPath(bare.Get(), path));
    EXPECT_FALSE(ProgramSettingsPath(bare.Get(), path));
    EXPECT_FALSE(ProgramSettingsPath(extension.Get(), path));

    // ... and neither loads nor saves.
    ScratchDir dir;
    const std::u16string file = dir.Path(u"Pelmora.ini");
    ASSERT_TRUE(WriteBytes(file, "[Pelmora]\r\nQUATE=TRUE\r\n"));
    SettingsRecord r;
    r.moduleHandle = bare.Get();
    EXPECT_FALSE(r.LoadSettings(file.c_str()));
    EXPECT_FALSE(r.quote);
    EXPECT_FALSE(r.SaveSettings(file.c_str()));
    std::string now;
    ASSERT_TRUE(ReadBytes(file, now));
    EXPECT_EQ(now, "[Pelmora]\r\nQUATE=TRUE\r\n");
}

// A handle on the settings file as the other deliverable holds it while it reads or
// writes; sharing rules are per handle, so this process stands in for the other one.
FileHandle Hold(const std::u16string& path, DWORD access) {
    return FileHandle(CreateFileW(W(path.c_str()), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// A read meeting a writer loads nothing; a replace meeting a reader keeps the old file and
// leaves no temporary file behind. Both succeed once the handle is gone.
TEST(SettingsSharing, AFileHeldByTheOtherDeliverableIsLeftAsItIs) {
    const std::string old = "[Pelmora]\r\nRESALL=TRUE\r\nQUATE=TRUE\r\n";
    ScratchDir dir;
    const std::u16string file = dir.Path(u"Pelmora.ini");
    auto now = [&] {
        std::string bytes;
        EXPECT_TRUE(ReadBytes(file, bytes));
        return bytes;
    };
    auto filesInFolder = [&] {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(W((dir.Folder() + u"\\*.*").c_str()), &fd);
        int files = 0;
        for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd)) {
            files += !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        }
        FindClose(h);
        return files;
    };
    ASSERT_TRUE(WriteBytes(file, old));

    SettingsRecord r;
    FileHandle writer = Hold(file, GENERIC_WRITE);
    ASSERT_TRUE(writer.Valid());
    EXPECT_FALSE(r.LoadSettings(file.c_str()));
    EXPECT_FALSE(r.resAll);
    writer.Reset();
    EXPECT_TRUE(r.LoadSettings(file.c_str()));
    EXPECT_TRUE(r.resAll);

    r.signature = u"new";
    FileHandle reader = Hold(file, GENERIC_READ | GENERIC_WRITE);
    ASSERT_TRUE(reader.Valid());
    EXPECT_FALSE(r.SaveSettings(file.c_str()));
    EXPECT_EQ(now(), old);
    EXPECT_EQ(filesInFolder(), 1);
    reader.Reset();
    ASSERT_TRUE(r.SaveSettings(file.c_str()));
    EXPECT_EQ(now(),
              "[Pelmora]\r\nPRIOFROM=FALSE\r\nRESALL=TRUE\r\nRESALLCC=FALSE\r\n"
              "QUATE=TRUE\r\nSIGNATURE=bmV3\r\n");
    EXPECT_EQ(filesInFolder(), 1);
}

}  // namespace
}  // namespace pelmora
