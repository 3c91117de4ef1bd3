// Applies registry steps to the Windows registry.
#include "shellext/registry_writer.h"

#include <windows.h>
#include <shlwapi.h>

#include "common/wide.h"

namespace {

HKEY RootKey(RegistryRoot root) { return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT; }

}  // namespace

int32_t CRegistryWriter::Apply(const RegistryStep& step) {
  HKEY root = RootKey(step.root);
  const std::wstring key = WStr(step.key);
  if (step.action == RegistryStep::Action::DeleteTree) {
    const LSTATUS status = ::SHDeleteKeyW(root, key.c_str());
    if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(status);
  }

  HKEY handle = nullptr;
  LSTATUS status = ::RegCreateKeyExW(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                     &handle, nullptr);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  const std::wstring name = WStr(step.name);
  const std::wstring data = WStr(step.data);
  status = ::RegSetValueExW(handle, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(handle);
  return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}
