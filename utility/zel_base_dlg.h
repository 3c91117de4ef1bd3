// What every wizard page shares: the standalone flag, what a successful mount recorded, the
// recent-file history, and the page services built on them; and the free helpers of the pages.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CDialogBase;

class CZelBaseDlg {
 public:
  explicit CZelBaseDlg(int bStandalone) : m_bStandalone(bStandalone) {}

  static std::wstring GetControlText(HWND control);
  // The selected item's text; empty when nothing is selected.
  static std::wstring GetSelectedItemText(HWND comboBox);

  // Keeps path, drive and label after a nonzero reply; shows "Failed to mount" for 0.
  int RecordMountResult(const std::wstring& path, const std::wstring& drive, const std::wstring& label, int reply);

  // Reads the list from the registry and drops (and forgets for good) files that are gone.
  void LoadHistory();
  void AddToHistory(const std::wstring& path);
  void SaveHistory();

  // Whether the letter of m_strMountedDrive exists right now.
  BOOL IsDrivePresent() const;
  // After a 3-second pause, opens the root of m_strMountedDrive in the file manager (when the
  // letter exists).
  void OpenDrive() const;

  // Hands over from page current to page target: target takes current's place and is shown,
  // with the focus on its first input.
  static void ShowPage(CDialogBase* target, CDialogBase* current);
  // Shows the first page of a wizard, with the focus on its first input.
  static void ShowFirstPage(CDialogBase* page);

  int m_bStandalone;
  std::wstring m_strMountedFile;
  std::wstring m_strMountedDrive;
  std::wstring m_strMountedLabel;
  std::vector<std::u16string> m_history;
};

// Offers the free drive letters from E: on and selects the first.
void FillFreeDriveList(HWND comboBox);
// Gives the page's heading (204) the wizard's heading font; the page deletes the returned font
// once its window is gone.
HFONT SetHeadingFont(HWND page);
// The open-file dialog for disk files; true and the chosen full path when the user confirmed one.
bool ChooseDiskFile(const std::wstring& initialText, std::wstring& chosenPath);
