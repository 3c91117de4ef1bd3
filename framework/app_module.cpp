// The application module: instance handle and per-thread message loops.
#include "framework/app_module.h"

CAppModule g_appModule;

HRESULT CAppModule::Init(HINSTANCE hInstance) {
  m_hInstance = hInstance;
  return S_OK;
}

void CAppModule::Term() {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_loops.clear();
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* pLoop) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_loops.emplace(::GetCurrentThreadId(), pLoop).second;
}

BOOL CAppModule::RemoveMessageLoop() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_loops.erase(::GetCurrentThreadId()) == 1;
}

CMessageLoop* CAppModule::GetMessageLoop() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  auto it = m_loops.find(::GetCurrentThreadId());
  return it == m_loops.end() ? nullptr : it->second;
}
