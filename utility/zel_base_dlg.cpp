// What every wizard page shares, and the free helpers of the pages.
#include "utility/zel_base_dlg.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlwapi.h>

#include "common/wide.h"
#include "framework/dialog_focus.h"
#include "framework/dialog_impl.h"
#include "framework/display_scale.h"
#include "framework/system_library.h"
#include "utility/free_drives.h"
#include "utility/history.h"
#include "utility/history_store.h"
#include "utility/message_box.h"
#include "utility/res/resource.h"

namespace {

bool PathExists(const std::u16string& path) { return ::PathFileExistsW(W(path.c_str())) != FALSE; }

bool DriveLetterExists(const std::wstring& drive) {
  if (drive.empty()) return false;
  const wchar_t letter = drive[0];
  if (letter < L'A' || letter > L'Z') return false;
  return (::GetLogicalDrives() & (1u << (letter - L'A'))) != 0;
}

constexpr DWORD kOpenDrivePauseMs = 3000;

}  // namespace

std::wstring CZelBaseDlg::GetControlText(HWND control) {
  const int length = ::GetWindowTextLengthW(control);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = ::GetWindowTextW(control, &text[0], length + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

std::wstring CZelBaseDlg::GetSelectedItemText(HWND comboBox) {
  const LRESULT index = ::SendMessageW(comboBox, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return {};
  const LRESULT length = ::SendMessageW(comboBox, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT got =
      ::SendMessageW(comboBox, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(got == CB_ERR ? 0 : static_cast<size_t>(got));
  return text;
}

int CZelBaseDlg::RecordMountResult(const std::wstring& path, const std::wstring& drive, const std::wstring& label,
                                   int reply) {
  if (reply != 0) {
    m_strMountedFile = path;
    m_strMountedDrive = drive;
    m_strMountedLabel = label;
  } else {
    ShowMessage(kFailedToMount, U16(path));
  }
  return reply;
}

void CZelBaseDlg::LoadHistory() {
  m_history = ParseHistoryText(ReadHistoryValue());
  if (RemoveMissingEntries(m_history, PathExists)) SaveHistory();
}

void CZelBaseDlg::AddToHistory(const std::wstring& path) {
  AddHistoryEntry(m_history, U16Str(path));
  SaveHistory();
}

void CZelBaseDlg::SaveHistory() { WriteHistoryValue(HistoryText(m_history)); }

BOOL CZelBaseDlg::IsDrivePresent() const { return DriveLetterExists(m_strMountedDrive) ? TRUE : FALSE; }

void CZelBaseDlg::OpenDrive() const {
  if (!DriveLetterExists(m_strMountedDrive)) return;
  const std::wstring root = {m_strMountedDrive[0], L':', L'\\'};
  // The pause gives the file system of the new drive time to come up before it is shown.
  ::Sleep(kOpenDrivePauseMs);
  static const auto shellExecute = SystemProc<decltype(&::ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
  if (shellExecute != nullptr) shellExecute(nullptr, L"open", root.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CZelBaseDlg::ShowPage(CDialogBase* target, CDialogBase* current) {
  if (target == nullptr || current == nullptr) return;
  RECT from{};
  RECT to{};
  ::GetWindowRect(current->m_hWnd, &from);
  ::GetWindowRect(target->m_hWnd, &to);
  ::MoveWindow(target->m_hWnd, from.left, from.top, to.right - to.left, to.bottom - to.top, TRUE);
  // The target is shown (and so activated) before the current page goes: hiding the active
  // window first would hand the activation to some other window in between, and the window
  // system may deliver that change after the target has taken over, leaving no page with the
  // keyboard focus.
  ::ShowWindow(target->m_hWnd, SW_SHOW);
  ::BringWindowToTop(target->m_hWnd);
  ::ShowWindow(current->m_hWnd, SW_HIDE);
  FocusFirstInput(target->m_hWnd);
}

void CZelBaseDlg::ShowFirstPage(CDialogBase* page) {
  page->ShowWindow(SW_SHOW);
  FocusFirstInput(page->m_hWnd);
}

void FillFreeDriveList(HWND comboBox) {
  for (const std::u16string& item : FreeDriveItems(::GetLogicalDrives())) {
    ::SendMessageW(comboBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item.c_str())));
  }
  ::SendMessageW(comboBox, CB_SETCURSEL, 0, 0);
}

HFONT SetHeadingFont(HWND page) {
  HFONT font = CreateScaledFont(L"Arial", 18, FW_BOLD);
  ::SendDlgItemMessageW(page, IDC_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return font;
}

bool ChooseDiskFile(const std::wstring& initialText, std::wstring& chosenPath) {
  wchar_t file[MAX_PATH] = {};
  // A text too long for the dialog's buffer starts it without a name: cut, it would name another file.
  if (initialText.size() < MAX_PATH) initialText.copy(file, MAX_PATH - 1);

  // Pairs of name and pattern, each ended by a NUL, the whole list by a second NUL.
  std::wstring filter;
  for (const char16_t* part :
       {kDiskFileFilterName, kDiskFileFilterPattern, kAllFilesFilterName, kAllFilesFilterPattern}) {
    filter += W(part);
    filter += L'\0';
  }
  filter += L'\0';

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = ::GetActiveWindow();
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = W(kDiskFileExtension);
  // No overwrite prompt: this is the open dialog, which never writes the file it names.
  ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;
  static const auto getOpenFileName = SystemProc<decltype(&::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
  if (getOpenFileName == nullptr || !getOpenFileName(&ofn)) return false;
  chosenPath = file;
  return true;
}
