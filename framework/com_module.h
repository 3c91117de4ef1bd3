// The component server's module: its instance handle, the count of locks that keep it loaded,
// and the critical section under which class factories come into being.
#pragma once

#include <windows.h>

#include "framework/critical_section.h"

class CComModule {
 public:
  CComModule() = default;
  CComModule(const CComModule&) = delete;
  CComModule& operator=(const CComModule&) = delete;

  HRESULT Init(HINSTANCE hInstance);
  void Term();
  HINSTANCE GetModuleInstance() const { return m_hInstance; }

  // Objects and factories are created and released on the shell's threads, so the count is
  // changed only atomically.
  LONG Lock() { return ::InterlockedIncrement(&m_nLockCnt); }
  LONG Unlock() { return ::InterlockedDecrement(&m_nLockCnt); }
  LONG GetLockCount() const { return m_nLockCnt; }

  CCriticalSection& FactoryLock() { return m_csFactories; }

 private:
  HINSTANCE m_hInstance = nullptr;
  volatile LONG m_nLockCnt = 0;
  // Exists from static construction on, so that no request can come before it does, however
  // early the loader lets a caller in.
  CCriticalSection m_csFactories;
};

// The one module of the component file that links this library.
extern CComModule g_comModule;

