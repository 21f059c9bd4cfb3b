// Fixtures for tests on the emulated device: device profiles served by the stand-in
// messaging library, what the library still holds, the Pelmora server's registry keys and
// programs run to their end.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/device/journal_reader.h"
#include "tests/support/test_files.h"

namespace pelmora::testing_support {

// A device profile in a scratch folder, served to this process (through the variable
// PELMORA_DEVICE_PROFILE) while the object lives.
class TestDeviceProfile {
public:
    // `stores`: stores.txt, one "folder|display name" (or a bare "folder") a line.
    explicit TestDeviceProfile(const std::string& stores = "");
    ~TestDeviceProfile();
    TestDeviceProfile(const TestDeviceProfile&) = delete;
    TestDeviceProfile& operator=(const TestDeviceProfile&) = delete;

    // "<store>\<name>.eml" and "<store>\<name>.props", each written when given.
    void AddMessage(const std::string& store, const std::string& name,
                    const std::optional<std::string>& raw, const std::optional<std::string>& props);
    // faults.txt ("name=value" lines).
    void SetFaults(const std::string& faults);

    const std::u16string& Folder() const { return dir_.Folder(); }
    std::u16string Path(const std::u16string& name) const { return dir_.Path(name); }
    std::vector<JournalLine> Outbox() const;

private:
    ScratchDir dir_;
    std::optional<std::u16string> previous_;
};

// The stand-in messaging library's live objects and blocks in this process, and its frees of
// unknown pointers; empty when there are none.
std::string Leftovers();

struct ProcessResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;  // stdout
};
ProcessResult RunProcess(std::u16string commandLine);
// This test program run again for `test` alone (a disabled test, run only as a child),
// outside this run's report.
ProcessResult RunTestInChild(const char16_t* test);
DWORD Regsvr32(const std::u16string& dll, bool unregister);

// The six keys that register the Pelmora server, deepest first, and how one of them stands.
extern const std::pair<HKEY, const wchar_t*> kServerKeys[6];
struct KeyState {
    bool exists = false;
    DWORD type = REG_NONE;  // of the default value
    std::string bytes;
    DWORD values = 0;
};
KeyState ReadKey(size_t index);
void DeleteServerKeys();

// Puts the server's keys back as they were at construction (a demo's registration, say).
class ServerKeysGuard {
public:
    ServerKeysGuard();
    ~ServerKeysGuard();

private:
    KeyState saved_[6];
};

}  // namespace pelmora::testing_support
