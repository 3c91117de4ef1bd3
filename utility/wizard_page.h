// The machinery every wizard page shares: its life from the template to its self-deletion, its
// place in the message loop, closing the whole wizard, and the wait for a new drive letter.
// A page class T derives from CWizardPage<T> and provides:
//   enum { IDD = template id };
//   void OnInitPage();                   its own initialisation (controls attached here)
//   BOOL OnCommand(WORD id, WORD code);  its commands other than Cancel
//   template <class F> void ForEachLink(F f);  f(link) for each link to another page
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "common/disk_service_client.h"
#include "common/wide.h"
#include "framework/app_module.h"
#include "framework/dialog_impl.h"
#include "framework/message_loop.h"
#include "framework/window_placement.h"
#include "utility/zel_base_dlg.h"

template <class T>
class CWizardPage : public CDialogImpl<T>,
                    public CUpdateUI<T>,
                    public CMessageFilter,
                    public CIdleHandler,
                    public CWinDataExchange<T>,
                    public CZelBaseDlg {
 public:
  explicit CWizardPage(int bStandalone) : CZelBaseDlg(bStandalone) {}

  // Creates the page window, hidden. On success the page belongs to its window and deletes
  // itself after the window's last message; on failure the caller still owns it.
  bool CreatePage() {
    if (this->Create(nullptr) == nullptr) return false;
    m_bOwnedByWindow = true;
    return true;
  }

  // Closes the whole wizard; a standalone wizard also ends the program with code as its exit
  // code. Any code does, negative ones included: the whole wizard always goes.
  void CloseWizard(int code) {
    static_cast<T*>(this)->ForEachLink([](auto*& page) {
      if (page != nullptr) {
        page->ClosePage();
        page = nullptr;
      }
    });
    const bool standalone = m_bStandalone != 0;
    this->DestroyWindow();  // the page is deleted from here on
    if (standalone) ::PostQuitMessage(code);
  }

  // Closes only this page's window.
  void ClosePage() { this->DestroyWindow(); }

  BOOL PreTranslateMessage(MSG* pMsg) override { return ::IsDialogMessageW(this->m_hWnd, pMsg); }
  BOOL OnIdle() override { return FALSE; }

  BOOL ProcessWindowMessage(HWND, UINT uMsg, WPARAM wParam, LPARAM, LRESULT& lResult) override {
    switch (uMsg) {
      case WM_INITDIALOG:
        InitPage();
        lResult = TRUE;
        return TRUE;
      case WM_DESTROY:
        if (CMessageLoop* loop = g_appModule.GetMessageLoop()) {
          loop->RemoveMessageFilter(this);
          loop->RemoveIdleHandler(this);
        }
        return FALSE;
      case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
          CloseWizard(IDCANCEL);
          return TRUE;
        }
        return static_cast<T*>(this)->OnCommand(LOWORD(wParam), HIWORD(wParam));
      case WM_TIMER:
        OnDriveWaitTick(wParam);
        return TRUE;
      default:
        return FALSE;
    }
  }

  void OnFinalMessage(HWND) override {
    if (m_hHeadingFont != nullptr) ::DeleteObject(m_hHeadingFont);
    m_hHeadingFont = nullptr;
    if (m_bOwnedByWindow) delete this;
  }

  // Sends Mount and, once it has returned, disables the page's controls; a nonzero reply is
  // recorded and starts the wait for the new drive. After a reply of 0 (the "Failed to mount"
  // box is shown) the controls come back, so the user can try another drive or go back.
  void MountAndWait(CDiskServiceClient& service, const std::wstring& path, const std::wstring& drive,
                    const std::wstring& label, const std::wstring& passphrase,
                    std::initializer_list<HWND> controls) {
    const int reply = service.Mount(U16(path), U16(drive), U16(label), U16(passphrase), 0);
    for (HWND control : controls) ::EnableWindow(control, FALSE);
    if (RecordMountResult(path, drive, label, reply) != 0) {
      StartDriveWait(reply);
    } else {
      for (HWND control : controls) ::EnableWindow(control, TRUE);
    }
  }

  // After a nonzero Mount reply: poll once a second, for at most ten ticks, for the new drive.
  // The reply is the timer's identifier and, in the end, the wizard's closing code.
  void StartDriveWait(int reply) {
    m_nTicksLeft = kDriveWaitTicks;
    m_nTimerId = ::SetTimer(this->m_hWnd, static_cast<UINT_PTR>(reply), kDriveWaitPeriodMs, nullptr);
  }

  UINT_PTR m_nTimerId = 0;
  int m_nTicksLeft = 0;

 protected:
  ~CWizardPage() override = default;

 private:
  static constexpr int kDriveWaitTicks = 10;
  static constexpr UINT kDriveWaitPeriodMs = 1000;

  void InitPage() {
    CenterInWorkArea(this->m_hWnd);
    m_hHeadingFont = SetHeadingFont(this->m_hWnd);
    if (CMessageLoop* loop = g_appModule.GetMessageLoop()) {
      loop->AddMessageFilter(this);
      loop->AddIdleHandler(this);
    }
    static_cast<T*>(this)->OnInitPage();
  }

  void OnDriveWaitTick(UINT_PTR id) {
    --m_nTicksLeft;
    if (!IsDrivePresent() && m_nTicksLeft >= 0) return;
    if (m_nTimerId != 0) {
      ::KillTimer(this->m_hWnd, m_nTimerId);
      m_nTimerId = 0;
      m_nTicksLeft = 0;
    }
    OpenDrive();
    CloseWizard(static_cast<int>(id));
  }

  HFONT m_hHeadingFont = nullptr;
  bool m_bOwnedByWindow = false;
};

// Creates a page of type Page, hidden; null when its window cannot be created.
template <class Page, class... Args>
Page* NewPage(Args&&... args) {
  Page* page = new Page(std::forward<Args>(args)...);
  if (!page->CreatePage()) {
    delete page;
    return nullptr;
  }
  return page;
}
