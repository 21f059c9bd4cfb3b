// What the connection catalogue needs from the platform: the Connection Manager's
// destination enumeration and the registry under HKEY_LOCAL_MACHINE. Kept this small so that
// the same rules run against the device's real registry and against an in-memory one.
#pragma once

#include <cstdint>

namespace pelmora {

// Registry statuses and types as the platform numbers them.
constexpr long kRegistryOk = 0;
constexpr long kRegistryNotFound = 2;
constexpr long kRegistryAccessDenied = 5;
constexpr long kRegistryMoreData = 234;
constexpr long kRegistryNoMoreItems = 259;
constexpr uint32_t kRegistryString = 1;  // REG_SZ
constexpr uint32_t kRegistryBinary = 3;  // REG_BINARY
constexpr uint32_t kRegistryDword = 4;   // REG_DWORD

// Access masks used by the catalogue.
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyReadWrite = 0x2001F;
constexpr uint32_t kKeyAllAccess = 0xF003F;

// A destination GUID, field by field as the platform lays it out.
struct DestinationGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
};

constexpr unsigned kDestinationDescriptionChars = 128;

// One destination as the Connection Manager enumerates it; the same layout as the
// platform's record, so the Windows side copies it whole.
struct DestinationInfo {
    DestinationGuid guid;
    char16_t description[kDestinationDescriptionChars];
    int32_t secure;
};

class DestinationSource {
public:
    virtual ~DestinationSource() = default;
    // The destination at `index`; false past the last one.
    virtual bool EnumDestination(uint32_t index, DestinationInfo& info) = 0;
    // The GUID's registry form into `text` of `chars` characters: characters written with
    // the terminator, or 0 when it does not fit.
    virtual int GuidText(const DestinationGuid& guid, char16_t* text, int chars) = 0;
};

// An open key; opaque to the callers.
struct RegistryKeyObject;
using RegistryKeyHandle = RegistryKeyObject*;

// The registry operations used, with the platform's semantics: sizes in bytes, name lengths
// in characters (in: buffer size with the terminator; out: length without it); a buffer
// that is too small gives kRegistryMoreData with the size needed.
class ConnectionRegistry {
public:
    virtual ~ConnectionRegistry() = default;
    virtual long OpenKey(const char16_t* path, uint32_t access, RegistryKeyHandle* key) = 0;
    virtual long CreateKey(const char16_t* path, uint32_t access, RegistryKeyHandle* key) = 0;
    virtual long DeleteKey(const char16_t* path) = 0;
    virtual void CloseKey(RegistryKeyHandle key) = 0;
    virtual long SubkeyCount(RegistryKeyHandle key, uint32_t* count) = 0;
    virtual long EnumKey(RegistryKeyHandle key, uint32_t index, char16_t* name,
                         uint32_t* chars) = 0;
    virtual long EnumValue(RegistryKeyHandle key, uint32_t index, char16_t* name,
                           uint32_t* nameChars, uint32_t* type, uint8_t* data, uint32_t* size) = 0;
    virtual long QueryValue(RegistryKeyHandle key, const char16_t* name, uint32_t* type,
                            uint8_t* data, uint32_t* size) = 0;
    virtual long SetValue(RegistryKeyHandle key, const char16_t* name, uint32_t type,
                          const uint8_t* data, uint32_t size) = 0;
    virtual long DeleteValue(RegistryKeyHandle key, const char16_t* name) = 0;
    // Commits every change made so far to lasting storage (the handheld's registry keeps only
    // flushed changes over a reset).
    virtual long Flush() = 0;
};

// Closes its key on every path.
class OpenRegistryKey {
public:
    explicit OpenRegistryKey(ConnectionRegistry& registry) : registry_(registry) {}
    OpenRegistryKey(const OpenRegistryKey&) = delete;
    OpenRegistryKey& operator=(const OpenRegistryKey&) = delete;
    ~OpenRegistryKey() {
        if (key_ != nullptr) {
            registry_.CloseKey(key_);
        }
    }
    bool Open(const char16_t* path, uint32_t access) {
        return OpenStatus(path, access) == kRegistryOk;
    }
    long OpenStatus(const char16_t* path, uint32_t access) {
        long status = registry_.OpenKey(path, access, &key_);
        if (status != kRegistryOk) {
            key_ = nullptr;
        }
        return status;
    }
    bool Create(const char16_t* path, uint32_t access) {
        if (registry_.CreateKey(path, access, &key_) != kRegistryOk) {
            key_ = nullptr;
            return false;
        }
        return true;
    }
    RegistryKeyHandle Get() const { return key_; }

private:
    ConnectionRegistry& registry_;
    RegistryKeyHandle key_ = nullptr;
};

}  // namespace pelmora
