// The registry entries through which COM finds the two classes and the Inbox learns that
// they extend its context menus, and the order in which they are written and removed.
// Portable: the registry itself is reached through a RegistryPort.
#pragma once

#include <cstdint>
#include <string>

namespace pelmora {

enum class RegistryRoot { ClassesRoot, LocalMachine };

// The registry operations that registration needs. Keys are the port's own handles.
class RegistryPort {
public:
    using Key = uintptr_t;
    virtual ~RegistryPort() = default;

    virtual Key Root(RegistryRoot root) = 0;
    // Creates or opens `subKey` below `parent`; false on failure.
    virtual bool CreateKey(Key parent, const char16_t* subKey, Key* key) = 0;
    // Sets the key's unnamed value to `text` as a string value.
    virtual bool SetDefaultText(Key key, const char16_t* text) = 0;
    virtual void CloseKey(Key key) = 0;
    virtual bool DeleteKey(Key parent, const char16_t* subKey) = 0;
    // Full path of the loaded server library; empty when it cannot be found.
    virtual std::u16string ServerPath() = 0;
};

struct ClassRegistration {
    const char16_t* classKey;  // below the classes root
    const char16_t* menuKey;   // below the local machine root
    const char16_t* description;
};

// Read view first, then list view: the order in which they are registered.
extern const ClassRegistration kClassRegistrations[2];
extern const char16_t kInprocServerKey[];  // "InprocServer32"

// Writes both classes and both menu entries, stopping at the first failure; what was
// written before a failure stays.
bool RegisterServer(RegistryPort& registry);

// Deletes the six keys (each server key before its class key, then the menu keys),
// stopping at the first key that cannot be deleted; the later keys stay.
bool UnregisterServer(RegistryPort& registry);

}  // namespace pelmora
