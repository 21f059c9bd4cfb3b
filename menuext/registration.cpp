#include "menuext/registration.h"

namespace pelmora {

const ClassRegistration kClassRegistrations[2] = {
    {u"CLSID\\{0ED86D47-9EDC-4878-9165-3F7553440109}",
     u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\Read_View\\"
     u"{0ED86D47-9EDC-4878-9165-3F7553440109}",
     u"Pelmora ReadView Menu Extension"},
    {u"CLSID\\{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}",
     u"SOFTWARE\\Microsoft\\Shell\\Extensions\\ContextMenus\\Inbox\\List_View\\"
     u"{A1F2C36C-F0F2-4af1-B49C-9EFFDC8B2B7E}",
     u"Pelmora ListView Menu Extension"},
};

const char16_t kInprocServerKey[] = u"InprocServer32";

namespace {

// Closes a port key on every path.
class PortKey {
public:
    explicit PortKey(RegistryPort& registry) : registry_(registry) {}
    PortKey(const PortKey&) = delete;
    PortKey& operator=(const PortKey&) = delete;
    ~PortKey() {
        if (open_) {
            registry_.CloseKey(key_);
        }
    }
    bool Create(RegistryPort::Key parent, const char16_t* subKey) {
        open_ = registry_.CreateKey(parent, subKey, &key_);
        return open_;
    }
    RegistryPort::Key Get() const { return key_; }

private:
    RegistryPort& registry_;
    RegistryPort::Key key_ = 0;
    bool open_ = false;
};

bool RegisterClass(RegistryPort& registry, const ClassRegistration& entry) {
    PortKey classKey(registry);
    if (!classKey.Create(registry.Root(RegistryRoot::ClassesRoot), entry.classKey) ||
        !registry.SetDefaultText(classKey.Get(), entry.description)) {
        return false;
    }
    PortKey serverKey(registry);
    if (!serverKey.Create(classKey.Get(), kInprocServerKey)) {
        return false;
    }
    const std::u16string path = registry.ServerPath();
    return !path.empty() && registry.SetDefaultText(serverKey.Get(), path.c_str());
}

bool RegisterMenu(RegistryPort& registry, const ClassRegistration& entry) {
    PortKey menuKey(registry);
    return menuKey.Create(registry.Root(RegistryRoot::LocalMachine), entry.menuKey) &&
           registry.SetDefaultText(menuKey.Get(), entry.description);
}

}  // namespace

bool RegisterServer(RegistryPort& registry) {
    for (const ClassRegistration& entry : kClassRegistrations) {
        if (!RegisterClass(registry, entry) || !RegisterMenu(registry, entry)) {
            return false;
        }
    }
    return true;
}

bool UnregisterServer(RegistryPort& registry) {
    const RegistryPort::Key classes = registry.Root(RegistryRoot::ClassesRoot);
    for (const ClassRegistration& entry : kClassRegistrations) {
        const std::u16string serverKey = std::u16string(entry.classKey) + u"\\" + kInprocServerKey;
        if (!registry.DeleteKey(classes, serverKey.c_str()) ||
            !registry.DeleteKey(classes, entry.classKey)) {
            return false;
        }
    }
    const RegistryPort::Key machine = registry.Root(RegistryRoot::LocalMachine);
    for (const ClassRegistration& entry : kClassRegistrations) {
        if (!registry.DeleteKey(machine, entry.menuKey)) {
            return false;
        }
    }
    return true;
}

}  // namespace pelmora
