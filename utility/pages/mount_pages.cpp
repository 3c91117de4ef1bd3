// The pages of the Mount wizard.
#include "utility/pages/mount_pages.h"

// Location page

void CMountPathDlg::OnInitPage() {
  m_ctlLocation = GetDlgItem(IDC_LOCATION);
  m_ctlNext = GetDlgItem(IDOK);
  m_ctlBack = GetDlgItem(IDC_BACK);
}

BOOL CMountPathDlg::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDOK:
      if (m_pDrivePage != nullptr) {
        ShowPage(m_pDrivePage, this);
      } else {
        CloseWizard(IDOK);
      }
      return TRUE;
    case IDC_BACK:
      return TRUE;
    default:
      return FALSE;
  }
}

// Drive page

void CMountDrvDlg::OnInitPage() {
  m_ctlLocation = GetDlgItem(IDC_LOCATION);
  m_ctlDrive = GetDlgItem(IDC_DRIVE);
  m_ctlBack = GetDlgItem(IDC_BACK);
  m_ctlNext = GetDlgItem(IDOK);
  FillFreeDriveList(m_ctlDrive);
}

BOOL CMountDrvDlg::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDOK:
      if (m_pPassphrasePage != nullptr && m_bNeedsPassphrase) ShowPage(m_pPassphrasePage, this);
      return TRUE;
    case IDC_BACK:
      ShowPage(m_pPathPage, this);
      return TRUE;
    default:
      return FALSE;
  }
}

// Passphrase page

void CMountPwdDlg::OnInitPage() {
  m_ctlLocation = GetDlgItem(IDC_LOCATION);
  m_ctlPassphrase = GetDlgItem(IDC_PASSPHRASE);
}

BOOL CMountPwdDlg::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDC_BACK:
      ShowPage(m_pDrivePage, this);
      return TRUE;
    default:
      return FALSE;
  }
}
