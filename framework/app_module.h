// The application module: the program's instance handle and the message loop of each thread,
// so that a window can find the loop it must register its filter and idle handler with.
#pragma once

#include <windows.h>

#include <map>

#include "framework/critical_section.h"
#include "framework/message_loop.h"

class CAppModule {
 public:
  HRESULT Init(HINSTANCE hInstance);
  void Term();
  HINSTANCE GetModuleInstance() const { return m_hInstance; }

  // Registers the loop for the calling thread; FALSE when the thread already has one.
  BOOL AddMessageLoop(CMessageLoop* pLoop);
  BOOL RemoveMessageLoop();
  // The loop of the calling thread, or null.
  CMessageLoop* GetMessageLoop() const;

 private:
  HINSTANCE m_hInstance = nullptr;
  mutable CCriticalSection m_lock;
  std::map<DWORD, CMessageLoop*> m_loops;
};

extern CAppModule g_appModule;
