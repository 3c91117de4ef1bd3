// The pages of the Mount wizard: the disk file, the drive letter, and the passphrase for a disk
// that needs one.
#pragma once

#include <string>

#include "common/disk_service_client.h"
#include "utility/passphrase_field.h"
#include "utility/res/resource.h"
#include "utility/wizard_page.h"

class CMountPathDlg;
class CMountDrvDlg;
class CMountPwdDlg;

class CMountPathDlg : public CWizardPage<CMountPathDlg> {
 public:
  enum { IDD = IDD_MOUNT_PATH };
  using CWizardPage::CWizardPage;

  void OnInitPage();
  BOOL OnCommand(WORD id, WORD code);
  template <class F>
  void ForEachLink(F f) {
    f(m_pDrivePage);
    f(m_pPassphrasePage);
  }

  CMountDrvDlg* m_pDrivePage = nullptr;
  CMountPwdDlg* m_pPassphrasePage = nullptr;
  int m_bNeedsPassphrase = 0;
  CDiskServiceClient m_service;
  HWND m_ctlLocation = nullptr;
  HWND m_ctlNext = nullptr;
  HWND m_ctlBack = nullptr;

 private:
  void RebuildLocationList(int selection);
  void Select(int index);
  void OnLocationSelected();
  void ChooseFile(const std::wstring& path);
  void OnNext();

  int m_nSelection = 0;  // the selection before the current change, to return to
};

class CMountDrvDlg : public CWizardPage<CMountDrvDlg> {
 public:
  enum { IDD = IDD_MOUNT_DRIVE };
  using CWizardPage::CWizardPage;

  void OnInitPage();
  BOOL OnCommand(WORD id, WORD code);
  template <class F>
  void ForEachLink(F f) {
    f(m_pPathPage);
    f(m_pPassphrasePage);
  }

  CMountPathDlg* m_pPathPage = nullptr;
  CMountPwdDlg* m_pPassphrasePage = nullptr;
  int m_bNeedsPassphrase = 0;
  CDiskServiceClient m_service;
  HWND m_ctlLocation = nullptr;
  HWND m_ctlDrive = nullptr;
  HWND m_ctlBack = nullptr;
  HWND m_ctlNext = nullptr;
  HWND m_ctlCancel = nullptr;

 private:
  void OnNextOrFinish();
};

class CMountPwdDlg : public CWizardPage<CMountPwdDlg> {
 public:
  enum { IDD = IDD_MOUNT_PASSPHRASE };
  using CWizardPage::CWizardPage;

  void OnInitPage();
  BOOL OnCommand(WORD id, WORD code);
  template <class F>
  void ForEachLink(F f) {
    f(m_pPathPage);
    f(m_pDrivePage);
  }

  CMountPathDlg* m_pPathPage = nullptr;
  CMountDrvDlg* m_pDrivePage = nullptr;
  std::wstring m_strDrive;
  CDiskServiceClient m_service;
  HWND m_ctlLocation = nullptr;
  CPassphraseField m_ctlPassphrase;
  HWND m_ctlBack = nullptr;
  HWND m_ctlFinish = nullptr;
  HWND m_ctlCancel = nullptr;

 private:
  void OnFinish();
};
