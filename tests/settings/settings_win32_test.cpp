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
#include "text/utf8.h"

namespace pelmora {
namespace {

using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

// A build-tree path as the Windows programs see it, through the Z: drive.
std::u16string ZPath(const char* unixPath) {
    std::u16string p = u"Z:" + WideFromUtf8(unixPath);
    for (char16_t& c : p) {
        if (c == u'/') {
            c = u'\\';
        }
    }
    return p;
}

Library LoadTable(const char* unixPath) {
    return Library(LoadLibraryExW(W(ZPath(unixPath).c_str()), nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

std::u16string ResourceText(HMODULE module, UINT id) {
    DualString s;
    EXPECT_TRUE(LoadResourceString(module, id, s));
    return s.Wide();
}

TEST(SettingsNames, BothDeliverablesCarryTheSameNames) {
    Library extension = LoadTable(PELMORA_EXTENSION_MODULE);
    Library program = LoadTable(PELMORA_PROGRAM_MODULE);
    ASSERT_TRUE(extension.Valid());
    ASSERT_TRUE(program.Valid());
    for (UINT id = IDS_SETTINGS_SECTION; id <= IDS_KEY_RESALLCC; ++id) {
        const std::u16string text = ResourceText(extension.Get(), id);
        EXPECT_FALSE(text.empty()) << id;
        EXPECT_EQ(text, ResourceText(program.Get(), id)) << id;
    }
    EXPECT_EQ(ResourceText(extension.Get(), IDS_SETTINGS_SECTION), u"Pelmora");
    EXPECT_EQ(ResourceText(extension.Get(), IDS_KEY_RESALLCC), u"RESALLCC");
    EXPECT_EQ(ResourceText(extension.Get(), IDS_PRODUCT_FOLDER), u"Pelmora");
}

TEST(SettingsPaths, EachDeliverableFindsItsFile) {
    Library extension = LoadTable(PELMORA_EXTENSION_MODULE);
    ASSERT_TRUE(extension.Valid());
    DualString path;
    ASSERT_TRUE(ExtensionSettingsPath(extension.Get(), path));
    EXPECT_EQ(path.Wide(), u"\\Program Files\\Pelmora\\Pelmora.ini");

    // This test program carries the settings names, so it stands in for the settings
    // program: the file lies next to it.
    ASSERT_TRUE(ProgramSettingsPath(nullptr, path));
    EXPECT_EQ(path.Wide(), ZPath(PELMORA_TEST_BINARY_DIR) + u"\\Pelmora.ini");

    // A module without the names, or without a file of its own, gives no path.
    Library bare = LoadTable(PELMORA_FILE_HOLDER);
    ASSERT_TRUE(bare.Valid());
    path = u"unchanged";
    EXPECT_FALSE(ExtensionSettingsPath(bare.Get(), path));
    EXPECT_FALSE(ProgramSettingsPath(bare.Get(), path));
    EXPECT_FALSE(ProgramSettingsPath(extension.Get(), path));
}

TEST(SettingsPaths, AModuleWithoutNamesNeitherLoadsNorSaves) {
    ScratchDir dir;
    const std::u16string file = dir.Path(u"Pelmora.ini");
    const std::string old = "[Pelmora]\r\nQUATE=TRUE\r\n";
    ASSERT_TRUE(WriteBytes(file, old));
    Library bare = LoadTable(PELMORA_FILE_HOLDER);
    ASSERT_TRUE(bare.Valid());
    SettingsRecord r;
    r.moduleHandle = bare.Get();
    EXPECT_FALSE(r.LoadSettings(file.c_str()));
    EXPECT_FALSE(r.quote);
    EXPECT_FALSE(r.SaveSettings(file.c_str()));
    std::string now;
    ASSERT_TRUE(ReadBytes(file, now));
    EXPECT_EQ(now, old);
}

// Another process holding the settings file open, as the other deliverable does while it
// reads or writes, until the object goes away.
class HeldFile {
public:
    HeldFile(const std::u16string& path, const wchar_t* mode) {
        static unsigned counter = 0;
        wchar_t name[64];
        swprintf(name, 64, L"pelmora-holder-%lu-%u", GetCurrentProcessId(), ++counter);
        readyName_ = std::wstring(name) + L"-ready";
        releaseName_ = std::wstring(name) + L"-release";
        ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, readyName_.c_str()));
        release_.Reset(CreateEventW(nullptr, TRUE, FALSE, releaseName_.c_str()));
        std::wstring command = L"\"" + std::wstring(W(ZPath(PELMORA_FILE_HOLDER).c_str())) +
                               L"\" " + mode + L" \"" + W(path.c_str()) + L"\" " + readyName_ +
                               L" " + releaseName_;
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!ready_ || !release_ ||
            !CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi)) {
            return;
        }
        process_.Reset(pi.hProcess);
        CloseHandle(pi.hThread);
        // Either the holder has the file, or it gave up and ended.
        HANDLE waitFor[] = {ready_.Get(), process_.Get()};
        holding_ = WaitForMultipleObjects(2, waitFor, FALSE, 30000) == WAIT_OBJECT_0;
    }
    ~HeldFile() { Release(); }

