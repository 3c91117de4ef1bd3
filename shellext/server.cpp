// The component server: its exports, the class table, and registration for the machine or for
// the current user.
#include <windows.h>
#include <shlobj.h>

#include "common/wide.h"
#include "framework/class_factory.h"
#include "framework/com_module.h"
#include "framework/com_object.h"
#include "shellext/class_ids.h"
#include "shellext/handlers.h"
#include "shellext/registration.h"
#include "shellext/registry_writer.h"
#include "shellext/type_library.h"

namespace {

// In the order of kRegisteredClasses, which is also the order of (un)registration.
CClassTableEntry g_classes[] = {
    {&CLSID_Create, &CCreate::CreateInstance, {nullptr}},
    {&CLSID_Mount, &CMount::CreateInstance, {nullptr}},
    {&CLSID_Unmount, &CUnmount::CreateInstance, {nullptr}},
};

// Set by DllInstall's "user"; from then on every (un)registration in this process is per user.
bool g_bPerUser = false;

RegistrationScope Scope() { return g_bPerUser ? RegistrationScope::User : RegistrationScope::Machine; }

HRESULT ModulePath(wchar_t (&path)[MAX_PATH]) {
  const DWORD length = ::GetModuleFileNameW(g_comModule.GetModuleInstance(), path, MAX_PATH);
  if (length == 0) {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
  }
  // A path that fills the buffer may have been cut; registering a cut path would be worse than
  // registering nothing.
  if (length >= MAX_PATH) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  return S_OK;
}

class CServerRegistration : public IServerRegistration {
 public:
  int32_t Register() override {
    return ComBoundary([] {
      wchar_t path[MAX_PATH];
      HRESULT hr = ModulePath(path);
      if (FAILED(hr)) return hr;
      CRegistryWriter writer;
      hr = UpdateClasses(true, Scope(), U16(path), writer);
      if (FAILED(hr)) return hr;
      return RegisterOwnTypeLib(path, g_bPerUser);
    });
  }

  int32_t Unregister() override {
    return ComBoundary([] {
      wchar_t path[MAX_PATH];
      HRESULT hr = ModulePath(path);
      if (FAILED(hr)) return hr;
      CRegistryWriter writer;
      hr = UpdateClasses(false, Scope(), U16(path), writer);
      if (FAILED(hr)) return hr;
      return UnregisterOwnTypeLib(path, g_bPerUser);
    });
  }
};

// Running shells cache which handlers a file type has; tell them once that this changed.
void NotifyAssociationsChanged() { ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_comModule.Init(hInstance);
    ::DisableThreadLibraryCalls(hInstance);
  } else if (reason == DLL_PROCESS_DETACH) {
    ReleaseClassFactories(g_classes, ARRAYSIZE(g_classes));
    g_comModule.Term();
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() { return g_comModule.GetLockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return GetClassObjectFromTable(g_classes, ARRAYSIZE(g_classes), rclsid, riid, ppv);
}

STDAPI DllRegisterServer() {
  CServerRegistration server;
  const HRESULT hr = server.Register();
  NotifyAssociationsChanged();
  return hr;
}

STDAPI DllUnregisterServer() {
  CServerRegistration server;
  const HRESULT hr = server.Unregister();
  NotifyAssociationsChanged();
  return hr;
}

STDAPI DllInstall(BOOL bInstall, LPCWSTR pszCmdLine) {
  if (IsPerUserCommand(reinterpret_cast<const char16_t*>(pszCmdLine))) g_bPerUser = true;
  CServerRegistration server;
  const HRESULT hr = Install(bInstall != FALSE, server);
  NotifyAssociationsChanged();
  return hr;
}
