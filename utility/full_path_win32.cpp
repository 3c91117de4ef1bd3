// Making a path absolute against the program's current folder.
#include <windows.h>

#include <vector>

#include "common/wide.h"
#include "utility/full_path.h"

std::wstring FullPath(const std::wstring& path) {
  if (path.empty() || IsFullyQualifiedPath(U16(path))) return path;
  const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::vector<wchar_t> buffer(needed);
  const DWORD length = ::GetFullPathNameW(path.c_str(), needed, buffer.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  return std::wstring(buffer.data(), length);
}
