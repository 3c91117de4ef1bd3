// MakeUniqueFileName on Windows: the file system decides which names are taken.
#include "common/unique_file_name_win32.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "common/unique_file_name.h"
#include "common/wide.h"

int MakeUniqueFileName(wchar_t* buffer, size_t capacity, const wchar_t* name) {
  if (buffer == nullptr || capacity == 0) return 0;
  buffer[capacity - 1] = L'\0';
  const std::u16string path = UniqueFileName(U16(buffer), U16(name), capacity, [](const std::u16string& candidate) {
    return ::PathFileExistsW(W(candidate.c_str())) != FALSE;
  });
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = L'\0';
  return 0;
}
