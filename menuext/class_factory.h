// The class object of both classes; its mode (fixed by the class identifier) passes to
// every context-menu object it creates.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace pelmora {

class MenuExtensionFactory : public IClassFactory {
public:
    MenuExtensionFactory(int mode, HINSTANCE module) : mode_(mode), module_(module) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;
    virtual ~MenuExtensionFactory() = default;

private:
    LONG refCount_ = 1;
    int mode_;
    HINSTANCE module_;
};

}  // namespace pelmora
