// Loading system DLLs on first use.
#include "framework/system_library.h"

#include <string>

FARPROC SystemProcAddress(const wchar_t* library, const char* name) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(folder, length) + L'\\' + library;
  HMODULE module = ::GetModuleHandleW(path.c_str());
  if (module == nullptr) module = ::LoadLibraryW(path.c_str());
  return module == nullptr ? nullptr : ::GetProcAddress(module, name);
}

void RestrictDllSearch() {
  ::SetDllDirectoryW(L"");
  // The system folder only, not LOAD_LIBRARY_SEARCH_DEFAULT_DIRS: those include the program's own
  // folder, which may well be a Downloads folder where anyone can leave a DLL of a system name,
  // and the program has no DLL of its own there to look for. The DLLs of the open-file dialog
  // are the system's, and the components it loads are loaded by their full paths.
  const auto setDefaultDllDirectories =
      SystemProc<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
  if (setDefaultDllDirectories != nullptr) setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
