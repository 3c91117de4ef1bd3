// The application module: instance handle and per-thread message loops.
#include "framework/app_module.h"

CAppModule g_appModule;

HRESULT CAppModule::Init(HINSTANCE hInstance) {
  m_hInstance = hInstance;
  return S_OK;
}

void CAppModule::Term() {
  CCriticalSectionLock lock(m_lock);
  m_loops.clear();
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* pLoop) {
  CCriticalSectionLock lock(m_lock);
  return m_loops.emplace(::GetCurrentThreadId(), pLoop).second;
}

BOOL CAppModule::RemoveMessageLoop() {
  CCriticalSectionLock lock(m_lock);
  return m_loops.erase(::GetCurrentThreadId()) == 1;
}

CMessageLoop* CAppModule::GetMessageLoop() const {
  CCriticalSectionLock lock(m_lock);
  auto it = m_loops.find(::GetCurrentThreadId());
  return it == m_loops.end() ? nullptr : it->second;
}
