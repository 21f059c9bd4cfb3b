// Buffers, accounting, profile files and process detach of the stand-in messaging library.
#include <new>
#include <unordered_map>

#include "device/cemapi/cemapi_testing.h"
#include "device/cemapi/stand_in_win32.h"
#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora::device {

const IID kIidMapiSession = {0x00020300, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidMapiTable = {0x00020301, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidMapiProp = {0x00020303, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID kIidMessage = {0x00020307, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace {

LONG g_objects[4];
LONG g_badFrees;
LONG g_used;
LONG g_initialized;  // MAPIInitialize calls not yet matched by MAPIUninitialize

// A MAPIAllocateBuffer block is its root header, then the caller's bytes; MAPIAllocateMore
// blocks hang off the root and go with it.
struct BlockHeader {
    BlockHeader* nextMore;
    double align;  // keeps the caller's bytes 8-aligned
};

// Live roots, so that frees of unknown or already freed pointers are counted, not crashes.
class BlockRegistry {
public:
    BlockRegistry() { InitializeCriticalSection(&lock_); }

    // Null when out of memory or when `root` is not a live root block (`unknownRoot`).
    void* Allocate(ULONG cb, void* root, bool* unknownRoot = nullptr) {
        auto* h = static_cast<BlockHeader*>(::operator new(sizeof(BlockHeader) + cb, std::nothrow));
        if (h == nullptr) {
            return nullptr;
        }
        h->nextMore = nullptr;
        void* user = h + 1;
        EnterCriticalSection(&lock_);
        bool ok = true;
        try {
            if (root == nullptr) {
                roots_[user] = h;
            } else {
                auto it = roots_.find(root);
                if (it == roots_.end()) {
                    ok = false;
                    if (unknownRoot != nullptr) {
                        *unknownRoot = true;
                    }
                } else {
                    h->nextMore = it->second->nextMore;
                    it->second->nextMore = h;
                }
            }
        } catch (const std::bad_alloc&) {
            ok = false;
        }
        LeaveCriticalSection(&lock_);
        if (!ok) {
            ::operator delete(h);
            return nullptr;
        }
        return user;
    }

    bool Free(void* user) {
        EnterCriticalSection(&lock_);
        BlockHeader* h = nullptr;
        auto it = roots_.find(user);
        if (it != roots_.end()) {
            h = it->second;
            roots_.erase(it);
        }
        LeaveCriticalSection(&lock_);
        if (h == nullptr) {
            return false;
        }
        while (h != nullptr) {
            BlockHeader* next = h->nextMore;
            ::operator delete(h);
            h = next;
        }
        return true;
    }

    LONG Live() {
        EnterCriticalSection(&lock_);
        const LONG n = static_cast<LONG>(roots_.size());
        LeaveCriticalSection(&lock_);
        return n;
    }

private:
    CRITICAL_SECTION lock_;
    std::unordered_map<void*, BlockHeader*> roots_;
};

// Never destroyed: process detach still reads it after the library's statics are gone.
BlockRegistry& Blocks() {
    static BlockRegistry* registry = new BlockRegistry;
    return *registry;
}

}  // namespace

void CountObject(ObjectKind kind, LONG delta) {
    MarkLibraryUsed();
    InterlockedExchangeAdd(&g_objects[static_cast<int>(kind)], delta);
}

bool MapiInitialized() {
    return InterlockedCompareExchange(&g_initialized, 0, 0) > 0;
}

bool LibraryUsed() {
    return InterlockedCompareExchange(&g_used, 0, 0) != 0;
}
void MarkLibraryUsed() {
    InterlockedExchange(&g_used, 1);
}

Faults ReadFaults(const std::u16string& folder) {
    std::string text;
    if (!ReadWholeFile(folder + u"\\faults.txt", text)) {
        return Faults{};
    }
    return ParseFaults(text);
}

LPWSTR CopyWideMore(const std::u16string& text, void* root) {
    void* out = nullptr;
    const ULONG cb = static_cast<ULONG>((text.size() + 1) * sizeof(char16_t));
    if (MAPIAllocateMore(cb, root, &out) != S_OK) {
        return nullptr;
    }
    CopyMemory(out, text.c_str(), cb);
    return static_cast<LPWSTR>(out);
}

LPSTR CopyAnsiMore(const std::u16string& text, void* root) {
    const int n = WideCharToMultiByte(CP_ACP, 0, W(text.c_str()), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    void* out = nullptr;
    if (n < 0 || MAPIAllocateMore(static_cast<ULONG>(n) + 1, root, &out) != S_OK) {
        return nullptr;
    }
    char* s = static_cast<char*>(out);
    WideCharToMultiByte(CP_ACP, 0, W(text.c_str()), static_cast<int>(text.size()), s, n, nullptr,
                        nullptr);
    s[n] = '\0';
    return s;
}

}  // namespace pelmora::device

using namespace pelmora::device;

extern "C" {

// "MAPIInitialize": increments the subsystem's reference count, which MAPIUninitialize
// decrements; the argument is ignored.
HRESULT WINAPI MAPIInitialize(LPVOID) {
    MarkLibraryUsed();
    InterlockedIncrement(&g_initialized);
    return S_OK;
}

void WINAPI MAPIUninitialize() {
    if (InterlockedDecrement(&g_initialized) < 0) {
        InterlockedIncrement(&g_initialized);
    }
}

SCODE WINAPI MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
    if (lppBuffer == nullptr) {
        return MAPI_E_INVALID_PARAMETER;
    }
    MarkLibraryUsed();
    *lppBuffer = Blocks().Allocate(cbSize, nullptr);
    return *lppBuffer != nullptr ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

SCODE WINAPI MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
    if (lppBuffer == nullptr || lpObject == nullptr) {
        return MAPI_E_INVALID_PARAMETER;
    }
    bool unknownRoot = false;
    *lppBuffer = Blocks().Allocate(cbSize, lpObject, &unknownRoot);
    if (unknownRoot) {
        return MAPI_E_INVALID_PARAMETER;
    }
    return *lppBuffer != nullptr ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

ULONG WINAPI MAPIFreeBuffer(LPVOID lpBuffer) {
    if (lpBuffer == nullptr) {
        return S_OK;
    }
    if (!Blocks().Free(lpBuffer)) {
        InterlockedIncrement(&g_badFrees);
        return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);
    }
    return S_OK;
}

void WINAPI FreeProws(LPSRowSet lpRows) {
    if (lpRows == nullptr) {
        return;
    }
    for (ULONG i = 0; i < lpRows->cRows; ++i) {
        MAPIFreeBuffer(lpRows->aRow[i].lpProps);
    }
    MAPIFreeBuffer(lpRows);
}

void WINAPI CemapiDeviceCounts(CEMAPI_DEVICE_COUNTS* counts) {
    if (counts == nullptr) {
        return;
    }
    counts->sessions = InterlockedCompareExchange(&g_objects[0], 0, 0);
    counts->tables = InterlockedCompareExchange(&g_objects[1], 0, 0);
    counts->messages = InterlockedCompareExchange(&g_objects[2], 0, 0);
    counts->streams = InterlockedCompareExchange(&g_objects[3], 0, 0);
    counts->buffers = Blocks().Live();
    counts->badFrees = InterlockedCompareExchange(&g_badFrees, 0, 0);
}

// At process end, a process that used the library leaves its counts in the profile's
// live.jsonl, so that a test driving another program can see whether anything leaked.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_DETACH || !LibraryUsed()) {
        return TRUE;
    }
    std::u16string folder;
    if (!ProfileFolder(folder)) {
        return TRUE;
    }
    CEMAPI_DEVICE_COUNTS c;
    CemapiDeviceCounts(&c);
    JsonObject line;
    line.Number("process", GetCurrentProcessId())
        .Number("sessions", c.sessions)
        .Number("tables", c.tables)
        .Number("messages", c.messages)
        .Number("streams", c.streams)
        .Number("buffers", c.buffers)
        .Number("badFrees", c.badFrees);
    AppendLine(folder + u"\\live.jsonl", line.Finish(true));
    return TRUE;
}

}  // extern "C"
