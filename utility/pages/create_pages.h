// The three pages of the Create wizard: location and label, passphrase, drive letter.
#pragma once

#include <string>

#include "common/disk_service_client.h"
#include "common/secret_text.h"
#include "utility/passphrase_field.h"
#include "utility/res/resource.h"
#include "utility/wizard_page.h"

class CCreatePathDlg;
class CCreatePwdDlg;
class CCreateDrvDlg;

class CCreatePathDlg : public CWizardPage<CCreatePathDlg> {
 public:
  enum { IDD = IDD_CREATE_PATH };
  using CWizardPage::CWizardPage;

  void OnInitPage();
  BOOL OnCommand(WORD id, WORD code);
  template <class F>
  void ForEachLink(F f) {
    f(m_pDrivePage);
    f(m_pPassphrasePage);
  }

  CCreateDrvDlg* m_pDrivePage = nullptr;
  CCreatePwdDlg* m_pPassphrasePage = nullptr;
  HWND m_ctlLocation = nullptr;
  HWND m_ctlVolumeLabel = nullptr;
  HWND m_ctlBack = nullptr;
};

class CCreatePwdDlg : public CWizardPage<CCreatePwdDlg> {
 public:
  enum { IDD = IDD_CREATE_PASSPHRASE };
  using CWizardPage::CWizardPage;

  void OnInitPage();
  BOOL OnCommand(WORD id, WORD code);
  template <class F>
  void ForEachLink(F f) {
    f(m_pPathPage);
    f(m_pDrivePage);
  }
  // Shows or hides the passphrase fields, their labels and the strength meter.
  void ShowPassphraseGroup(bool show);

  // Rates the passphrase and shows the score on the bar and in words.
  void UpdateStrengthMeter(std::u16string_view passphrase);

  CCreatePathDlg* m_pPathPage = nullptr;
  CCreateDrvDlg* m_pDrivePage = nullptr;
  std::wstring m_strVolumeLabel;
  HWND m_ctlLocation = nullptr;
  HWND m_ctlEncrypt = nullptr;
  CPassphraseField m_ctlPassphrase;
  CPassphraseField m_ctlConfirm;
  HWND m_ctlStrengthBar = nullptr;
  HWND m_ctlStrengthText = nullptr;

 private:
  bool IsEncryptionOn() const;
  void ShowMeter(bool show);
  void OnPassphraseChanged();
  void OnEncryptClicked();
  void OnNext();
};

class CCreateDrvDlg : public CWizardPage<CCreateDrvDlg> {
 public:
  enum { IDD = IDD_CREATE_DRIVE };
  using CWizardPage::CWizardPage;

  void OnInitPage();
  BOOL OnCommand(WORD id, WORD code);
  template <class F>
  void ForEachLink(F f) {
    f(m_pPathPage);
    f(m_pPassphrasePage);
  }

  CCreatePathDlg* m_pPathPage = nullptr;
  CCreatePwdDlg* m_pPassphrasePage = nullptr;
  std::wstring m_strVolumeLabel;
  SecretText m_strPassphrase;
  CDiskServiceClient m_service;
  HWND m_ctlLocation = nullptr;
  HWND m_ctlDrive = nullptr;
  HWND m_ctlBack = nullptr;
  HWND m_ctlFinish = nullptr;
  HWND m_ctlCancel = nullptr;

 private:
  void OnFinish();
};
