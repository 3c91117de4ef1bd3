// The disk files at a Create location, on the real file system.
#include "utility/disk_files.h"

#include <windows.h>

#include <shlwapi.h>

#include <string>

#include "common/wide.h"

namespace {

// Enough names to step past any leftovers of earlier interrupted runs.
constexpr int kMaxAsideNames = 1000;

}  // namespace

bool CDiskFiles::Exists(const std::u16string& path) { return ::PathFileExistsW(W(path.c_str())) != FALSE; }

std::u16string CDiskFiles::MoveAside(const std::u16string& path) {
  // A folder or a read-only file is not one the user may overwrite, even though it could be
  // renamed; a locked one cannot be renamed at all.
  const DWORD attributes = ::GetFileAttributesW(W(path.c_str()));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))) {
    return {};
  }
  for (int k = 1; k <= kMaxAsideNames; ++k) {
    // Digits through std::to_string: std::to_wstring would link in the runtime's whole printf.
    const std::string number = std::to_string(k);
    const std::wstring aside = WStr(path) + L".replaced-" + std::wstring(number.begin(), number.end());
    if (::MoveFileW(W(path.c_str()), aside.c_str())) return U16Str(aside);
    const DWORD error = ::GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  return {};
}

bool CDiskFiles::Restore(const std::u16string& aside, const std::u16string& path) {
  // Whatever a failed attempt left at the path gives way to the user's own file.
  return ::MoveFileExW(W(aside.c_str()), W(path.c_str()), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

void CDiskFiles::Discard(const std::u16string& aside) { ::DeleteFileW(W(aside.c_str())); }
