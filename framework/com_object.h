// The plumbing of a component object: the reference count of an apartment-threaded object, the
// object that holds the module while it lives, its creation refusing aggregation, and the
// answer to QueryInterface from a list of interfaces.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <new>

#include "framework/com_module.h"

// An object used by one thread only: its count needs no atomic operations.
class CComSingleThreadModel {
 public:
  static ULONG Increment(ULONG* p) { return ++*p; }
  static ULONG Decrement(ULONG* p) { return --*p; }
};

template <class ThreadModel>
class CComObjectRootEx {
 public:
  ULONG InternalAddRef() { return ThreadModel::Increment(&m_dwRef); }
  ULONG InternalRelease() { return ThreadModel::Decrement(&m_dwRef); }

 private:
  ULONG m_dwRef = 0;
};

template <class Interface, class T>
bool OfferInterface(T* self, REFIID riid, void** ppv) {
  if (riid != __uuidof(Interface)) return false;
  *ppv = static_cast<Interface*>(self);
  return true;
}

// QueryInterface over the interfaces a class lists; IUnknown is the first one's, so that every
// interface of an object answers with the same identity.
template <class First, class... Rest, class T>
HRESULT QueryInterfaceFrom(T* self, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (riid == __uuidof(IUnknown)) {
    *ppv = static_cast<IUnknown*>(static_cast<First*>(self));
  } else if (!(OfferInterface<First>(self, riid, ppv) || ... || OfferInterface<Rest>(self, riid, ppv))) {
    return E_NOINTERFACE;
  }
  static_cast<IUnknown*>(*ppv)->AddRef();
  return S_OK;
}

// The object handed out for a class T: T's state and interfaces, the IUnknown of them all, and
// one lock on the module for as long as it lives.
template <class T>
class CComObject final : public T {
 public:
  CComObject() { g_comModule.Lock(); }
  ~CComObject() { g_comModule.Unlock(); }
  CComObject(const CComObject&) = delete;
  CComObject& operator=(const CComObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return T::InternalQueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return T::InternalAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = T::InternalRelease();
    if (count == 0) delete this;
    return count;
  }
};

// Creation of T's objects by its class factory. Aggregation is refused: no object of ours
// delegates its IUnknown to an outer object.
template <class T, const CLSID* pclsid>
class CComCoClass {
 public:
  static const CLSID& GetObjectCLSID() { return *pclsid; }

  static HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    CComObject<T>* object = new (std::nothrow) CComObject<T>();
    if (object == nullptr) return E_OUTOFMEMORY;
    // The temporary reference makes a refused interface destroy the object again.
    object->AddRef();
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
  }
};

// Runs fn and turns an escaping exception into E_OUTOFMEMORY: no exception may reach the caller
// of a component, and the only ones our code raises come from allocation.
template <class Fn>
HRESULT ComBoundary(Fn&& fn) noexcept {
  try {
    return fn();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}
