// Dialog windows made from dialog templates: modeless (Create) or modal (DoModal). Messages go
// to the class's ProcessWindowMessage; OnFinalMessage runs after the window's very last message,
// when the object may delete itself.
#pragma once

#include <windows.h>

class CDialogBase {
 public:
  virtual ~CDialogBase() = default;

  // The class's message map: TRUE when the message was handled, with its result in lResult.
  virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) = 0;
  // After WM_NCDESTROY; m_hWnd is already null.
  virtual void OnFinalMessage(HWND /*hWnd*/) {}

  HWND m_hWnd = nullptr;

  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  BOOL ShowWindow(int command) const { return ::ShowWindow(m_hWnd, command); }
  BOOL DestroyWindow() const { return ::DestroyWindow(m_hWnd); }
  BOOL EndDialog(int result) const { return ::EndDialog(m_hWnd, result); }
  BOOL IsWindow() const { return m_hWnd != nullptr && ::IsWindow(m_hWnd); }

 protected:
  HWND CreateFromTemplate(int templateId, HWND hWndParent);
  INT_PTR RunModal(int templateId, HWND hWndParent);

 private:
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
};

template <class T>
class CDialogImpl : public CDialogBase {
 public:
  HWND Create(HWND hWndParent) { return CreateFromTemplate(T::IDD, hWndParent); }
  INT_PTR DoModal(HWND hWndParent) { return RunModal(T::IDD, hWndParent); }
};

// The framework's UI-update and data-exchange mixins. Nothing in this program updates UI
// elements through a map or exchanges data through DDX, so they add nothing.
template <class T>
class CUpdateUI {
 public:
  BOOL UIAddChildWindowContainer(HWND /*hWnd*/) { return TRUE; }
};

template <class T>
class CWinDataExchange {};
