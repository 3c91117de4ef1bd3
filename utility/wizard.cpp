// Opening the three wizards.
#include "utility/wizard.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "common/unique_file_name.h"
#include "common/unique_file_name_win32.h"
#include "common/wide.h"
#include "framework/dialog_focus.h"
#include "framework/system_library.h"
#include "utility/command_line.h"
#include "utility/message_box.h"
#include "utility/mount_rules.h"
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
  ShowControls(pathPage->m_hWnd, {pathPage->m_ctlBack}, false);

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
  CZelBaseDlg::ShowFirstPage(pathPage);
  return S_OK;
}

namespace {

// A file given on the command line: its drive page, and the passphrase page when the disk needs
// one. Neither has a location page to go back to.
HRESULT StartMountWizardForFile(const wchar_t* path, bool needsPassphrase, int standalone) {
  auto* drivePage = NewPage<CMountDrvDlg>(standalone);
  if (drivePage == nullptr) return E_FAIL;
  ::SetWindowTextW(drivePage->m_ctlLocation, path);
  drivePage->m_bNeedsPassphrase = needsPassphrase ? 1 : 0;
  ShowControls(drivePage->m_hWnd, {drivePage->m_ctlBack}, false);
  if (needsPassphrase) {
    auto* passphrasePage = NewPage<CMountPwdDlg>(standalone);
    if (passphrasePage == nullptr) return Abandon(drivePage);
    drivePage->m_pPassphrasePage = passphrasePage;
    ::SetWindowTextW(drivePage->m_ctlNext, W(kNextButton));
    ::SetWindowTextW(passphrasePage->m_ctlLocation, path);
    passphrasePage->m_pDrivePage = drivePage;
  }
  CZelBaseDlg::ShowFirstPage(drivePage);
  return S_OK;
}

}  // namespace

HRESULT StartMountWizard(const wchar_t* path, int standalone) {
  if (path != nullptr && path[0] != L'\0' && ::PathFileExistsW(path)) {
    CDiskServiceClient service;
    const ProbeResult probe = ProbeDisk(service, U16Str(path));
    switch (CourseForGivenFile(probe)) {
      case MountCourse::DrivePage:
        return StartMountWizardForFile(path, false, standalone);
      case MountCourse::DriveThenPassphrase:
        return StartMountWizardForFile(path, true, standalone);
      default:
        ShowMessage(AccessReasonMessage(probe.accessReason));
        return E_INVALIDARG;
    }
  }

  // Nothing usable given: the file is chosen on the location page first.
  auto* pathPage = NewPage<CMountPathDlg>(standalone);
  if (pathPage == nullptr) return E_FAIL;
  ShowControls(pathPage->m_hWnd, {pathPage->m_ctlBack}, false);
  EnableControls(pathPage->m_hWnd, {pathPage->m_ctlNext}, false);

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
  CZelBaseDlg::ShowFirstPage(pathPage);
  return S_OK;
}

HRESULT StartUnmountWizard(const wchar_t* drive, int standalone) {
  auto* page = NewPage<CUnmountDrvDlg>(drive, standalone);
  if (page == nullptr) return E_FAIL;
  ShowControls(page->m_hWnd, {page->m_ctlBack}, false);
  CZelBaseDlg::ShowFirstPage(page);
  return S_OK;
}

std::wstring DefaultNewDiskPath() {
  wchar_t buffer[kMaxArgumentLength + 1] = {};
  static const auto getFolderPath = SystemProc<decltype(&::SHGetFolderPathW)>(L"shell32.dll", "SHGetFolderPathW");
  if (getFolderPath == nullptr || FAILED(getFolderPath(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, buffer))) {
    buffer[0] = L'\0';
  }
  MakeUniqueFileName(buffer, kMaxArgumentLength + 1, W(kDefaultDiskFileName));
  return buffer;
}
