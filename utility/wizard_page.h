// The machinery every wizard page shares: its life from the template to its self-deletion, its
// place in the message loop, closing the whole wizard, and the wait for a new drive letter.
// A page class T derives from CWizardPage<T> and provides:
//   enum { IDD = template id };
//   void OnInitPage();                   its own initialisation (controls attached here)
//   BOOL OnCommand(WORD id, WORD code);  its commands other than Cancel
//   template <class F> void ForEachLink(F f);  f(link) for each link to another page
// Next/Finish, Back and Browse run as page flows (RunFlow): a handler that waits for the user in
// a message box keeps its page object alive, and after each box it checks WizardClosed().
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>

#include "common/disk_service_client.h"
#include "common/wide.h"
#include "framework/app_module.h"
#include "framework/dialog_focus.h"
#include "framework/dialog_impl.h"
#include "framework/message_loop.h"
#include "framework/window_placement.h"
#include "utility/page_flow.h"
#include "utility/res/resource.h"
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
  // code (once no box is open any more). Any code does, negative ones included: the whole wizard
  // always goes. A wizard that is already closed stays as it is.
  void CloseWizard(int code) {
    if (WizardClosed()) return;
    static_cast<T*>(this)->ForEachLink([](auto*& page) {
      if (page != nullptr) {
        page->ClosePage();
        page = nullptr;
      }
    });
    const bool standalone = m_bStandalone != 0;
    this->DestroyWindow();  // the page is deleted from here on, unless a flow still runs in it
    if (standalone) EndProgram(code);
  }

  // Closes only this page's window.
  void ClosePage() {
    if (!WizardClosed()) this->DestroyWindow();
  }

  // Whether the page's window, and so its whole wizard, is gone: after a message box a flow
  // asks this before it sends, writes or moves anything more.
  bool WizardClosed() const { return this->m_hWnd == nullptr; }

  // Runs handler as the page's flow. While it waits for the user, a second click on the page's
  // buttons is ignored rather than run inside it, and the page object outlives its window until
  // the handler has returned. False when a flow of this page was already running.
  template <class F>
  bool RunFlow(F handler) {
    if (m_bFlowRunning) return false;
    m_bFlowRunning = true;
    EnterPageFlow();
    handler();
    m_bFlowRunning = false;
    if (m_bDeletePending) delete this;
    LeavePageFlow();
    return true;
  }

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
      case WM_COMMAND: {
        const WORD id = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        if (id == IDCANCEL) {
          // Escape and the close box stand for the Cancel button: while it is disabled they do
          // nothing, as Windows' dialog manager has it (Wine's leaves that to the page). So the
          // wait for a new drive, whose disk is mounted already, is never taken for a cancel.
          if (::IsWindowEnabled(this->GetDlgItem(IDCANCEL))) CloseWizard(IDCANCEL);
          return TRUE;
        }
        if (id == IDOK || id == IDC_BACK || id == IDC_BROWSE) {
          RunFlow([this, id, code] { static_cast<T*>(this)->OnCommand(id, code); });
          return TRUE;  // the page may be gone by now
        }
        return static_cast<T*>(this)->OnCommand(id, code);
      }
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
    if (!m_bOwnedByWindow) return;
    if (m_bFlowRunning) {
      m_bDeletePending = true;  // RunFlow deletes the page once its handler has returned
    } else {
      delete this;
    }
  }

  // Sends Mount and, once it has returned, disables the page's controls; a nonzero reply is
  // recorded and starts the wait for the new drive. After a reply of 0 (the "Failed to mount"
  // box is shown) the controls come back, so the user can try another drive or go back.
  void MountAndWait(CDiskServiceClient& service, const std::wstring& path, const std::wstring& drive,
                    const std::wstring& label, std::u16string_view passphrase, std::initializer_list<HWND> controls) {
    const int reply = service.Mount(U16(path), U16(drive), U16(label), passphrase, 0);
    EnableControls(this->m_hWnd, controls, false);
    if (RecordMountResult(path, drive, label, reply) != 0) {
      StartDriveWait(reply);
    } else if (!WizardClosed()) {
      EnableControls(this->m_hWnd, controls, true);
    }
  }

  // After a nonzero Mount reply: poll once a second, for at most ten ticks, for the new drive.
  // The reply is the timer's identifier and, in the end, the wizard's closing code.
  void StartDriveWait(int reply) {
    if (WizardClosed()) return;
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
      // The timer is known by the identifier it was set with (the message's), which SetTimer
      // need not return for a window's timer.
      ::KillTimer(this->m_hWnd, id);
      m_nTimerId = 0;
      m_nTicksLeft = 0;
    }
    OpenDrive();
    CloseWizard(static_cast<int>(id));
  }

  HFONT m_hHeadingFont = nullptr;
  bool m_bOwnedByWindow = false;
  bool m_bFlowRunning = false;
  bool m_bDeletePending = false;
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
