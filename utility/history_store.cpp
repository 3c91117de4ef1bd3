// The recent-file list in the per-user registry.
#include "utility/history_store.h"

#include <windows.h>

#include <vector>

#include "common/wide.h"

namespace {

constexpr wchar_t kKeyPath[] = L"Software\\Halvern\\Lockvale";
constexpr wchar_t kValueName[] = L"FileHistory";

}  // namespace

std::u16string ReadHistoryValue() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return {};

  std::u16string text;
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, kValueName, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ &&
      size % sizeof(wchar_t) == 0) {
    // One more character than the data holds, so that text without its NUL still ends.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD read = size;
    if (::RegQueryValueExW(key, kValueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &read) ==
            ERROR_SUCCESS &&
        type == REG_SZ && read <= size) {
      text = U16Str(std::wstring_view(buffer.data()));
    }
  }
  ::RegCloseKey(key);
  return text;
}

void WriteHistoryValue(std::u16string_view text) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  const std::wstring data = WStr(text);
  ::RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
}
