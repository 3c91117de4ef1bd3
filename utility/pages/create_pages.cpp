// The three pages of the Create wizard.
#include "utility/pages/create_pages.h"

#include "common/wide.h"

// Location page

void CCreatePathDlg::OnInitPage() {
  m_ctlLocation = GetDlgItem(IDC_LOCATION);
  m_ctlVolumeLabel = GetDlgItem(IDC_VOLUME_LABEL);
  m_ctlBack = GetDlgItem(IDC_BACK);
}

BOOL CCreatePathDlg::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDC_BROWSE: {
      std::wstring chosen;
      if (ChooseDiskFile(GetControlText(m_ctlLocation), chosen)) ::SetWindowTextW(m_ctlLocation, chosen.c_str());
      return TRUE;
    }
    case IDOK:
      if (m_pPassphrasePage != nullptr) {
        ::SetWindowTextW(m_pPassphrasePage->m_ctlLocation, GetControlText(m_ctlLocation).c_str());
        m_pPassphrasePage->m_strVolumeLabel = GetControlText(m_ctlVolumeLabel);
        ShowPage(m_pPassphrasePage, this);
      }
      return TRUE;
    case IDC_BACK:
      return TRUE;  // the first page has nowhere to go back to
    default:
      return FALSE;
  }
}

// Passphrase page

void CCreatePwdDlg::OnInitPage() {
  m_ctlLocation = GetDlgItem(IDC_LOCATION);
  m_ctlEncrypt = GetDlgItem(IDC_ENCRYPT);
  m_ctlPassphrase = GetDlgItem(IDC_PASSPHRASE);
  m_ctlConfirm = GetDlgItem(IDC_CONFIRM);
}

void CCreatePwdDlg::ShowPassphraseGroup(bool show) {
  for (int id : {IDC_STRENGTH_BAR, IDC_STRENGTH_TEXT, IDC_PASSPHRASE, IDC_CONFIRM, IDC_PASSPHRASE_LABEL,
                 IDC_CONFIRM_LABEL}) {
    ::ShowWindow(GetDlgItem(id), show ? SW_SHOW : SW_HIDE);
  }
}

BOOL CCreatePwdDlg::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDOK: {
      if (m_pDrivePage == nullptr) return TRUE;
      const bool encrypt = ::SendMessageW(m_ctlEncrypt, BM_GETCHECK, 0, 0) == BST_CHECKED;
      ::SetWindowTextW(m_pDrivePage->m_ctlLocation, GetControlText(m_ctlLocation).c_str());
      m_pDrivePage->m_strVolumeLabel = m_strVolumeLabel;
      m_pDrivePage->m_strPassphrase = encrypt ? GetControlText(m_ctlPassphrase) : std::wstring();
      ShowPage(m_pDrivePage, this);
      return TRUE;
    }
    case IDC_BACK:
      ShowPage(m_pPathPage, this);
      return TRUE;
    default:
      return FALSE;
  }
}

// Drive page

void CCreateDrvDlg::OnInitPage() {
  m_ctlLocation = GetDlgItem(IDC_LOCATION);
  m_ctlDrive = GetDlgItem(IDC_DRIVE);
  FillFreeDriveList(m_ctlDrive);
}

BOOL CCreateDrvDlg::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDC_BACK:
      ShowPage(m_pPassphrasePage, this);
      return TRUE;
    default:
      return FALSE;
  }
}
