// The generic class factory and the class-table lookup behind DllGetClassObject.
#include "framework/class_factory.h"

#include <new>

#include "framework/com_module.h"
#include "framework/com_object.h"

HRESULT CComClassFactory::InternalQueryInterface(REFIID riid, void** ppv) {
  return QueryInterfaceFrom<IClassFactory>(this, riid, ppv);
}

HRESULT CComClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  return m_pfnCreateInstance(pUnkOuter, riid, ppv);
}

HRESULT CComClassFactory::LockServer(BOOL fLock) {
  if (fLock) {
    g_comModule.Lock();
  } else {
    g_comModule.Unlock();
  }
  return S_OK;
}

template <class Base>
ULONG CComObjectCached<Base>::AddRef() {
  const LONG count = ::InterlockedIncrement(&m_nRef);
  if (count == 2) g_comModule.Lock();
  return static_cast<ULONG>(count);
}

template <class Base>
ULONG CComObjectCached<Base>::Release() {
  const LONG count = ::InterlockedDecrement(&m_nRef);
  if (count == 1) {
    g_comModule.Unlock();
  } else if (count == 0) {
    delete this;
  }
  return static_cast<ULONG>(count);
}

template class CComObjectCached<CComClassFactory>;

namespace {

// The cached factory of one class, created by the first request. Concurrent first requests
// meet in the critical section; the second test inside it lets only one of them create.
IClassFactory* CachedFactory(CClassTableEntry& entry) {
  IClassFactory* factory = entry.pFactory.load(std::memory_order_acquire);
  if (factory != nullptr) return factory;
  CCriticalSectionLock lock(g_comModule.FactoryLock());
  factory = entry.pFactory.load(std::memory_order_acquire);
  if (factory == nullptr) {
    factory = new (std::nothrow) CComObjectCached<CComClassFactory>(entry.pfnCreateInstance);
    if (factory == nullptr) return nullptr;
    factory->AddRef();  // the cache's own reference
    entry.pFactory.store(factory, std::memory_order_release);
  }
  return factory;
}

}  // namespace

HRESULT GetClassObjectFromTable(CClassTableEntry* table, size_t count, REFCLSID rclsid, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  for (size_t i = 0; i < count; ++i) {
    if (*table[i].pclsid != rclsid) continue;
    IClassFactory* factory = CachedFactory(table[i]);
    if (factory == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    if (SUCCEEDED(hr) && *ppv == nullptr) hr = CLASS_E_CLASSNOTAVAILABLE;
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

void ReleaseClassFactories(CClassTableEntry* table, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (IClassFactory* factory = table[i].pFactory.exchange(nullptr)) factory->Release();
  }
}
