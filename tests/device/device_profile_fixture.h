// A device profile built for one test in a scratch folder, and made the profile that the
// stand-in messaging library serves in this process.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/device/journal_reader.h"
#include "tests/support/test_files.h"

namespace pelmora::testing_support {

class TestDeviceProfile {
  public:
    // Creates the folder (no stores.txt yet) and points PELMORA_DEVICE_PROFILE at it.
    TestDeviceProfile();
    // Removes the store folders and restores the previous PELMORA_DEVICE_PROFILE.
    ~TestDeviceProfile();
    TestDeviceProfile(const TestDeviceProfile&) = delete;
    TestDeviceProfile& operator=(const TestDeviceProfile&) = delete;

    // Appends a store to stores.txt (no name: the row has no display name).
    void AddStore(const std::string& folder, const std::optional<std::u16string>& name);
    // Writes stores.txt as given (UTF-8 bytes).
    void SetStoreList(const std::string& utf8);
    // Writes "<store>\<name>.eml" when `raw` is given and "<store>\<name>.props" when
    // `props` is given (UTF-8 "class=", "sender=", "subject=" lines).
    void AddMessage(const std::string& storeFolder, const std::string& name,
                    const std::optional<std::string>& raw, const std::optional<std::string>& props);
    // Writes faults.txt (UTF-8 "name=value" lines); an empty text removes all faults.
    void SetFaults(const std::string& utf8);

    const std::u16string& Folder() const { return dir_.Folder(); }
    std::u16string Path(const std::u16string& name) const { return dir_.Path(name); }
    // The outbox journal's lines, parsed (empty when nothing was written).
    std::vector<JsonValue> Outbox() const;
    std::string OutboxBytes() const;

  private:
    ScratchDir dir_;
    std::string storeList_;
    std::vector<std::u16string> storeFolders_;
    std::optional<std::u16string> previous_;
};

// Points PELMORA_DEVICE_PROFILE at `folder` (nothing: unsets it) for the object's lifetime.
class DeviceProfileVariable {
  public:
    explicit DeviceProfileVariable(const std::optional<std::u16string>& folder);
    ~DeviceProfileVariable();
    DeviceProfileVariable(const DeviceProfileVariable&) = delete;
    DeviceProfileVariable& operator=(const DeviceProfileVariable&) = delete;

  private:
    std::optional<std::u16string> previous_;
};

}  // namespace pelmora::testing_support
