// Registration of the server's type library.
#include "shellext/type_library.h"

#include <oleauto.h>

#include <string>

namespace {

// Owns one reference.
template <class T>
class CReleaseOnExit {
 public:
  explicit CReleaseOnExit(T* p) : m_p(p) {}
  ~CReleaseOnExit() {
    if (m_p != nullptr) m_p->Release();
  }
  CReleaseOnExit(const CReleaseOnExit&) = delete;
  CReleaseOnExit& operator=(const CReleaseOnExit&) = delete;

 private:
  T* m_p;
};

// The library embedded in the component file, or else a .tlb file beside it of the same name.
// Loading never registers anything by itself. path receives the file the library came from.
HRESULT LoadOwnTypeLib(const wchar_t* modulePath, ITypeLib** typeLib, std::wstring& path) {
  path = modulePath;
  HRESULT hr = ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib);
  if (SUCCEEDED(hr)) return hr;
  const size_t dot = path.find_last_of(L".\\");
  if (dot != std::wstring::npos && path[dot] == L'.') path.resize(dot);
  path += L".tlb";
  return ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, typeLib);
}

// The folder of the library's help file, when it names one with a folder.
std::wstring HelpFolder(ITypeLib* typeLib) {
  BSTR helpFile = nullptr;
  std::wstring folder;
  if (SUCCEEDED(typeLib->GetDocumentation(-1, nullptr, nullptr, nullptr, &helpFile)) && helpFile != nullptr) {
    folder = helpFile;
    const size_t slash = folder.find_last_of(L'\\');
    folder.resize(slash == std::wstring::npos ? 0 : slash);
  }
  ::SysFreeString(helpFile);
  return folder;
}

// The per-user entry points exist only on newer systems, so they are looked up by name.
template <class Fn>
Fn PerUserEntry(const char* name) {
  HMODULE oleaut = ::GetModuleHandleW(L"oleaut32.dll");
  return oleaut != nullptr ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(oleaut, name))) : nullptr;
}

using RegisterForUserFn = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUserFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

}  // namespace

HRESULT RegisterOwnTypeLib(const wchar_t* modulePath, bool perUser) {
  ITypeLib* typeLib = nullptr;
  std::wstring path;
  HRESULT hr = LoadOwnTypeLib(modulePath, &typeLib, path);
  if (FAILED(hr)) return hr;
  CReleaseOnExit<ITypeLib> release(typeLib);
  std::wstring helpFolder = HelpFolder(typeLib);
  OLECHAR* help = helpFolder.empty() ? nullptr : &helpFolder[0];
  RegisterForUserFn registerForUser = perUser ? PerUserEntry<RegisterForUserFn>("RegisterTypeLibForUser") : nullptr;
  if (registerForUser != nullptr) return registerForUser(typeLib, &path[0], help);
  return ::RegisterTypeLib(typeLib, &path[0], help);
}

HRESULT UnregisterOwnTypeLib(const wchar_t* modulePath, bool perUser) {
  ITypeLib* typeLib = nullptr;
  std::wstring path;
  HRESULT hr = LoadOwnTypeLib(modulePath, &typeLib, path);
  if (FAILED(hr)) return hr;
  CReleaseOnExit<ITypeLib> release(typeLib);
  TLIBATTR* attr = nullptr;
  hr = typeLib->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  const TLIBATTR lib = *attr;
  typeLib->ReleaseTLibAttr(attr);

  BSTR registeredPath = nullptr;
  if (FAILED(::QueryPathOfRegTypeLib(lib.guid, lib.wMajorVerNum, lib.wMinorVerNum, lib.lcid, &registeredPath))) {
    return S_OK;
  }
  ::SysFreeString(registeredPath);
  UnregisterForUserFn unregisterForUser =
      perUser ? PerUserEntry<UnregisterForUserFn>("UnRegisterTypeLibForUser") : nullptr;
  if (unregisterForUser != nullptr) {
    return unregisterForUser(lib.guid, lib.wMajorVerNum, lib.wMinorVerNum, lib.lcid, lib.syskind);
  }
  return ::UnRegisterTypeLib(lib.guid, lib.wMajorVerNum, lib.wMinorVerNum, lib.lcid, lib.syskind);
}
