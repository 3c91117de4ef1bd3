// Paths the Windows test programs share: files built beside them, and the temporary folder.
#pragma once

#include <windows.h>

#include <string>

// relative (such as L"..\\..\\shellext\\ZelToolExt.dll") taken from the running program's
// folder, made absolute.
inline std::wstring PathBesideProgram(const std::wstring& relative) {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder(self);
  folder.resize(folder.find_last_of(L'\\') + 1);
  wchar_t full[MAX_PATH];
  GetFullPathNameW((folder + relative).c_str(), MAX_PATH, full, nullptr);
  return full;
}

// name in the temporary folder (which ends with a backslash).
inline std::wstring TempFilePath(const std::wstring& name) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}
