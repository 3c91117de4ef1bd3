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
