// The Disconnect page.
#include "utility/pages/unmount_page.h"

#include "common/wide.h"
#include "utility/message_box.h"
#include "utility/unmount_rules.h"

CUnmountDrvDlg::CUnmountDrvDlg(const wchar_t* drive, int bStandalone)
    : CWizardPage(bStandalone), m_strFixedDrive(WStr(FixedDriveOf(U16(drive)))) {}

void CUnmountDrvDlg::OnInitPage() {
  m_ctlMountedEntry = GetDlgItem(IDC_MOUNTED_ENTRY);
  m_ctlDrive = GetDlgItem(IDC_DRIVE);
  m_ctlBack = GetDlgItem(IDC_BACK);
  m_ctlFinish = GetDlgItem(IDOK);
  m_ctlCancel = GetDlgItem(IDCANCEL);
  RefreshSlots();
  ShowSlots();
}

void CUnmountDrvDlg::RefreshSlots() { m_slots = ParseMountList(m_service.List()); }

void CUnmountDrvDlg::ShowSlots() {
  const UnmountView view = ComputeUnmountView(U16(m_strFixedDrive), m_slots);
  ::SendMessageW(m_ctlDrive, CB_RESETCONTENT, 0, 0);
  for (const std::u16string& item : view.items) {
    ::SendMessageW(m_ctlDrive, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item.c_str())));
  }
  ::SendMessageW(m_ctlDrive, CB_SETCURSEL, 0, 0);
  ::SetWindowTextW(m_ctlMountedEntry, W(view.entryText.c_str()));
  ShowControls(m_hWnd, {m_ctlDrive}, view.showList);
  ShowControls(m_hWnd, {m_ctlMountedEntry}, !view.showList);
  ::SetWindowTextW(m_ctlFinish, W(view.buttonText));
  EnableControls(m_hWnd, {m_ctlFinish}, view.buttonEnabled);
}

void CUnmountDrvDlg::OnUnmount() {
  const bool fixed = !m_strFixedDrive.empty();
  const std::wstring entry = fixed ? GetControlText(m_ctlMountedEntry) : GetSelectedItemText(m_ctlDrive);
  if (!ShowMessage(kConfirmUnmount, {}, U16(entry)) || WizardClosed()) return;

  // The reply says nothing the page acts on: a disk that stayed shows up in the list again.
  EnableControls(m_hWnd, {m_ctlBack, m_ctlFinish, m_ctlCancel}, false);
  m_service.Unmount(U16(entry));
  EnableControls(m_hWnd, {m_ctlBack, m_ctlFinish, m_ctlCancel}, true);

  if (fixed) {
    CloseWizard(IDOK);
    return;
  }
  RefreshSlots();
  ShowSlots();
}

BOOL CUnmountDrvDlg::OnCommand(WORD id, WORD) {
  if (id != IDOK) return FALSE;
  OnUnmount();
  return TRUE;
}
