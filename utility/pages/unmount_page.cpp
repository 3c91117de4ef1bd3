// The Disconnect page.
#include "utility/pages/unmount_page.h"

#include "common/wide.h"
#include "utility/unmount_rules.h"

CUnmountDrvDlg::CUnmountDrvDlg(const wchar_t* drive, int bStandalone)
    : CWizardPage(bStandalone), m_strFixedDrive(WStr(FixedDriveOf(U16(drive)))) {}

void CUnmountDrvDlg::OnInitPage() {
  m_ctlMountedEntry = GetDlgItem(IDC_MOUNTED_ENTRY);
  m_ctlDrive = GetDlgItem(IDC_DRIVE);
  m_ctlBack = GetDlgItem(IDC_BACK);
  m_ctlFinish = GetDlgItem(IDOK);
  m_ctlCancel = GetDlgItem(IDCANCEL);
}

BOOL CUnmountDrvDlg::OnCommand(WORD, WORD) { return FALSE; }
