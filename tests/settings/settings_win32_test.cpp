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
    Library bare = LoadTable(PELMORA_FILE_HOLDER);  // no settings names
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

// Another process holding the settings file open, as the other deliverable does while it
// reads or writes, until Release.
class HeldFile {
public:
    HeldFile(const std::u16string& path, const wchar_t* mode) {
        static unsigned counter = 0;
        const std::wstring name = L"pelmora-holder-" + std::to_wstring(GetCurrentProcessId()) +
                                  L"-" + std::to_wstring(++counter);
        ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, (name + L"-ready").c_str()));
        release_.Reset(CreateEventW(nullptr, TRUE, FALSE, (name + L"-release").c_str()));
        std::wstring command = L"\"" + std::wstring(W(HostPath(PELMORA_FILE_HOLDER).c_str())) +
                               L"\" " + mode + L" \"" + W(path.c_str()) + L"\" " + name +
                               L"-ready " + name + L"-release";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (ready_ && release_ &&
            CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                           &pi)) {
            process_.Reset(pi.hProcess);
            CloseHandle(pi.hThread);
            // Either the holder has the file, or it gave up and ended.
            HANDLE waitFor[] = {ready_.Get(), process_.Get()};
            holding = WaitForMultipleObjects(2, waitFor, FALSE, 30000) == WAIT_OBJECT_0;
        }
    }
    ~HeldFile() { Release(); }

    // Lets go of the file; true when the holder ended cleanly.
    bool Release() {
        DWORD code = 1;
        SetEvent(release_.Get());
        const bool ended = process_ &&
                           WaitForSingleObject(process_.Get(), 30000) == WAIT_OBJECT_0 &&
                           GetExitCodeProcess(process_.Get(), &code);
        process_.Reset();
        return ended && code == 0;
    }

    bool holding = false;

private:
    KernelHandle ready_, release_, process_;
};

class SettingsSharing : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(WriteBytes(file_, kOld)); }
    std::string Now() {
        std::string now;
        EXPECT_TRUE(ReadBytes(file_, now));
        return now;
    }
    // The folder holds the settings file and nothing else (no temporary file left).
    bool OnlyTheSettingsFile() {
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(W((dir_.Folder() + u"\\*.*").c_str()), &fd);
        int files = 0;
        for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &fd)) {
            files += !(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        }
        FindClose(h);
        return files == 1;
    }

    static constexpr char kOld[] = "[Pelmora]\r\nRESALL=TRUE\r\nQUATE=TRUE\r\n";
    ScratchDir dir_;
    std::u16string file_ = dir_.Path(u"Pelmora.ini");
};

TEST_F(SettingsSharing, AReadMeetingAWriterLoadsNothing) {
    SettingsRecord r;
    HeldFile writer(file_, L"write");
    ASSERT_TRUE(writer.holding);
    EXPECT_FALSE(r.LoadSettings(file_.c_str()));
    EXPECT_FALSE(r.resAll);
    EXPECT_TRUE(writer.Release());
    EXPECT_TRUE(r.LoadSettings(file_.c_str()));
    EXPECT_TRUE(r.resAll);
}

TEST_F(SettingsSharing, AReplaceMeetingAReaderKeepsTheOldFile) {
    SettingsRecord r;
    r.signature = u"new";
    HeldFile reader(file_, L"readwrite");
    ASSERT_TRUE(reader.holding);
    EXPECT_FALSE(r.SaveSettings(file_.c_str()));
    EXPECT_EQ(Now(), kOld);
    EXPECT_TRUE(OnlyTheSettingsFile());
    EXPECT_TRUE(reader.Release());
    ASSERT_TRUE(r.SaveSettings(file_.c_str()));
    EXPECT_EQ(Now(),
              "[Pelmora]\r\nPRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\n"
              "QUATE=FALSE\r\nSIGNATURE=bmV3\r\n");
    EXPECT_TRUE(OnlyTheSettingsFile());
}

}  // namespace
}  // namespace pelmora