    bool Holding() const { return holding_; }
    // Lets go of the file; true when the holder ended cleanly.
    bool Release() {
        if (!process_) {
            return false;
        }
        SetEvent(release_.Get());
        DWORD code = 1;
        const bool ended = WaitForSingleObject(process_.Get(), 30000) == WAIT_OBJECT_0 &&
                           GetExitCodeProcess(process_.Get(), &code);
        process_.Reset();
        return ended && code == 0;
    }

private:
    std::wstring readyName_;
    std::wstring releaseName_;
    KernelHandle ready_;
    KernelHandle release_;
    KernelHandle process_;
    bool holding_ = false;
};

size_t FilesIn(const std::u16string& folder) {
    WIN32_FIND_DATAW fd;
    size_t n = 0;
    HANDLE h = FindFirstFileW(W((folder + u"\\*").c_str()), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ++n;
        }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return n;
}

const char kOld[] = "[Pelmora]\r\nRESALL=TRUE\r\nQUATE=TRUE\r\n";

TEST(SettingsSharing, AReadMeetingAWriterLoadsNothing) {
    ScratchDir dir;
    const std::u16string file = dir.Path(u"Pelmora.ini");
    ASSERT_TRUE(WriteBytes(file, kOld));
    SettingsRecord r;
    {
        HeldFile writer(file, L"write");
        ASSERT_TRUE(writer.Holding());
        EXPECT_FALSE(r.LoadSettings(file.c_str()));
        EXPECT_FALSE(r.resAll);
        EXPECT_TRUE(writer.Release());
    }
    EXPECT_TRUE(r.LoadSettings(file.c_str()));
    EXPECT_TRUE(r.resAll);
}

TEST(SettingsSharing, AReplaceMeetingAReaderKeepsTheOldFile) {
    ScratchDir dir;
    const std::u16string file = dir.Path(u"Pelmora.ini");
    ASSERT_TRUE(WriteBytes(file, kOld));
    SettingsRecord r;
    r.signature = u"new";
    {
        HeldFile reader(file, L"readwrite");
        ASSERT_TRUE(reader.Holding());
        EXPECT_FALSE(r.SaveSettings(file.c_str()));
        std::string now;
        ASSERT_TRUE(ReadBytes(file, now));
        EXPECT_EQ(now, kOld);
        EXPECT_EQ(FilesIn(dir.Folder()), 1u);  // no temporary file left behind
        EXPECT_TRUE(reader.Release());
    }
    ASSERT_TRUE(r.SaveSettings(file.c_str()));
    std::string now;
    ASSERT_TRUE(ReadBytes(file, now));
    EXPECT_EQ(now,
              "[Pelmora]\r\nPRIOFROM=FALSE\r\nRESALL=FALSE\r\nRESALLCC=FALSE\r\n"
              "QUATE=FALSE\r\nSIGNATURE=bmV3\r\n");
    EXPECT_EQ(FilesIn(dir.Folder()), 1u);
}

}  // namespace
}  // namespace pelmora
