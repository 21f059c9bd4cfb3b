// The built Pelmora.dll as the device meets it: its class objects over device profiles,
// registration through regsvr32, and the emulated Inbox creating it through COM. Every test
// puts the registry's Pelmora keys back as it found them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/owners.h"
#include "platform/wide.h"
#include "sdk/cemapi.h"
#include "tests/device/device_profile_fixture.h"
#include "text/utf8.h"

namespace pelmora {
namespace {

using testing_support::Leftovers;
using testing_support::ReadKey;
using testing_support::Regsvr32;

const std::u16string kDllPath = testing_support::HostPath(PELMORA_DLL_FILE);
const std::u16string kInboxPath = testing_support::HostPath(PELMORA_INBOX_FILE);
const CLSID kReadView = {
    0x0ED86D47, 0x9EDC, 0x4878, {0x91, 0x65, 0x3F, 0x75, 0x53, 0x44, 0x01, 0x09}};
const CLSID kListView = {
    0xA1F2C36C, 0xF0F2, 0x4AF1, {0xB4, 0x9C, 0x9E, 0xFF, 0xDC, 0x8B, 0x2B, 0x7E}};

// Store lists by the number of stores.
const char* const kStores[] = {"", "s0|Account 0\r\n", "s0|Account 0\r\ns1|Account 1\r\n"};

// Pelmora.dll loaded into this process.
struct LoadedServer {
    explicit LoadedServer(const std::u16string& path = kDllPath)
        : module_(LoadLibraryW(W(path.c_str()))) {}
    HRESULT Call(const char* name) {
        return reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(module_.Get(), name)))();
    }
    HRESULT GetClassObject(const CLSID& clsid, REFIID riid, void** ppv) {
        return reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(reinterpret_cast<void*>(
            GetProcAddress(module_.Get(), "DllGetClassObject")))(clsid, riid, ppv);
    }
    Library module_;
};

// The Inbox has started MAPI before it loads an extension.
class PelmoraServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(MAPIInitialize(nullptr), S_OK); }
    void TearDown() override { MAPIUninitialize(); }

    testing_support::ServerKeysGuard registry_;
};

