// Shared pieces of the stand-in messaging library: the profile snapshot a session works
// on, object and buffer accounting, and the constructors of its COM objects.
#pragma once

#include "sdk/cemapi.h"

#include <memory>
#include <string>
#include <vector>

#include "device/cemapi/device_profile.h"
#include "device/com_object_win32.h"
#include "device/device_files_win32.h"

namespace pelmora::device {

// What a session saw of its profile at logon.
struct Profile {
    std::u16string folder;  // Windows path, no trailing backslash
    std::vector<StoreEntry> stores;
    Faults faults;
};

enum class ObjectKind { kSession, kTable, kMessage, kStream };
void CountObject(ObjectKind kind, LONG delta);
// Whether MAPIInitialize has been called more often than MAPIUninitialize in this process.
bool MapiInitialized();
// Whether this process has used the library at all (then its counts are worth recording).
bool LibraryUsed();
void MarkLibraryUsed();

Faults ReadFaults(const std::u16string& folder);

HRESULT CreateSession(std::shared_ptr<const Profile> profile, IMAPISession** session);
HRESULT CreateStoreTable(std::shared_ptr<const Profile> profile, IMAPITable** table);
HRESULT OpenMessage(std::shared_ptr<const Profile> profile, const unsigned char* id, ULONG n,
                    IUnknown** message);
HRESULT CreateRawTextStream(std::string bytes, const Faults& faults, IStream** stream);

// Copies wide text into a block chained to `root`; null on failure.
LPWSTR CopyWideMore(const std::u16string& text, void* root);
LPSTR CopyAnsiMore(const std::u16string& text, void* root);

// Interface identifiers compared by the objects (the desktop import library lacks them).
extern const IID kIidMapiProp;
extern const IID kIidMessage;
extern const IID kIidMapiTable;
extern const IID kIidMapiSession;

// Live-object accounting shared by every object of the library.
template <typename Interface, ObjectKind Kind>
class CountedObject : public RefCounted<Interface> {
public:
    CountedObject() { CountObject(Kind, 1); }
    ~CountedObject() override { CountObject(Kind, -1); }
};

}  // namespace pelmora::device
