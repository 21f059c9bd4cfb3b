// What the reply tests set up on the emulated device: Pelmora.dll registered, the settings
// file at its fixed place, and an Inbox read view that creates the registered extension
// through COM and invokes its item.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/cemapi/cemapi_testing.h"
#include "device/inbox/inbox_host_win32.h"

namespace pelmora::testing_support {

// A build-tree file as Wine reaches it, through the Z: drive.
std::u16string WindowsPath(const char* unixPath);

// Registers the built Pelmora.dll for the test's lifetime, then puts the previous
// registration back (or removes it when there was none).
class ServerRegistration {
  public:
    explicit ServerRegistration(const std::u16string& dllPath);
    ~ServerRegistration();
    ServerRegistration(const ServerRegistration&) = delete;
    ServerRegistration& operator=(const ServerRegistration&) = delete;
    bool Registered() const { return registered_; }

  private:
    HMODULE module_ = nullptr;
    bool registered_ = false;
    std::optional<std::u16string> previousPath_;  // InprocServer32 of the read view's class
    std::optional<std::u16string> previousListPath_;
};

// The settings as the settings program stores them.
struct SettingsValues {
    std::optional<int32_t> accountIndex;  // none: not written (no automatic account)
    bool quote = false;
    std::u16string quoteString;
    std::u16string signature;
    std::u16string cc;
    std::u16string bcc;
    bool prioFrom = false;
    bool resAll = false;
    bool resAllCc = false;
};

// The file's text: texts base64 of their ANSI bytes, booleans TRUE/FALSE, lines CR LF.
std::string SettingsFileText(const SettingsValues& values);

// Owns C:\Program Files\Pelmora\Pelmora.ini while it lives: keeps what was there and puts
// it back (or removes the file) at the end.
class SettingsFile {
  public:
    SettingsFile();
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;
    bool Write(const SettingsValues& values);
    bool WriteRaw(const std::string& bytes);
    void Remove();
    static const std::u16string& Path();

  private:
    std::optional<std::string> previous_;
    bool createdFolder_ = false;
};

// The Inbox's read view over one selected message, with the menu built from every registered
// read-view extension. Invoke runs Pelmora's item with the device's root (C:) as the current
// drive, as paths without a drive are read on the device.
class ReadView {
  public:
    ReadView(uint32_t store, const std::string& message,
             device::SelectionShape shape = device::SelectionShape::Message);
    ~ReadView();
    ReadView(const ReadView&) = delete;
    ReadView& operator=(const ReadView&) = delete;

    // Creation status of Pelmora's read-view object (E_FAIL when it was not found).
    HRESULT Created() const;
    HRESULT Invoke();

  private:
    device::LoadedExtension* Pelmora();

    std::vector<device::LoadedExtension> extensions_;
    device::InboxSite* site_ = nullptr;
    HMENU menu_ = nullptr;
};

// The stand-in messaging library's live objects and buffers in this process.
CEMAPI_DEVICE_COUNTS DeviceCounts();

struct ProcessResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::string output;
};

// Runs a command line in `directory` and collects its stdout.
ProcessResult RunProcess(const std::u16string& commandLine, const std::u16string& directory);

}  // namespace pelmora::testing_support
