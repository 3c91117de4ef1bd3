// The three pages of the Create wizard.
#include "utility/pages/create_pages.h"

#include <commctrl.h>

#include "common/wide.h"
#include "utility/create_finish.h"
#include "utility/disk_files.h"
#include "utility/full_path.h"
#include "utility/message_box.h"
#include "utility/strength_meter.h"

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
      if (ChooseDiskFile(GetControlText(m_ctlLocation), chosen) && !WizardClosed()) {
        ::SetWindowTextW(m_ctlLocation, chosen.c_str());
      }
      return TRUE;
    }
    case IDOK:
      // No checks here: the drive page's Finish asks the service about whatever was typed.
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
  m_ctlPassphrase.Attach(m_hWnd, IDC_PASSPHRASE);
  m_ctlConfirm.Attach(m_hWnd, IDC_CONFIRM);
  m_ctlStrengthBar = GetDlgItem(IDC_STRENGTH_BAR);
  m_ctlStrengthText = GetDlgItem(IDC_STRENGTH_TEXT);
}

void CCreatePwdDlg::ShowPassphraseGroup(bool show) {
  ShowControls(m_hWnd,
               {m_ctlStrengthBar, m_ctlStrengthText, m_ctlPassphrase.m_hWnd, m_ctlConfirm.m_hWnd,
                GetDlgItem(IDC_PASSPHRASE_LABEL), GetDlgItem(IDC_CONFIRM_LABEL)},
               show);
}

void CCreatePwdDlg::ShowMeter(bool show) { ShowControls(m_hWnd, {m_ctlStrengthText, m_ctlStrengthBar}, show); }

void CCreatePwdDlg::UpdateStrengthMeter(std::u16string_view passphrase) {
  const double score = ScorePassphrase(passphrase);
  ::SendMessageW(m_ctlStrengthBar, PBM_SETPOS, static_cast<WPARAM>(static_cast<int>(score)), 0);
  ShowControls(m_hWnd, {m_ctlStrengthText}, false);
  ::SetWindowTextW(m_ctlStrengthText, W(RatingWord(score)));
  ShowControls(m_hWnd, {m_ctlStrengthText}, true);
}

void CCreatePwdDlg::OnPassphraseChanged() {
  const std::u16string_view passphrase = m_ctlPassphrase.View();
  if (passphrase.empty()) {
    ShowMeter(false);  // the meter keeps what it showed, hidden
    return;
  }
  UpdateStrengthMeter(passphrase);
  ShowMeter(true);
}

bool CCreatePwdDlg::IsEncryptionOn() const { return ::SendMessageW(m_ctlEncrypt, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CCreatePwdDlg::OnEncryptClicked() {
  if (IsEncryptionOn()) {
    UpdateStrengthMeter(m_ctlPassphrase.View());
    ShowPassphraseGroup(true);
  } else {
    // Turning encryption off throws the typed texts away.
    m_ctlPassphrase.Clear();
    m_ctlConfirm.Clear();
    ShowPassphraseGroup(false);
  }
}

void CCreatePwdDlg::OnNext() {
  const std::wstring location = GetControlText(m_ctlLocation);
  const bool encrypted = IsEncryptionOn();
  if (encrypted) {
    if (const MessageText* problem = PassphraseProblem(m_ctlPassphrase.View(), m_ctlConfirm.View())) {
      ShowMessage(*problem);
      if (WizardClosed()) return;
      m_ctlPassphrase.Clear();
      m_ctlConfirm.Clear();
      FocusControl(m_hWnd, m_ctlPassphrase.m_hWnd);  // typed again from the start
      return;
    }
  }
  if (m_pDrivePage == nullptr) return;
  ::SetWindowTextW(m_pDrivePage->m_ctlLocation, location.c_str());
  m_pDrivePage->m_strVolumeLabel = m_strVolumeLabel;
  m_pDrivePage->m_strPassphrase = encrypted ? m_ctlPassphrase.Text() : SecretText();
  ShowPage(m_pDrivePage, this);
}

BOOL CCreatePwdDlg::OnCommand(WORD id, WORD code) {
  switch (id) {
    case IDC_ENCRYPT:
      if (code == BN_CLICKED) OnEncryptClicked();
      return TRUE;
    case IDC_PASSPHRASE:
      if (code == EN_CHANGE) OnPassphraseChanged();
      return TRUE;
    case IDOK:
      OnNext();
      return TRUE;
    case IDC_BACK:
      ShowPage(m_pPathPage, this);
      return TRUE;
    default:
      return FALSE;
  }
}

// Drive page

namespace {

// What Finish needs of the drive page.
class CCreateDrivePageView : public ICreateFinishView {
 public:
  explicit CCreateDrivePageView(CCreateDrvDlg& page) : m_page(page) {}

  bool Ask(const MessageText& message, std::u16string_view text) override { return ShowMessage(message, text); }
  void AddToHistory(const std::u16string& path) override {
    m_page.LoadHistory();
    m_page.AddToHistory(WStr(path));
    m_page.SaveHistory();
  }
  void DisableControls() override { Enable(false); }
  void EnableControls() override { Enable(true); }
  int RecordMountResult(const std::u16string& path, const std::u16string& drive, const std::u16string& label,
                        int reply) override {
    return m_page.RecordMountResult(WStr(path), WStr(drive), WStr(label), reply);
  }
  void StartDriveWait(int reply) override { m_page.StartDriveWait(reply); }
  bool WizardClosed() override { return m_page.WizardClosed(); }

 private:
  void Enable(bool enable) {
    ::EnableControls(m_page.m_hWnd, {m_page.m_ctlDrive, m_page.m_ctlBack, m_page.m_ctlFinish, m_page.m_ctlCancel},
                     enable);
  }
  CCreateDrvDlg& m_page;
};

}  // namespace

void CCreateDrvDlg::OnInitPage() {
  m_ctlLocation = GetDlgItem(IDC_LOCATION);
  m_ctlDrive = GetDlgItem(IDC_DRIVE);
  m_ctlBack = GetDlgItem(IDC_BACK);
  m_ctlFinish = GetDlgItem(IDOK);
  m_ctlCancel = GetDlgItem(IDCANCEL);
  FillFreeDriveList(m_ctlDrive);
}

void CCreateDrvDlg::OnFinish() {
  const CreateRequest request{U16Str(FullPath(GetControlText(m_ctlLocation))), U16Str(GetSelectedItemText(m_ctlDrive)),
                              U16Str(m_strVolumeLabel), m_strPassphrase};
  CDiskFiles files;
  CCreateDrivePageView view(*this);
  FinishCreate(request, m_service, files, view);
}

BOOL CCreateDrvDlg::OnCommand(WORD id, WORD) {
  switch (id) {
    case IDOK:
      OnFinish();
      return TRUE;
    case IDC_BACK:
      ShowPage(m_pPassphrasePage, this);
      return TRUE;
    default:
      return FALSE;
  }
}
