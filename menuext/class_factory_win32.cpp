#include "menuext/class_factory.h"

#include "menuext/menu_extension.h"
#include "menuext/server.h"

namespace pelmora {

STDMETHODIMP MenuExtensionFactory::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) MenuExtensionFactory::AddRef() {
    return static_cast<ULONG>(++refCount_);
}

STDMETHODIMP_(ULONG) MenuExtensionFactory::Release() {
    const LONG count = --refCount_;
    if (count > 0) {
        return static_cast<ULONG>(count);
    }
    delete this;
    return 0;
}

STDMETHODIMP MenuExtensionFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (outer != nullptr) {
        return CLASS_E_NOAGGREGATION;
    }
    MenuExtension* object = nullptr;
    const HRESULT created = CreateMenuExtension(module_, mode_, &object);
    if (FAILED(created)) {
        return created;
    }
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

STDMETHODIMP MenuExtensionFactory::LockServer(BOOL lock) {
    LockServerCount(lock != FALSE);
    return S_OK;
}

}  // namespace pelmora
