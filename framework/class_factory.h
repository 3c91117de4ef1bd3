// One generic class factory for every class of a component server, kept once per class in a
// table, created on first request under the module's critical section.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <cstddef>

// Creates an object of one class; an outer object must be refused with CLASS_E_NOAGGREGATION.
using InstanceCreator = HRESULT (*)(IUnknown* pUnkOuter, REFIID riid, void** ppv);

class CComClassFactory : public IClassFactory {
 public:
  explicit CComClassFactory(InstanceCreator pfnCreateInstance) : m_pfnCreateInstance(pfnCreateInstance) {}
  virtual ~CComClassFactory() = default;

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

 protected:
  HRESULT InternalQueryInterface(REFIID riid, void** ppv);

 private:
  InstanceCreator m_pfnCreateInstance;
};

// A factory kept in a cache. The cache's own reference does not hold the module; every further
// one does, so the module stays loaded exactly while somebody else holds the factory.
// Factories are shared between threads, so this count is atomic.
template <class Base>
class CComObjectCached final : public Base {
 public:
  explicit CComObjectCached(InstanceCreator pfnCreateInstance) : Base(pfnCreateInstance) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return Base::InternalQueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

 private:
  volatile LONG m_nRef = 0;
};

// One row of a server's class table.
struct CClassTableEntry {
  const CLSID* pclsid;
  InstanceCreator pfnCreateInstance;
  std::atomic<IClassFactory*> pFactory;  // null until first requested, then kept until unload
};

// DllGetClassObject over a table: CLASS_E_CLASSNOTAVAILABLE (and *ppv null) for a class id
// that is not in it.
HRESULT GetClassObjectFromTable(CClassTableEntry* table, size_t count, REFCLSID rclsid, REFIID riid, void** ppv);

// Drops the cache's references when the module goes away.
void ReleaseClassFactories(CClassTableEntry* table, size_t count);
