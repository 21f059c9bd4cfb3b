// The settings file as the two deliverables meet it on the device: their file locations, and the
// file shared between two processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/file_replace_win32.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "settings/settings_paths_win32.h"
#include "settings/settings_record.h"
#include "tests/support/test_files.h"

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

TEST(SettingsFiles, BothDeliverablesFindTheirFiles) {
    Library extension = LoadTable(PELMORA_EXTENSION_MODULE);
    Library bare = LoadTable(PELMORA_BARE_MODULE);  // no settings names
    ASSERT_TRUE(extension.Valid() && bare.Valid());
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

    // A module path that fills the program's buffer of 259 characters may have been cut
    // short: only one a character shorter is whole.
    for (const size_t length : {258u, 259u}) {
        ScratchDir deep;
        const std::u16string file = u"\\Pelmora.dll";
        std::u16string folder = deep.Folder() + u"\\";
        folder += std::u16string(length - folder.size() - file.size(), u'd');
        ASSERT_TRUE(CreateDirectoryW(W(folder.c_str()), nullptr));
        ASSERT_TRUE(CopyFileW(W(HostPath(PELMORA_EXTENSION_MODULE).c_str()),
                              W((folder + file).c_str()), FALSE));
        Library mapped(
            LoadLibraryExW(W((folder + file).c_str()), nullptr, DONT_RESOLVE_DLL_REFERENCES));
        ASSERT_TRUE(mapped.Valid()) << length;
        path = DualString(u"");
        EXPECT_EQ(ProgramSettingsPath(mapped.Get(), path), length < 259) << length;
        EXPECT_EQ(path.Wide(), length < 259 ? folder + u"\\Pelmora.ini" : u"") << length;
    }

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

FileHandle* g_released = nullptr;  // let go at the save's second attempt to set the file aside
int g_setAsideAttempts = 0;
bool ReleaseAtSecondAttempt(ReplaceStep step) {
    if (step == ReplaceStep::kSetAside && ++g_setAsideAttempts == 2) {
        g_released->Reset();
    }
    return true;
}

// The other deliverable reading or writing makes a load fail (the file counts as held, not
// missing) and a save keep the old file, with nothing left beside it; a reader that shares
// everything hinders neither. A holder let go while the save waits lets it through.
TEST(SettingsSharing, AFileHeldByAnotherProgramIsLeftAsItIs) {
    const std::string old = "[Pelmora]\r\nRESALL=TRUE\r\nQUATE=TRUE\r\n";
    const std::string saved =
        "[Pelmora]\r\nPRIOFROM=FALSE\r\nRESALL=TRUE\r\nRESALLCC=FALSE\r\n"
        "QUATE=TRUE\r\nSIGNATURE=bmV3\r\n";
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const struct {
        const char* what;
        DWORD access, share;  // 0: nobody holds the file
        const char* content;  // the file before
        bool loads, unreadable, saves;
        bool releasedWhileSaving;
    } rows[] = {
        {"the other deliverable writing", GENERIC_WRITE, FILE_SHARE_READ, nullptr, false, true,
         false, false},
        {"the other deliverable reading, letting go while the save waits",
         GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, false, true, true, true},
        {"a reader sharing everything", GENERIC_READ, all, nullptr, true, false, true, false},
        {"nobody, the file empty", 0, 0, "", false, false, true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ScratchDir dir;
        const std::u16string file = dir.Path(u"Pelmora.ini");
        const std::string before = row.content != nullptr ? row.content : old;
        ASSERT_TRUE(WriteBytes(file, before));
        FileHandle holder;
        if (row.access != 0) {
            // Sharing rules are per handle: this process stands in for the other program.
            holder.Reset(CreateFileW(W(file.c_str()), row.access, row.share, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
            ASSERT_TRUE(holder.Valid());
        }
        SettingsRecord r;
        bool unreadable = !row.unreadable;
        EXPECT_EQ(r.LoadSettings(file.c_str(), &unreadable), row.loads);
        EXPECT_EQ(unreadable, row.unreadable);
        EXPECT_EQ(r.resAll, row.loads);

        r.resAll = true;
        r.quote = true;
        r.signature = u"new";
        g_released = &holder;
        g_setAsideAttempts = 0;
        SetReplaceStepHookForTesting(row.releasedWhileSaving ? ReleaseAtSecondAttempt : nullptr);
        EXPECT_EQ(r.SaveSettings(file.c_str()), row.saves);
        SetReplaceStepHookForTesting(nullptr);
        holder.Reset();
        std::string now;
        EXPECT_TRUE(ReadBytes(file, now));
        EXPECT_EQ(now, row.saves ? saved : before);
        EXPECT_EQ(testing_support::FilesIn(dir.Folder()), 1);
    }

    // A save stopped after it set the old file aside and before the new one was in: the
    // old settings load from the copy it kept.
    ScratchDir dir;
    const std::u16string file = dir.Path(u"Pelmora.ini");
    ASSERT_TRUE(WriteBytes(file + u".old", old));
    SettingsRecord r;
    EXPECT_TRUE(r.LoadSettings(file.c_str()));
    EXPECT_TRUE(r.resAll);
}

}  // namespace
}  // namespace pelmora
