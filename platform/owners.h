// One owner per platform handle kind, in one place. Each releases its handle on every
// path; Detach hands ownership on.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <oleauto.h>

#include <utility>

// The messaging library's frees, declared here so that owning a MAPI buffer or row set does
// not pull the MAPI headers into every file; they match the declarations in cemapi.h.
struct _SRowSet;
extern "C" {
ULONG WINAPI MAPIFreeBuffer(LPVOID lpBuffer);
void WINAPI FreeProws(struct _SRowSet* lpRows);
}

namespace pelmora {

template <typename Handle, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) : h_(h) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& o) noexcept : h_(o.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        Reset(o.Detach());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Handle Get() const { return h_; }
    Handle* Put() {
        Reset();
        return &h_;
    }
    Handle Detach() { return std::exchange(h_, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) {
        if (h_ != Traits::Invalid()) {
            Traits::Close(h_);
        }
        h_ = h;
    }
    bool Valid() const { return h_ != Traits::Invalid(); }
    explicit operator bool() const { return Valid(); }

private:
    Handle h_ = Traits::Invalid();
};

struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static void Close(HKEY h) { ::RegCloseKey(h); }
};
struct LibraryTraits {
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { ::FreeLibrary(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ Invalid() { return nullptr; }
    static void Close(HGDIOBJ h) { ::DeleteObject(h); }
};
struct GlobalMemoryTraits {
    static HGLOBAL Invalid() { return nullptr; }
    static void Close(HGLOBAL h) { ::GlobalFree(h); }
};
struct BstrTraits {
    static BSTR Invalid() { return nullptr; }
    static void Close(BSTR s) { ::SysFreeString(s); }
};
template <typename T>
struct MapiBufferTraits {
    static T* Invalid() { return nullptr; }
    static void Close(T* p) { ::MAPIFreeBuffer(p); }
};
struct RowSetTraits {
    static _SRowSet* Invalid() { return nullptr; }
    static void Close(_SRowSet* rows) { ::FreeProws(rows); }
};

using FileHandle = UniqueHandle<HANDLE, FileHandleTraits>;      // CreateFileW
using KernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>;  // events, mutexes, processes
using RegKey = UniqueHandle<HKEY, RegKeyTraits>;
using Library = UniqueHandle<HMODULE, LibraryTraits>;
using GdiObject = UniqueHandle<HGDIOBJ, GdiObjectTraits>;
using GlobalMemory = UniqueHandle<HGLOBAL, GlobalMemoryTraits>;
template <typename T>
using MapiBuffer = UniqueHandle<T*, MapiBufferTraits<T>>;  // MAPIAllocateBuffer (cemapi)
using RowSet = UniqueHandle<_SRowSet*, RowSetTraits>;      // IMAPITable::QueryRows (cemapi)
using Bstr = UniqueHandle<BSTR, BstrTraits>;               // SysAllocString (oleaut32)

// A COM interface reference.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(o.Detach()) {}
    ComPtr& operator=(ComPtr&& o) noexcept {
        Reset(o.Detach());
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    T* Detach() { return std::exchange(p_, nullptr); }
    // Takes over a reference the caller already owns.
    void Attach(T* p) { Reset(p); }
    void Reset(T* p = nullptr) {
        if (p_ != nullptr) {
            p_->Release();
        }
        p_ = p;
    }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

}  // namespace pelmora