// Refused or failed creations leave no object behind; objects and locks keep the library
// loaded, class objects alone do not.
TEST_F(PelmoraServer, ObjectsAndLocksKeepTheLibraryLoaded) {
    testing_support::TestDeviceProfile profile(kStores[2]);
    LoadedServer server;
    ASSERT_TRUE(server.module_);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(server.GetClassObject(IID_IUnknown, IID_IClassFactory, &none),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(server.GetClassObject(kReadView, IID_IDataObject, &none), E_NOINTERFACE);
    ComPtr<IClassFactory> factory, list;
    server.GetClassObject(kReadView, IID_IClassFactory, factory.PutVoid());
    server.GetClassObject(kListView, IID_IClassFactory, list.PutVoid());
    ASSERT_TRUE(factory && list);
    const struct {
        const char* faults;
        IClassFactory* factory;
        bool aggregate;
        IID riid;
        HRESULT status;
    } cases[] = {
        {"", factory.Get(), true, IID_IUnknown, CLASS_E_NOAGGREGATION},
        {"", list.Get(), false, IID_IDataObject, E_NOINTERFACE},
        {"logon=0x80040111", list.Get(), false, IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
        {"query_rows=0x80004005\nquery_rows_after=1", factory.Get(), false, IID_IUnknown, E_FAIL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults);
        profile.SetFaults(c.faults);
        IUnknown* object = reinterpret_cast<IUnknown*>(1);
        EXPECT_EQ(c.factory->CreateInstance(c.aggregate ? c.factory : nullptr, c.riid,
                                            reinterpret_cast<void**>(&object)),
                  c.status);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(server.Call("DllCanUnloadNow"), S_OK);
        EXPECT_EQ(Leftovers(), "");
    }
    profile.SetFaults("");
    ComPtr<IUnknown> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.PutVoid()), S_OK);
    EXPECT_EQ(server.Call("DllCanUnloadNow"), S_FALSE);
    EXPECT_EQ(Leftovers(), "sessions=1 ");
    object.Reset();
    EXPECT_EQ(server.Call("DllCanUnloadNow"), S_OK);
    EXPECT_EQ(Leftovers(), "");  // the object's session went with it
    factory->LockServer(TRUE);
    factory->LockServer(TRUE);
    factory->LockServer(FALSE);
    EXPECT_EQ(server.Call("DllCanUnloadNow"), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(server.Call("DllCanUnloadNow"), S_OK);
}

// Each key's one value, exactly (terminator included, no threading model); the path is the
// one the DLL was loaded from.
void ExpectRegistered() {
    const std::u16string read = u"Pelmora ReadView Menu Extension";
    const std::u16string list = u"Pelmora ListView Menu Extension";
    const std::u16string expected[6] = {kDllPath, read, kDllPath, list, read, list};
    for (size_t i = 0; i < 6; ++i) {
        const testing_support::KeyState key = ReadKey(i);
        EXPECT_EQ(key.type, static_cast<DWORD>(REG_SZ)) << i;
        EXPECT_EQ(key.values, 1u) << i;
        EXPECT_EQ(key.bytes, std::string(reinterpret_cast<const char*>(expected[i].c_str()),
                                         expected[i].size() * 2 + 2))
            << i;
    }
}

TEST_F(PelmoraServer, Regsvr32RegistersAndUnregistersTheSixEntries) {
    testing_support::DeleteServerKeys();
    ASSERT_EQ(Regsvr32(kDllPath, false), 0u);
    ExpectRegistered();
    ASSERT_EQ(Regsvr32(kDllPath, false), 0u);  // again: the same values
    ExpectRegistered();
    ASSERT_EQ(Regsvr32(kDllPath, true), 0u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_FALSE(ReadKey(i).exists);
    }
    EXPECT_EQ(LoadedServer().Call("DllUnregisterServer"), E_FAIL);  // fails at the first key
}

TEST_F(PelmoraServer, UnderAnotherFileNameRegistrationStopsAtTheServerPath) {
    ASSERT_EQ(GetModuleHandleW(L"Pelmora.dll"), nullptr);
    testing_support::DeleteServerKeys();
    testing_support::ScratchDir dir;
    const std::u16string copy = dir.Path(u"Other.dll");
    ASSERT_TRUE(CopyFileW(W(kDllPath.c_str()), W(copy.c_str()), FALSE));
    EXPECT_EQ(LoadedServer(copy).Call("DllRegisterServer"), E_FAIL);
    EXPECT_TRUE(ReadKey(0).exists && ReadKey(0).type == REG_NONE);  // the key, but no path
}

// The emulated Inbox, registered through regsvr32: the read view's item as the accounts leave
// it, and a reply that fails before it opens anything. Nothing is ever composed here.
TEST_F(PelmoraServer, InboxShowsTheItemWithItsState) {
    testing_support::DeleteServerKeys();
    ASSERT_EQ(Regsvr32(kDllPath, false), 0u);
    const struct {
        int accounts;
        const char16_t* arguments;
        std::vector<const char*> lines;
    } cases[] = {
        // Grayed below two accounts, and a grayed item cannot be picked.
        {1, u"read --item-index 0", {"item 0 grayed アカウントを指定して返信", "status grayed"}},
        // Repeats are timed, and a status that stays the same is not mentioned.
        {2,
         u"read --item アカウントを指定して返信 --site cleared --repeat 3",
         {"item 0 enabled アカウントを指定して返信", "status 0x80004005", " ms)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8FromWide(c.arguments));
        testing_support::TestDeviceProfile profile(kStores[c.accounts]);
        profile.AddMessage("s0", "m1", "From: a@example.com\r\n\r\nbody\r\n", "class=IPM.Note\n");
        const auto r = testing_support::RunProcess(u"\"" + kInboxPath + u"\" --profile \"" +
                                                   profile.Folder() + u"\" --view " + c.arguments);
        for (const char* line : c.lines) {
            EXPECT_NE(r.output.find(line + std::string("\n")), std::string::npos) << r.output;
        }
        EXPECT_TRUE(profile.Outbox().empty());
    }
}

}  // namespace
}  // namespace pelmora
