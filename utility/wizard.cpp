// Opening the three wizards.
#include "utility/wizard.h"

#include <shlobj.h>

#include "common/unique_file_name.h"
#include "common/unique_file_name_win32.h"
#include "common/wide.h"
#include "utility/command_line.h"
#include "utility/pages/create_pages.h"
#include "utility/pages/mount_pages.h"
#include "utility/pages/unmount_page.h"

namespace {

// Pages made before a later one failed are closed again: a half-made wizard helps nobody.
template <class... Pages>
HRESULT Abandon(Pages*... pages) {
  (void)std::initializer_list<int>{(pages != nullptr ? (pages->ClosePage(), 0) : 0)...};
  return E_FAIL;
}

}  // namespace

HRESULT StartCreateWizard(const wchar_t* path, int standalone) {
  auto* pathPage = NewPage<CCreatePathDlg>(standalone);
  if (pathPage == nullptr) return E_FAIL;
  ::SetWindowTextW(pathPage->m_ctlLocation, path != nullptr ? path : L"");
  ::ShowWindow(pathPage->m_ctlBack, SW_HIDE);

  auto* passphrasePage = NewPage<CCreatePwdDlg>(standalone);
  if (passphrasePage == nullptr) return Abandon(pathPage);
  ::SendMessageW(passphrasePage->m_ctlEncrypt, BM_SETCHECK, BST_UNCHECKED, 0);
  passphrasePage->ShowPassphraseGroup(false);

  auto* drivePage = NewPage<CCreateDrvDlg>(standalone);
  if (drivePage == nullptr) return Abandon(pathPage, passphrasePage);

  pathPage->m_pPassphrasePage = passphrasePage;
  pathPage->m_pDrivePage = drivePage;
  passphrasePage->m_pPathPage = pathPage;
  passphrasePage->m_pDrivePage = drivePage;
  drivePage->m_pPathPage = pathPage;
  drivePage->m_pPassphrasePage = passphrasePage;

  passphrasePage->ShowWindow(SW_HIDE);
  drivePage->ShowWindow(SW_HIDE);
  pathPage->ShowWindow(SW_SHOW);
  return S_OK;
}

HRESULT StartMountWizard(const wchar_t* /*path*/, int standalone) {
  auto* pathPage = NewPage<CMountPathDlg>(standalone);
  if (pathPage == nullptr) return E_FAIL;
  ::ShowWindow(pathPage->m_ctlBack, SW_HIDE);
  ::EnableWindow(pathPage->m_ctlNext, FALSE);

  auto* drivePage = NewPage<CMountDrvDlg>(standalone);
  if (drivePage == nullptr) return Abandon(pathPage);
  auto* passphrasePage = NewPage<CMountPwdDlg>(standalone);
  if (passphrasePage == nullptr) return Abandon(pathPage, drivePage);

  pathPage->m_pDrivePage = drivePage;
  pathPage->m_pPassphrasePage = passphrasePage;
  drivePage->m_pPathPage = pathPage;
  drivePage->m_pPassphrasePage = passphrasePage;
  passphrasePage->m_pPathPage = pathPage;
  passphrasePage->m_pDrivePage = drivePage;

  drivePage->ShowWindow(SW_HIDE);
  passphrasePage->ShowWindow(SW_HIDE);
  pathPage->ShowWindow(SW_SHOW);
  return S_OK;
}

HRESULT StartUnmountWizard(const wchar_t* drive, int standalone) {
  auto* page = NewPage<CUnmountDrvDlg>(drive, standalone);
  if (page == nullptr) return E_FAIL;
  ::ShowWindow(page->m_ctlBack, SW_HIDE);
  page->ShowWindow(SW_SHOW);
  return S_OK;
}

std::wstring DefaultNewDiskPath() {
  wchar_t buffer[kMaxArgumentLength + 1] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, buffer))) buffer[0] = L'\0';
  MakeUniqueFileName(buffer, kMaxArgumentLength + 1, W(kDefaultDiskFileName));
  return buffer;
}
