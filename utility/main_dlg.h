// The start window: choose to create, mount or disconnect a disk; the About box.
#pragma once

#include <windows.h>

#include "framework/dialog_impl.h"
#include "framework/message_loop.h"
#include "utility/res/resource.h"

class CMainDlg : public CDialogImpl<CMainDlg>,
                 public CUpdateUI<CMainDlg>,
                 public CWinDataExchange<CMainDlg>,
                 public CMessageFilter,
                 public CIdleHandler {
 public:
  enum { IDD = IDD_MAIN };
  CMainDlg() = default;
  ~CMainDlg() override;
  CMainDlg(const CMainDlg&) = delete;
  CMainDlg& operator=(const CMainDlg&) = delete;

  BOOL PreTranslateMessage(MSG* pMsg) override { return ::IsDialogMessageW(m_hWnd, pMsg); }
  BOOL OnIdle() override { return FALSE; }
  BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

 private:
  void OnInitDialog();
  void OnCommand(WORD id);

  HFONT m_hHeadingFont = nullptr;
  HFONT m_hLabelFont = nullptr;
  HICON m_hIconBig = nullptr;
  HICON m_hIconSmall = nullptr;
  HICON m_hCreateIcon = nullptr;
  HICON m_hMountIcon = nullptr;
  HICON m_hDisconnectIcon = nullptr;
  HWND m_ctlHeading = nullptr;
  HWND m_ctlCreate = nullptr;
  HWND m_ctlMount = nullptr;
  HWND m_ctlDisconnect = nullptr;
  HWND m_ctlCreateLabel = nullptr;
  HWND m_ctlMountLabel = nullptr;
  HWND m_ctlDisconnectLabel = nullptr;
  HWND m_ctlAbout = nullptr;
  HWND m_ctlOk = nullptr;
  HWND m_ctlExit = nullptr;
};

class CAboutDlg : public CDialogImpl<CAboutDlg> {
 public:
  enum { IDD = IDD_ABOUT };
  BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;
};
