// The pages of the Mount wizard.
#include "utility/pages/mount_pages.h"

#include "utility/full_path.h"
#include "utility/message_box.h"
#include "utility/mount_rules.h"

// Location page

void CMountPathDlg::OnInitPage() {
  m_ctlLocation = GetDlgItem(IDC_LOCATION);
  m_ctlNext = GetDlgItem(IDOK);
  m_ctlBack = GetDlgItem(IDC_BACK);
  LoadHistory();
  RebuildLocationList(0);
}

void CMountPathDlg::RebuildLocationList(int selection) {
  ::SendMessageW(m_ctlLocation, CB_RESETCONTENT, 0, 0);
  for (const std::u16string& item : LocationListItems(m_history)) {
    ::SendMessageW(m_ctlLocation, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item.c_str())));
  }
  Select(selection);
}

void CMountPathDlg::Select(int index) {
  ::SendMessageW(m_ctlLocation, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  m_nSelection = index;
}

// Choosing a file, from the list or through the open-file dialog, puts it at the front of the
// recent files at once and selects it there.
void CMountPathDlg::OnLocationSelected() {
  const std::wstring text = GetSelectedItemText(m_ctlLocation);
  if (text == W(kBrowseEntry)) {
    std::wstring chosen;
    const bool confirmed = ChooseDiskFile(text, chosen);
    if (WizardClosed()) return;
    if (!confirmed) {
      // Cancelled: back to what was selected before, so "Browse..." is never taken for a file.
      Select(m_nSelection);
      return;
    }
    if (chosen.empty()) {
      Select(0);
      EnableControls(m_hWnd, {m_ctlNext}, false);
      return;
    }
    ChooseFile(chosen);
  } else if (!text.empty()) {
    ChooseFile(text);
  } else {
    m_nSelection = 0;
    EnableControls(m_hWnd, {m_ctlNext}, false);
  }
}

void CMountPathDlg::ChooseFile(const std::wstring& path) {
  AddToHistory(path);
  RebuildLocationList(1);
  EnableControls(m_hWnd, {m_ctlNext}, true);
}

void CMountPathDlg::OnNext() {
  const std::wstring path = FullPath(GetSelectedItemText(m_ctlLocation));
  if (path.empty()) {
    ShowMessage(kNoFileSelected);
    if (!WizardClosed()) FocusControl(m_hWnd, m_ctlLocation);
    return;
  }
  m_bNeedsPassphrase = ProbeDisk(m_service, U16Str(path)).NeedsPassphrase() ? 1 : 0;
  if (m_pDrivePage == nullptr) {
    CloseWizard(IDOK);
    return;
  }
  ::SetWindowTextW(m_pDrivePage->m_ctlLocation, path.c_str());
  m_pDrivePage->m_bNeedsPassphrase = m_bNeedsPassphrase;
  ::SetWindowTextW(m_pDrivePage->m_ctlNext, W(m_bNeedsPassphrase ? kNextButton : kFinishButton));
  ShowPage(m_pDrivePage, this);
}

BOOL CMountPathDlg::OnCommand(WORD id, WORD code) {
  switch (id) {
    case IDC_LOCATION:
      // A choice made while a box of the page is open is taken back: it would open another
      // dialog inside the box.
      if (code == CBN_SELCHANGE && !RunFlow([this] { OnLocationSelected(); })) Select(m_nSelection);
      return TRUE;
    case IDOK:
      OnNext();
      return TRUE;
    case IDC_BACK:
      return TRUE;  // the first page has nowhere to go back to
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
  m_ctlCancel = GetDlgItem(IDCANCEL);
  FillFreeDriveList(m_ctlDrive);
}

// The file joins the recent files before anything is mounted, whatever the outcome.
void CMountDrvDlg::OnNextOrFinish() {
  const std::wstring drive = GetSelectedItemText(m_ctlDrive);
  const std::wstring path = GetControlText(m_ctlLocation);
  LoadHistory();
  AddToHistory(path);
  SaveHistory();

  if (m_pPassphrasePage != nullptr && m_bNeedsPassphrase == 1) {
    m_pPassphrasePage->m_strDrive = drive;
    ::SetWindowTextW(m_pPassphrasePage->m_ctlLocation, path.c_str());
    m_pPassphrasePage->m_ctlPassphrase.Clear();
    ShowPage(m_pPassphrasePage, this);
    return;
  }
  MountAndWait(m_service, path, drive, L"", u"", {m_ctlDrive, m_ctlBack, m_ctlNext, m_ctlCancel});
}

BOOL CMountDrvDlg::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDOK:
      OnNextOrFinish();
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
  m_ctlPassphrase.Attach(m_hWnd, IDC_PASSPHRASE);
  m_ctlBack = GetDlgItem(IDC_BACK);
  m_ctlFinish = GetDlgItem(IDOK);
  m_ctlCancel = GetDlgItem(IDCANCEL);
}

void CMountPwdDlg::OnFinish() {
  const std::wstring path = GetControlText(m_ctlLocation);
  const SecretText passphrase = m_ctlPassphrase.Text();
  int accessReason = 0;
  if (m_service.StorageAccessible(U16(path), passphrase, accessReason) != 0) {
    MountAndWait(m_service, path, m_strDrive, L"", passphrase,
                 {m_ctlPassphrase.m_hWnd, m_ctlBack, m_ctlFinish, m_ctlCancel});
    return;
  }
  m_ctlPassphrase.Clear();
  ShowMessage(AccessReasonMessage(accessReason));
  // Whatever the reason, what the user can change here is the passphrase.
  if (!WizardClosed()) FocusControl(m_hWnd, m_ctlPassphrase.m_hWnd);
}

BOOL CMountPwdDlg::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDOK:
      OnFinish();
      return TRUE;
    case IDC_BACK:
      ShowPage(m_pDrivePage, this);
      return TRUE;
    default:
      return FALSE;
  }
}
