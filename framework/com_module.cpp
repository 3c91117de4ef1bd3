// The component server's module.
#include "framework/com_module.h"

CComModule g_comModule;

// The section exists from static construction on, so that no request can come before it does,
// however early the loader lets a caller in.
CComModule::CComModule() { ::InitializeCriticalSection(&m_csFactories); }

CComModule::~CComModule() { ::DeleteCriticalSection(&m_csFactories); }

HRESULT CComModule::Init(HINSTANCE hInstance) {
  m_hInstance = hInstance;
  return S_OK;
}

void CComModule::Term() { m_hInstance = nullptr; }
