// The three context-menu handlers.
#include "shellext/handlers.h"

#include "common/unique_file_name.h"
#include "common/unique_file_name_win32.h"
#include "common/wide.h"
#include "shellext/handler_rules.h"

namespace {

StatusQuery StatusOf(const CServiceStatusClient& service) {
  return [&service](std::u16string_view drive) { return service.Status(drive); };
}

}  // namespace

// --- CMount

HRESULT CMount::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY) {
  return ComBoundary([&] {
    const HRESULT hr = ReadFirstFile(pdtobj, m_szFile, MAX_PATH);
    if (FAILED(hr)) return hr;
    return MountItemShown(U16(m_szFile), StatusOf(m_service)) ? S_OK : E_INVALIDARG;
  });
}

HRESULT CMount::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT, UINT uFlags) {
  return AddMenuItem(hmenu, indexMenu, idCmdFirst, uFlags, kMountTexts);
}

HRESULT CMount::InvokeCommand(CMINVOKECOMMANDINFO* pici) {
  return ComBoundary([&] { return StartProgram(pici, kMountTexts, m_szFile); });
}

HRESULT CMount::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName, UINT cchMax) {
  return CopyHelpText(idCmd, uType, pszName, cchMax, kMountTexts);
}

// --- CUnmount

HRESULT CUnmount::Initialize(PCIDLIST_ABSOLUTE, IDataObject* pdtobj, HKEY) {
  return ComBoundary([&] {
    const HRESULT hr = ReadFirstFile(pdtobj, m_szDrive, MAX_PATH);
    if (FAILED(hr)) return hr;
    // A short-lived client: this handler asks the service once and keeps nothing of it.
    const CServiceStatusClient service;
    return UnmountItemShown(U16(m_szDrive), StatusOf(service)) ? S_OK : E_INVALIDARG;
  });
}

HRESULT CUnmount::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT, UINT uFlags) {
  return AddMenuItem(hmenu, indexMenu, idCmdFirst, uFlags, kUnmountTexts);
}

HRESULT CUnmount::InvokeCommand(CMINVOKECOMMANDINFO* pici) {
  return ComBoundary([&] { return StartProgram(pici, kUnmountTexts, m_szDrive); });
}

HRESULT CUnmount::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName, UINT cchMax) {
  return CopyHelpText(idCmd, uType, pszName, cchMax, kUnmountTexts);
}

// --- CCreate

HRESULT CCreate::Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject*, HKEY) {
  return ComBoundary([&] {
    // A folder outside the file system (a virtual folder) has no place for a disk file.
    if (pidlFolder == nullptr || !::SHGetPathFromIDListW(pidlFolder, m_szFile)) return E_INVALIDARG;
    MakeUniqueFileName(m_szFile, MAX_PATH + 1, W(kDefaultDiskFileName));
    const DriveTypeQuery driveType = [](std::u16string_view root) {
      const std::wstring text(W(root));
      return static_cast<uint32_t>(::GetDriveTypeW(text.c_str()));
    };
    return CreateItemShown(U16(m_szFile), driveType, StatusOf(m_service)) ? S_OK : E_INVALIDARG;
  });
}

HRESULT CCreate::QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst, UINT, UINT uFlags) {
  return AddMenuItem(hmenu, indexMenu, idCmdFirst, uFlags, kCreateTexts);
}

HRESULT CCreate::InvokeCommand(CMINVOKECOMMANDINFO* pici) {
  return ComBoundary([&] { return StartProgram(pici, kCreateTexts, m_szFile); });
}

HRESULT CCreate::GetCommandString(UINT_PTR idCmd, UINT uType, UINT*, CHAR* pszName, UINT cchMax) {
  return CopyHelpText(idCmd, uType, pszName, cchMax, kCreateTexts);
}
