// The component server's module.
#include "framework/com_module.h"

CComModule g_comModule;

HRESULT CComModule::Init(HINSTANCE hInstance) {
  m_hInstance = hInstance;
  return S_OK;
}

void CComModule::Term() { m_hInstance = nullptr; }
